#pragma once
// The Configuration image: the encoder's whole configuration as one 2048-byte block.
// The same bytes are the table-file format and the wire format, so every offset below is
// part of both; nothing else in the program spells an image offset as a literal.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

constexpr std::size_t kImageSize = 2048;

// Register words R0..R7: byte 4*i is 0, bytes 4*i+1..4*i+3 the 24-bit value, big-endian.
constexpr std::size_t kRegisterWords = 0x000;
constexpr int kRegisterCount = 8;
constexpr std::size_t kRegisterWordSize = 4;

// Capcode records: 4-byte big-endian address, message type, function bits.
constexpr std::size_t kCapcodeRecords = 0x020;
constexpr std::size_t kCapcodeRecordSize = 6;
constexpr std::size_t kCapcodeTypeOffset = 4;
constexpr std::size_t kCapcodeFunctionOffset = 5;
constexpr int kMaxCapcodes = 8;
constexpr std::uint32_t kMinCapcode = 8;
constexpr std::uint32_t kMaxCapcode = 0x1FFFFF;

constexpr std::size_t kKeyMap = 0x050;
constexpr std::size_t kOptionByte = 0x058;
constexpr std::size_t kRepeatCount = 0x059;
constexpr std::size_t kRepeatWait = 0x05A;
constexpr std::size_t kPcCommand = 0x05B;
constexpr std::size_t kTriggerEdge = 0x05C;

// Option byte fields (shift, width). Bits 6-7 are reserved and kept by every write.
constexpr unsigned kSelectorShift = 0, kSelectorWidth = 2;
constexpr unsigned kKeyBeepShift = 2, kKeyBeepWidth = 1;
constexpr unsigned kPolarityShift = 3, kPolarityWidth = 1;
constexpr unsigned kBitRateShift = 4, kBitRateWidth = 2;

// Message area: capcode-count records of 640 / capcode-count bytes each.
constexpr std::size_t kMessageArea = 0x060;
constexpr std::size_t kMessageAreaSize = 640;
constexpr std::size_t kMessageAreaEnd = kMessageArea + kMessageAreaSize; // 0x2E0

// Checksum: sum of bytes [0, kChecksumSpanEnd) stored big-endian at kChecksum.
constexpr std::size_t kChecksumSpanEnd = 0x7FA;
constexpr std::size_t kChecksum = 0x7FC;

// The image travels to and from the encoder as eight 256-byte blocks.
constexpr std::size_t kBlockSize = 256;
constexpr int kBlockCount = 8;

using TImageBytes = std::array<std::uint8_t, kImageSize>;

// Capcode count for a capcode-set selector value: 0 -> 1, 1 -> 4, 2 -> 8. The selector value 3
// names no set; such an image (never written by this tool) is laid out as eight capcodes,
// which shows every byte of the message area and keeps every record inside it.
std::uint8_t CapcodeCountFromSelector(unsigned selector);

// True when the sum of bytes 0x000..0x7F9 equals the big-endian value at 0x7FC..0x7FF.
bool ChecksumValid(std::span<const std::uint8_t, kImageSize> block);
std::uint32_t BlockSum(std::span<const std::uint8_t, kImageSize> block);

std::uint32_t ReadBigEndian32(const std::uint8_t* p);
void WriteBigEndian32(std::uint8_t* p, std::uint32_t value);

class TConfigImage {
public:
  TConfigImage(); // holds the built-in default image
  static TImageBytes DefaultBytes();

  std::uint8_t& operator[](std::size_t offset) { return FBytes.at(offset); }
  std::uint8_t operator[](std::size_t offset) const { return FBytes.at(offset); }
  std::uint8_t* Data() { return FBytes.data(); }
  const std::uint8_t* Data() const { return FBytes.data(); }
  const TImageBytes& Bytes() const { return FBytes; }
  void Assign(const TImageBytes& bytes) { FBytes = bytes; }

  unsigned ReadBitField(std::size_t offset, unsigned shift, unsigned width) const;
  // The value is not masked to the width: callers pass list indexes and check-box states.
  void WriteBitField(std::size_t offset, unsigned shift, unsigned value, unsigned width);

  std::uint32_t ImageSum() const;
  void StoreChecksum();

  std::uint32_t ReadU32(std::size_t offset) const;
  void WriteU32(std::size_t offset, std::uint32_t value);

  // Run-time companions: capcode count N (1, 4 or 8) and message record length R = 640 / N.
  std::uint8_t CapcodeCount() const { return FCapcodeCount; }
  std::int32_t RecordLength() const { return FRecordLength; }
  void SetCapcodeCount(std::uint8_t count);

  static std::size_t CapcodeRecordOffset(int entry);
  std::size_t MessageRecordOffset(int entry) const;

private:
  TImageBytes FBytes;
  std::uint8_t FCapcodeCount = 8;
  std::int32_t FRecordLength = 80;
};
