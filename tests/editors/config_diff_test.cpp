// The field-level difference of two images.

#include "config_tables.h"
#include "editors/config_diff.h"

#include <gtest/gtest.h>

namespace {

TImageBytes Valid(TImageBytes bytes) {
  TConfigImage image;
  image.Assign(bytes);
  image.StoreChecksum();
  return image.Bytes();
}

TImageDifference Diff(const TImageBytes& a, const TImageBytes& b) {
  return DiffImages(a, b, TestCodec());
}

std::vector<std::string> Paths(const TImageDifference& difference) {
  std::vector<std::string> paths;
  for (const TFieldDifference& field : difference.Fields)
    paths.push_back(field.Path);
  return paths;
}

TEST(ConfigDiff, FieldsByNameWithBothValues) {
  const TImageBytes a = Valid(TConfigImage::DefaultBytes());
  TImageBytes b = a;
  b[kOptionByte] = 0x1A;                              // 1200 bps
  b[TConfigImage::CapcodeRecordOffset(2) + 3] = 0x83; // entry 2: 1234563
  b[kKeyMap + 7] = 0x99;
  b = Valid(b);
  const TImageDifference difference = Diff(a, b);
  EXPECT_EQ(Paths(difference), (std::vector<std::string>{"checksum.stored", "bit_rate",
                                                         "entries[2].capcode", "keys[7]"}));
  const TFieldDifference& rate = difference.Fields[1];
  ASSERT_TRUE(rate.A && rate.B);
  EXPECT_EQ(rate.A->Text, "512 bps");
  EXPECT_EQ(rate.B->Text, "1200 bps");
  EXPECT_EQ(difference.Fields[2].A->Text, "1234562");
  EXPECT_EQ(difference.Fields[2].B->Text, "1234563");
  EXPECT_EQ(difference.Fields[3].B->Text, "KEY_S9");
  EXPECT_TRUE(difference.Bytes.empty());
  EXPECT_TRUE(Diff(a, a).Equal());
}

TEST(ConfigDiff, BytesNoDifferingFieldAccountsFor) {
  TImageBytes a = TConfigImage::DefaultBytes();
  a[kTriggerEdge] = 0x01;
  a = Valid(a);
  TImageBytes b = a;
  b[0x004] = 0x01;        // the first byte of R1's word
  b[kOptionByte] |= 0x40; // a reserved bit of the option byte
  b[kTriggerEdge] = 0x05; // read as ticked, as 0x01 is
  b[0x05D] = 0x11;        // a reserved byte
  b[0x060 + 40] = 0x33;   // after the end of message 0
  b[0x7FA] = 0xEE;        // outside the checksum
  b = Valid(b);
  const TImageDifference difference = Diff(a, b);
  EXPECT_EQ(Paths(difference), std::vector<std::string>{"checksum.stored"});
  std::vector<std::size_t> offsets;
  for (const TByteDifference& byte : difference.Bytes)
    offsets.push_back(byte.Offset);
  EXPECT_EQ(offsets,
            (std::vector<std::size_t>{0x004, kOptionByte, kTriggerEdge, 0x05D, 0x060 + 40, 0x7FA}));
  EXPECT_EQ(difference.Bytes[2].A, 0x01);
  EXPECT_EQ(difference.Bytes[2].B, 0x05);
  // The reserved bit is told also when the bit rate in the same byte differs.
  TImageBytes c = b;
  c[kOptionByte] ^= 0x10;
  const TImageDifference both = Diff(a, Valid(c));
  EXPECT_EQ(Paths(both)[1], "bit_rate");
  EXPECT_EQ(both.Bytes[1].Offset, kOptionByte);
}

TEST(ConfigDiff, RegisterWordsNameTheirFields) {
  const TImageBytes a = Valid(TConfigImage::DefaultBytes());
  TImageBytes b = a;
  b[0x005] |= 0x40; // R1: RF_P
  b[0x011] |= 0x1C; // R4: bits 20..18, which no field owns
  b = Valid(b);
  const TImageDifference difference = Diff(a, b);
  ASSERT_EQ(Paths(difference), (std::vector<std::string>{"checksum.stored", "registers[1]",
                                                         "registers[4]", "frequency_hz"}));
  ASSERT_EQ(difference.Fields[1].Register.size(), 1u);
  EXPECT_EQ(difference.Fields[1].Register[0].Name, "RF_P");
  EXPECT_EQ(difference.Fields[1].Register[0].A, 0u);
  EXPECT_EQ(difference.Fields[1].Register[0].B, 1u);
  ASSERT_EQ(difference.Fields[2].Register.size(), 1u);
  EXPECT_EQ(difference.Fields[2].Register[0].Name, "bits 20..18");
  EXPECT_EQ(difference.Fields[2].Register[0].B, 7u);
  EXPECT_TRUE(difference.Bytes.empty());
}

TEST(ConfigDiff, EntriesOnlyOneSideHas) {
  const TImageBytes eight = Valid(TConfigImage::DefaultBytes());
  TImageBytes four = eight;
  four[kOptionByte] = 0x09;
  four = Valid(four);
  const TImageDifference difference = Diff(eight, four);
  int onlyInA = 0;
  for (const TFieldDifference& field : difference.Fields)
    if (field.A && !field.B) {
      ++onlyInA;
      EXPECT_GE(field.Path, "entries[4]");
    }
  EXPECT_EQ(onlyInA, 4 * 6) << "four entries of six fields";
  EXPECT_TRUE(difference.Bytes.empty()) << "the message area is laid out by the set";
}

// Two images differ exactly when their difference is not empty: no changed bit goes untold.
TEST(ConfigDiff, EmptyExactlyWhenTheBytesAreEqual) {
  std::mt19937 rng(99);
  for (int round = 0; round < 1500; ++round) {
    const TImageBytes a = RandomTable(rng);
    TImageBytes b = a;
    for (std::size_t n = rng() % 3; n > 0; --n)
      b[rng() % kImageSize] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    if (rng() % 2)
      b = Valid(b);
    const TImageDifference difference = Diff(a, b);
    ASSERT_EQ(difference.Equal(), a == b) << round;
    for (const TFieldDifference& field : difference.Fields)
      ASSERT_NE(field.Path, "checksum.computed");
  }
}

} // namespace
