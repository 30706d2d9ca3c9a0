#pragma once
// One page on the air: preamble, batches, repeats; and the baseband audio of it, NRZ at the
// bit rate, 16-bit mono at 22050 Hz, as a receiver's discriminator gives it and as a decoder
// or a pager test set takes it in.

#include "pocsag/codeword.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// A sync codeword and the 16 codewords of its eight frames.
using TBatch = std::array<std::uint32_t, 1 + kSlotsPerBatch>;

constexpr int kPreambleBits = 576; // 1, 0, 1, 0 ...

// The batches of one page: idle codewords up to the address's frame, the address codeword,
// the message codewords (a sync codeword between batches interrupts them, never the other way
// round), then idle codewords to the end of the batch, at least one.
std::vector<TBatch> BuildBatches(std::uint32_t address, unsigned function,
                                 std::span<const std::uint32_t> messageData);

struct TTransmission {
  int BitRate = 512;
  bool Inverted = false; // "Invert": a 1 bit is the high level instead of the low one
  int Transmissions = 1; // the repeat count + 1
  int RepeatWait = 0;    // seconds of silence between two transmissions
  std::vector<TBatch> Batches;
};

// The bits of one transmission, in the order they are sent: preamble, then each batch.
std::vector<bool> TransmissionBits(const TTransmission& transmission);

constexpr int kSampleRate = 22050;
// A 0 bit is +kLevel, a 1 bit -kLevel ("Normal"): the lower frequency of the FSK stands for 1,
// and a discriminator turns it into the lower voltage.
constexpr std::int16_t kLevel = 16384;
// The repeat wait is silence, one step off 0 towards the level of a 1 bit. A decoder that
// slices it then reads 1 bits: words with the message flag, which mean nothing outside a
// message. Sliced as 0 bits it would read all-zero words, valid address codewords of capcode 0.
constexpr std::int16_t kRestOffset = 1;

// Samples of the whole air time: every transmission and the waits between them.
std::uint64_t AudioSampleCount(const TTransmission& transmission);

// Hands the audio to `sink` in pieces, in order; a sink that returns false stops it, and then
// RenderAudio returns false.
using TSampleSink = std::function<bool(std::span<const std::int16_t>)>;
bool RenderAudio(const TTransmission& transmission, const TSampleSink& sink);

// Raw little-endian samples to an open file descriptor (a file, a FIFO, a pipe).
bool WriteRawAudio(int fd, const TTransmission& transmission, std::string& error);
// The same as a WAV file (PCM, 16 bits, mono, 22050 Hz) when `wav`. A page too long for WAV's
// 32-bit sizes is refused before anything is written.
bool WriteAudio(int fd, bool wav, const TTransmission& transmission, std::string& error);
// The audio to a file: a file is replaced whole or not at all (a failure keeps the old one);
// a FIFO or a device gets the samples as they are made.
bool WriteAudioFile(const std::string& path, bool wav, const TTransmission& transmission,
                    std::string& error);
