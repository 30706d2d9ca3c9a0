#include "image/config_image.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr std::uint8_t kDefaultRegisters[kRegisterCount * kRegisterWordSize] = {
    0x00, 0x16, 0xA4, 0xD8, 0x00, 0x09, 0x29, 0x43, 0x00, 0x04, 0xE2, 0x05, 0x00, 0xFF, 0x25, 0x27,
    0x00, 0x22, 0x09, 0x19, 0x00, 0x00, 0x00, 0x0B, 0x00, 0x3C, 0x00, 0x0D, 0x00, 0x00, 0x09, 0x0F};
constexpr std::uint32_t kDefaultFirstCapcode = 1234560;
constexpr char kDefaultMessage[] = "Alpha Test !";
constexpr std::uint8_t kDefaultKeyMap[kMaxCapcodes] = {0x01, 0x02, 0x04, 0x08,
                                                       0x10, 0x20, 0x40, 0x80};
constexpr std::uint8_t kDefaultOptionByte = 0x0A; // 8 Set, beep off, Normal, 512 bps
constexpr std::uint8_t kDefaultChecksumBytes[4] = {0x55, 0xAA, 0x00, 0x00};

} // namespace

std::uint8_t CapcodeCountFromSelector(unsigned selector) {
  switch (selector & 3u) {
  case 0:
    return 1;
  case 1:
    return 4;
  default:
    return 8;
  }
}

std::uint32_t ReadBigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

void WriteBigEndian32(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value >> 24);
  p[1] = static_cast<std::uint8_t>(value >> 16);
  p[2] = static_cast<std::uint8_t>(value >> 8);
  p[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t BlockSum(std::span<const std::uint8_t, kImageSize> block) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < kChecksumSpanEnd; ++i)
    sum += block[i];
  return sum;
}

bool ChecksumValid(std::span<const std::uint8_t, kImageSize> block) {
  return BlockSum(block) == ReadBigEndian32(block.data() + kChecksum);
}

TImageBytes TConfigImage::DefaultBytes() {
  TImageBytes bytes{};
  std::memcpy(bytes.data() + kRegisterWords, kDefaultRegisters, sizeof kDefaultRegisters);
  for (int i = 0; i < kMaxCapcodes; ++i) {
    std::uint8_t* record = bytes.data() + CapcodeRecordOffset(i);
    WriteBigEndian32(record, kDefaultFirstCapcode + static_cast<std::uint32_t>(i));
    std::memcpy(bytes.data() + kMessageArea + 80 * static_cast<std::size_t>(i), kDefaultMessage,
                sizeof kDefaultMessage - 1);
  }
  std::memcpy(bytes.data() + kKeyMap, kDefaultKeyMap, sizeof kDefaultKeyMap);
  bytes[kOptionByte] = kDefaultOptionByte;
  std::memcpy(bytes.data() + kChecksum, kDefaultChecksumBytes, sizeof kDefaultChecksumBytes);
  return bytes;
}

TConfigImage::TConfigImage() : FBytes(DefaultBytes()) {}

unsigned TConfigImage::ReadBitField(std::size_t offset, unsigned shift, unsigned width) const {
  return (unsigned{FBytes.at(offset)} >> shift) & ((1u << width) - 1u);
}

void TConfigImage::WriteBitField(std::size_t offset, unsigned shift, unsigned value,
                                 unsigned width) {
  const unsigned mask = ((1u << width) - 1u) << shift;
  const unsigned updated = (unsigned{FBytes.at(offset)} & ~mask) | (value << shift);
  FBytes.at(offset) = static_cast<std::uint8_t>(updated);
}

std::uint32_t TConfigImage::ImageSum() const {
  return BlockSum(FBytes);
}

void TConfigImage::StoreChecksum() {
  WriteBigEndian32(FBytes.data() + kChecksum, ImageSum());
}

std::uint32_t TConfigImage::ReadU32(std::size_t offset) const {
  if (offset + 4 > kImageSize)
    throw std::out_of_range("image offset");
  return ReadBigEndian32(FBytes.data() + offset);
}

void TConfigImage::WriteU32(std::size_t offset, std::uint32_t value) {
  if (offset + 4 > kImageSize)
    throw std::out_of_range("image offset");
  WriteBigEndian32(FBytes.data() + offset, value);
}

void TConfigImage::SetCapcodeCount(std::uint8_t count) {
  // Anything but 1 or 4 is laid out as eight records: R never exceeds what fits the area.
  FCapcodeCount = (count == 1 || count == 4) ? count : 8;
  FRecordLength = static_cast<std::int32_t>(kMessageAreaSize) / FCapcodeCount;
}

std::size_t TConfigImage::CapcodeRecordOffset(int entry) {
  if (entry < 0 || entry >= kMaxCapcodes)
    throw std::out_of_range("capcode entry");
  return kCapcodeRecords + kCapcodeRecordSize * static_cast<std::size_t>(entry);
}

std::size_t TConfigImage::MessageRecordOffset(int entry) const {
  if (entry < 0 || entry >= FCapcodeCount)
    throw std::out_of_range("message record");
  return kMessageArea + static_cast<std::size_t>(FRecordLength) * static_cast<std::size_t>(entry);
}
