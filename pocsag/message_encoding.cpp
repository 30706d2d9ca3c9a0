#include "pocsag/message_encoding.h"

#include "pocsag/codeword.h"

namespace {

// Appends symbols of `width` bits, least significant bit first, to 20-bit words.
class TBitPacker {
public:
  void Append(std::uint32_t symbol, int width) {
    for (int i = 0; i < width; ++i) {
      FWord = (FWord << 1) | ((symbol >> i) & 1u);
      if (++FUsed == kMessageDataBits) {
        FWords.push_back(FWord);
        FWord = 0;
        FUsed = 0;
      }
    }
  }
  int Used() const { return FUsed; }
  std::vector<std::uint32_t> Finish() {
    if (FUsed > 0)
      FWords.push_back(FWord << (kMessageDataBits - FUsed));
    FUsed = 0;
    FWord = 0;
    return std::move(FWords);
  }

private:
  std::vector<std::uint32_t> FWords;
  std::uint32_t FWord = 0;
  int FUsed = 0;
};

} // namespace

std::vector<std::uint32_t> AlphanumericData(std::span<const std::uint8_t> characters) {
  TBitPacker packer;
  for (const std::uint8_t c : characters)
    packer.Append(c & 0x7Fu, kAlphanumericBits);
  return packer.Finish();
}

std::vector<std::uint32_t> NumericData(std::span<const std::uint8_t> codes, std::uint8_t fill) {
  TBitPacker packer;
  for (const std::uint8_t code : codes)
    packer.Append(code & 0xFu, kNumericBits);
  while (packer.Used() != 0)
    packer.Append(fill & 0xFu, kNumericBits);
  return packer.Finish();
}

std::optional<std::uint8_t> NumericCode(std::uint8_t character, bool hexLetters) {
  if (character >= '0' && character <= '9')
    return static_cast<std::uint8_t>(character - '0');
  if (hexLetters && character >= 'A' && character <= 'F')
    return static_cast<std::uint8_t>(character - 'A' + 0xA);
  switch (character) {
  case 'U':
    return 0xB;
  case ' ':
    return 0xC;
  case '-':
    return 0xD;
  case ']':
    return 0xE;
  case '[':
    return 0xF;
  default:
    return std::nullopt;
  }
}
