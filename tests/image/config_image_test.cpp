#include "image/config_image.h"

#include <gtest/gtest.h>

namespace {

TImageBytes WithChecksum(TImageBytes bytes) {
  WriteBigEndian32(bytes.data() + kChecksum, BlockSum(bytes));
  return bytes;
}

} // namespace

TEST(ConfigImage, BuiltInDefaultHasTheDocumentedContent) {
  const TConfigImage image;
  EXPECT_EQ(image.ReadU32(0x000), 0x0016A4D8u);
  EXPECT_EQ(image.ReadU32(0x01C), 0x0000090Fu);
  for (int i = 0; i < kMaxCapcodes; ++i) {
    const std::size_t record = TConfigImage::CapcodeRecordOffset(i);
    EXPECT_EQ(image.ReadU32(record), 1234560u + static_cast<unsigned>(i));
    EXPECT_EQ(image[record + kCapcodeTypeOffset], 0);
    EXPECT_EQ(image[record + kCapcodeFunctionOffset], 0);
    EXPECT_EQ(image[kKeyMap + static_cast<std::size_t>(i)], 1u << i);
    const std::string text(reinterpret_cast<const char*>(image.Data()) + kMessageArea + 80u * i,
                           12);
    EXPECT_EQ(text, "Alpha Test !");
    EXPECT_EQ(image[kMessageArea + 80u * i + 12], 0) << "record " << i << " is zero-filled";
  }
  EXPECT_EQ(image[kOptionByte], 0x0A);
  EXPECT_EQ(image[kRepeatCount], 0);
  EXPECT_EQ(image[kChecksum], 0x55);
  EXPECT_EQ(image[kChecksum + 1], 0xAA);
  EXPECT_FALSE(ChecksumValid(image.Bytes())) << "the built-in stamp is not a checksum";
}

TEST(ConfigImage, StoreChecksumOnBuiltInContentWrites0000308A) {
  TConfigImage image;
  EXPECT_EQ(image.ImageSum(), 0x308Au);
  image.StoreChecksum();
  EXPECT_EQ(image[0x7FC], 0x00);
  EXPECT_EQ(image[0x7FD], 0x00);
  EXPECT_EQ(image[0x7FE], 0x30);
  EXPECT_EQ(image[0x7FF], 0x8A);
  EXPECT_TRUE(ChecksumValid(image.Bytes()));
}

TEST(ConfigImage, ChecksumSpanStopsBefore0x7FA) {
  TImageBytes zeros{};
  EXPECT_TRUE(ChecksumValid(zeros)) << "sum 0, stored 0";

  TImageBytes block = WithChecksum(TConfigImage::DefaultBytes());
  block[0x7FA] = 0x12;
  block[0x7FB] = 0x34;
  EXPECT_TRUE(ChecksumValid(block)) << "0x7FA and 0x7FB are outside the span";

  block[0x7F9] ^= 0x01;
  EXPECT_FALSE(ChecksumValid(block)) << "0x7F9 is the last byte of the span";
}

TEST(ConfigImage, ChecksumWithNonZeroTopByteNeverPasses) {
  TImageBytes block = WithChecksum(TConfigImage::DefaultBytes());
  block[0x7FC] = 0x01;
  EXPECT_FALSE(ChecksumValid(block));
}

TEST(ConfigImage, LargestSumFitsBelowTwentyFourBits) {
  TImageBytes block;
  block.fill(0xFF);
  EXPECT_EQ(BlockSum(block), 2042u * 255u);
  WriteBigEndian32(block.data() + kChecksum, BlockSum(block));
  EXPECT_EQ(block[kChecksum], 0x00);
  EXPECT_TRUE(ChecksumValid(block));
}

TEST(ConfigImage, BitFieldsOnTheOptionByte) {
  TConfigImage image;
  EXPECT_EQ(image.ReadBitField(kOptionByte, kPolarityShift, kPolarityWidth), 1u) << "Normal";
  image.WriteBitField(kOptionByte, kBitRateShift, 2, kBitRateWidth);
  EXPECT_EQ(image[kOptionByte], 0x2A) << "2400 bps; selector, beep and polarity kept";
  image.WriteBitField(kOptionByte, kPolarityShift, 0, kPolarityWidth);
  EXPECT_EQ(image[kOptionByte], 0x22);
  image.WriteBitField(kOptionByte, kKeyBeepShift, 1, kKeyBeepWidth);
  EXPECT_EQ(image[kOptionByte], 0x26);
  EXPECT_EQ(image.ReadBitField(kOptionByte, kBitRateShift, kBitRateWidth), 2u);
  EXPECT_EQ(image.ReadBitField(kOptionByte, kSelectorShift, kSelectorWidth), 2u);
}

