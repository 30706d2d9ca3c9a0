#include "pocsag/transmission.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

std::vector<TBatch> BuildBatches(std::uint32_t address, unsigned function,
                                 std::span<const std::uint32_t> messageData) {
  std::vector<std::uint32_t> slots(
      static_cast<std::size_t>(AddressFrame(address) * kCodewordsPerFrame), kIdleCodeword);
  slots.push_back(AddressCodeword(address, function));
  for (const std::uint32_t data : messageData)
    slots.push_back(MessageCodeword(data));
  // A decoder knows a message has ended only when the next codeword is not a message codeword.
  slots.push_back(kIdleCodeword);
  while (slots.size() % kSlotsPerBatch != 0)
    slots.push_back(kIdleCodeword);

  std::vector<TBatch> batches(slots.size() / kSlotsPerBatch);
  for (std::size_t b = 0; b < batches.size(); ++b) {
    batches[b][0] = kSyncCodeword;
    std::copy_n(slots.begin() + static_cast<std::ptrdiff_t>(b * kSlotsPerBatch), kSlotsPerBatch,
                batches[b].begin() + 1);
  }
  return batches;
}

std::vector<bool> TransmissionBits(const TTransmission& transmission) {
  std::vector<bool> bits;
  bits.reserve(kPreambleBits + transmission.Batches.size() * TBatch{}.size() * kCodewordBits);
  for (int i = 0; i < kPreambleBits; ++i)
    bits.push_back(i % 2 == 0);
  for (const TBatch& batch : transmission.Batches)
    for (const std::uint32_t word : batch)
      for (int bit = kCodewordBits - 1; bit >= 0; --bit)
        bits.push_back(((word >> bit) & 1u) != 0);
  return bits;
}

namespace {

std::uint64_t SamplesOfBits(std::uint64_t bits, int bitRate) {
  return (bits * kSampleRate + static_cast<std::uint64_t>(bitRate) - 1) /
         static_cast<std::uint64_t>(bitRate);
}

std::uint64_t WaitSamples(const TTransmission& transmission) {
  return static_cast<std::uint64_t>(transmission.RepeatWait) * kSampleRate;
}

} // namespace

std::uint64_t AudioSampleCount(const TTransmission& transmission) {
  const std::uint64_t bits =
      kPreambleBits + transmission.Batches.size() * TBatch{}.size() * kCodewordBits;
  const auto count = static_cast<std::uint64_t>(transmission.Transmissions);
  return count * SamplesOfBits(bits, transmission.BitRate) +
         (count > 0 ? count - 1 : 0) * WaitSamples(transmission);
}

bool RenderAudio(const TTransmission& transmission, const TSampleSink& sink) {
  const std::vector<bool> bits = TransmissionBits(transmission);
  const std::uint64_t perTransmission = SamplesOfBits(bits.size(), transmission.BitRate);
  const auto rate = static_cast<std::uint64_t>(transmission.BitRate);
  const std::int16_t one = transmission.Inverted ? kLevel : static_cast<std::int16_t>(-kLevel);
  const std::int16_t zero = static_cast<std::int16_t>(-one);
  const std::int16_t rest = one > 0 ? kRestOffset : static_cast<std::int16_t>(-kRestOffset);

  std::vector<std::int16_t> piece;
  constexpr std::size_t kPiece = 8192;
  piece.reserve(kPiece);
  auto flush = [&]() {
    const bool go_on = piece.empty() || sink(piece);
    piece.clear();
    return go_on;
  };
  for (int t = 0; t < transmission.Transmissions; ++t) {
    if (t > 0) {
      for (std::uint64_t n = WaitSamples(transmission); n > 0; --n) {
        piece.push_back(rest);
        if (piece.size() == kPiece && !flush())
          return false;
      }
    }
    // Sample k falls into bit k * rate / 22050: the bits keep their exact length on average.
    for (std::uint64_t k = 0; k < perTransmission; ++k) {
      piece.push_back(bits[static_cast<std::size_t>(k * rate / kSampleRate)] ? one : zero);
      if (piece.size() == kPiece && !flush())
        return false;
    }
  }
  return flush();
}

namespace {

bool WriteAll(int fd, const void* data, std::size_t size, std::string& error) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, p, size);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      error = std::strerror(errno);
      return false;
    }
    p += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool WriteSamples(int fd, std::span<const std::int16_t> samples, std::string& error) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(samples.size() * 2);
  for (const std::int16_t s : samples) {
    const auto u = static_cast<std::uint16_t>(s);
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return WriteAll(fd, bytes.data(), bytes.size(), error);
}

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> WavHeader(std::uint32_t dataBytes) {
  std::vector<std::uint8_t> h;
  auto tag = [&h](const char* four) { h.insert(h.end(), four, four + 4); };
  tag("RIFF");
  PutLittle(h, 36 + dataBytes, 4);
  tag("WAVE");
  tag("fmt ");
  PutLittle(h, 16, 4);              // the size of this chunk
  PutLittle(h, 1, 2);               // PCM
  PutLittle(h, 1, 2);               // mono
  PutLittle(h, kSampleRate, 4);     // samples a second
  PutLittle(h, kSampleRate * 2, 4); // bytes a second
  PutLittle(h, 2, 2);               // bytes a sample
  PutLittle(h, 16, 2);              // bits a sample
  tag("data");
  PutLittle(h, dataBytes, 4);
  return h;
}

} // namespace

bool WriteRawAudio(int fd, const TTransmission& transmission, std::string& error) {
  return RenderAudio(transmission, [&](std::span<const std::int16_t> samples) {
    return WriteSamples(fd, samples, error);
  });
}

bool WriteAudio(int fd, bool wav, const TTransmission& transmission, std::string& error) {
  if (!wav)
    return WriteRawAudio(fd, transmission, error);
  const std::uint64_t dataBytes = AudioSampleCount(transmission) * 2;
  if (dataBytes > std::numeric_limits<std::uint32_t>::max() - 36u) {
    error = "the page lasts too long for a WAV file (" + std::to_string(dataBytes) +
            " bytes of samples); write it raw";
    return false;
  }
  const std::vector<std::uint8_t> header = WavHeader(static_cast<std::uint32_t>(dataBytes));
  return WriteAll(fd, header.data(), header.size(), error) &&
         WriteRawAudio(fd, transmission, error);
}
