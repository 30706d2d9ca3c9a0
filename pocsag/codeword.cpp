#include "pocsag/codeword.h"

#include <bit>

namespace {
constexpr int kCheckBits = 10;
constexpr int kInformationBits = 21;
constexpr std::uint32_t kInformationMask = (1u << kInformationBits) - 1;
} // namespace

std::uint32_t BchCheckBits(std::uint32_t information) {
  // The remainder of information(x) * x^10 divided by the generator, bit by bit from the top.
  std::uint32_t remainder = (information & kInformationMask) << kCheckBits;
  for (int bit = kInformationBits + kCheckBits - 1; bit >= kCheckBits; --bit)
    if (remainder & (1u << bit))
      remainder ^= kBchGenerator << (bit - kCheckBits);
  return remainder;
}

std::uint32_t CompleteCodeword(std::uint32_t information) {
  const std::uint32_t withCheck =
      ((information & kInformationMask) << kCheckBits) | BchCheckBits(information);
  const std::uint32_t parity = static_cast<std::uint32_t>(std::popcount(withCheck)) & 1u;
  return (withCheck << 1) | parity;
}

std::uint32_t AddressCodeword(std::uint32_t address, unsigned function) {
  return CompleteCodeword(((address >> 3) << 2) | (function & kMaxFunction));
}

std::uint32_t MessageCodeword(std::uint32_t data) {
  return CompleteCodeword((1u << kMessageDataBits) | (data & ((1u << kMessageDataBits) - 1)));
}
