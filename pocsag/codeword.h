#pragma once
// POCSAG codewords: 32 bits, sent most significant bit first. Bit 31 is the flag (0 address,
// 1 message), bits 30..11 the 20 data bits, bits 10..1 the BCH(31,21) check bits over bits
// 31..11, bit 0 makes the number of ones even.

#include <cstdint>

constexpr std::uint32_t kSyncCodeword = 0x7CD215D8;
constexpr std::uint32_t kIdleCodeword = 0x7A89C197;

constexpr int kCodewordBits = 32;
constexpr int kMessageDataBits = 20;
constexpr int kFramesPerBatch = 8;
constexpr int kCodewordsPerFrame = 2;
constexpr int kSlotsPerBatch = kFramesPerBatch * kCodewordsPerFrame; // after the sync codeword

// The highest address a codeword can carry: 18 bits in the codeword, 3 in the frame.
constexpr std::uint32_t kMaxAddress = 0x1FFFFF;
constexpr unsigned kMaxFunction = 3;

// Generator of the check bits: x^10 + x^9 + x^8 + x^6 + x^5 + x^3 + 1.
constexpr std::uint32_t kBchGenerator = 0b111'0110'1001;

// The 10 check bits of the 21 information bits `information` (the codeword's bits 31..11).
std::uint32_t BchCheckBits(std::uint32_t information);

// The whole codeword: information bits, check bits, even parity.
std::uint32_t CompleteCodeword(std::uint32_t information);

// The codeword of an address: its 18 high bits and the 2 function bits. The 3 low bits of
// the address are not sent; they are the frame the codeword goes in.
std::uint32_t AddressCodeword(std::uint32_t address, unsigned function);

// A message codeword carrying 20 data bits, the first bit sent being bit 19.
std::uint32_t MessageCodeword(std::uint32_t data);

// The frame (0..7) an address is sent in.
constexpr int AddressFrame(std::uint32_t address) {
  return static_cast<int>(address % kFramesPerBatch);
}