TEST(ConfigImage, BitFieldWritesKeepReservedBits) {
  TConfigImage image;
  image[kOptionByte] = 0xC0 | 0x0A;
  image.WriteBitField(kOptionByte, kSelectorShift, 1, kSelectorWidth);
  image.WriteBitField(kOptionByte, kBitRateShift, 1, kBitRateWidth);
  EXPECT_EQ(image[kOptionByte], 0xC0 | 0x10 | 0x08 | 0x01);
}

TEST(ConfigImage, MessageRecordsForEachCapcodeCount) {
  TConfigImage image;
  image.SetCapcodeCount(8);
  EXPECT_EQ(image.RecordLength(), 80);
  EXPECT_EQ(image.MessageRecordOffset(0), 0x060u);
  EXPECT_EQ(image.MessageRecordOffset(1), 0x0B0u);
  EXPECT_EQ(image.MessageRecordOffset(7), 0x290u);

  image.SetCapcodeCount(4);
  EXPECT_EQ(image.RecordLength(), 160);
  EXPECT_EQ(image.MessageRecordOffset(0), 0x060u);
  EXPECT_EQ(image.MessageRecordOffset(1), 0x100u);
  EXPECT_EQ(image.MessageRecordOffset(2), 0x1A0u);
  EXPECT_EQ(image.MessageRecordOffset(3), 0x240u);
  EXPECT_THROW(image.MessageRecordOffset(4), std::out_of_range);

  image.SetCapcodeCount(1);
  EXPECT_EQ(image.RecordLength(), 640);
  EXPECT_EQ(image.MessageRecordOffset(0) + static_cast<std::size_t>(image.RecordLength()),
            kMessageAreaEnd);
  EXPECT_THROW(image.MessageRecordOffset(1), std::out_of_range);
}

TEST(ConfigImage, SelectorThreeIsLaidOutAsEightCapcodes) {
  EXPECT_EQ(CapcodeCountFromSelector(0), 1);
  EXPECT_EQ(CapcodeCountFromSelector(1), 4);
  EXPECT_EQ(CapcodeCountFromSelector(2), 8);
  EXPECT_EQ(CapcodeCountFromSelector(3), 8);

  TConfigImage image;
  image.SetCapcodeCount(CapcodeCountFromSelector(3));
  const std::size_t lastEnd = image.MessageRecordOffset(image.CapcodeCount() - 1) +
                              static_cast<std::size_t>(image.RecordLength());
  EXPECT_EQ(lastEnd, kMessageAreaEnd) << "no record reaches past the message area";
}

TEST(ConfigImage, CountsOtherThanOneOrFourNeverOverrunTheArea) {
  TConfigImage image;
  for (int count : {0, 2, 3, 5, 9, 255}) {
    image.SetCapcodeCount(static_cast<std::uint8_t>(count));
    const std::size_t end = image.MessageRecordOffset(image.CapcodeCount() - 1) +
                            static_cast<std::size_t>(image.RecordLength());
    EXPECT_LE(end, kMessageAreaEnd) << count;
  }
}

TEST(ConfigImage, BigEndianWordsAndBoundsOfDirectAccess) {
  TConfigImage image;
  image.WriteU32(0x020, 0x001FFFFF);
  EXPECT_EQ(image[0x020], 0x00);
  EXPECT_EQ(image[0x021], 0x1F);
  EXPECT_EQ(image[0x023], 0xFF);
  EXPECT_EQ(image.ReadU32(0x020), 0x001FFFFFu);
  EXPECT_THROW(image.ReadU32(kImageSize - 3), std::out_of_range);
  EXPECT_THROW(image.WriteU32(kImageSize - 1, 0), std::out_of_range);
  EXPECT_THROW(TConfigImage::CapcodeRecordOffset(8), std::out_of_range);
}
