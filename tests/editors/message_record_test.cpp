// Message records: byte layout of text and "Binary" records, and that no text, however long,
// is written beyond its record.

#include "editors/chinese_text.h"
#include "editors/message_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Text(const std::string& s) {
  return TBytes(s.begin(), s.end());
}

// The record's first bytes, followed by zeros up to R.
TBytes Padded(TBytes head, std::size_t r) {
  head.resize(r, 0);
  return head;
}

TMessageRecord Build(TMessageType type, const TBytes& text, std::uint8_t header,
                     std::uint8_t trailer, std::size_t r = 80) {
  return BuildMessageRecord(type, text, header, trailer, r);
}

TEST(MessageRecord, TextRecordsByType) {
  EXPECT_EQ(Build(TMessageType::Alpha, Text("AB"), 0x05, 0x03).Record,
            Padded({0x05, 0x41, 0x42, 0x03}, 80));
  EXPECT_EQ(Build(TMessageType::Alpha, Text("AB"), 0x00, 0x03).Record,
            Padded({0x41, 0x42, 0x03}, 80));
  // Digit types carry no header byte, and their characters are stored as typed.
  EXPECT_EQ(Build(TMessageType::Digit0C, Text("12-U"), 0x05, 0x03).Record,
            Padded({0x31, 0x32, 0x2D, 0x55, 0x03}, 80));
  EXPECT_EQ(Build(TMessageType::Digit0F, Text("1F"), 0x05, 0x00).Record, Padded({0x31, 0x46}, 80));
  EXPECT_EQ(Build(TMessageType::ToneOnly, Text(""), 0x05, 0x00).Record, TBytes(80, 0));
  EXPECT_EQ(Build(TMessageType::ToneOnly, Text(""), 0x05, 0x03).Record, Padded({0x03}, 80));
  // An image's type byte that names no item is a text record without a header code.
  EXPECT_EQ(Build(static_cast<TMessageType>(-1), Text("A"), 0x05, 0x03).Record,
            Padded({0x41, 0x03}, 80));
  EXPECT_EQ(Build(TMessageType::Alpha, Text("A"), 0x20, 0x00).Record, Padded({0x20, 0x41}, 80));
}

TEST(MessageRecord, TrailingBlanksAndControlsAreNotStored) {
  const TMessageRecord r = Build(TMessageType::Alpha, Text("abc  \t"), 0x00, 0x03);
  EXPECT_EQ(r.Record, Padded({0x61, 0x62, 0x63, 0x03}, 80));
  EXPECT_EQ(r.Text, Text("abc"));
  EXPECT_FALSE(r.Cut);
  EXPECT_EQ(Build(TMessageType::Alpha, Text(" a b"), 0, 0).Record, Padded(Text(" a b"), 80));
}

TEST(MessageRecord, BinaryRecords) {
  EXPECT_EQ(Build(TMessageType::Binary, Text("1234567890"), 0x05, 0x03).Record,
            Padded({0x0F, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30}, 80))
      << "no header or trailer in a Binary record";
  EXPECT_EQ(Build(TMessageType::Binary, {0x41, 0xA4, 0x40, 0x20}, 0, 0).Record,
            Padded({0x0F, 0x41, 0x0E, 0x44, 0x21}, 80));
  EXPECT_EQ(Build(TMessageType::Binary, {}, 0, 0).Record, TBytes(80, 0));
  // Item indexes above 4 are "Binary" too.
  EXPECT_EQ(Build(static_cast<TMessageType>(5), Text("1"), 0, 0).Record, Padded({0x0F, 0x31}, 80));
}

TEST(MessageRecord, BinaryDropsWhatItCannotCarryAndSaysHowMuch) {
  // Punctuation A1 40 and a lone lead byte: neither reaches the record, nor a shift code for them.
  const TMessageRecord r = Build(TMessageType::Binary, {0x41, 0xA1, 0x40, 0x42, 0xA4}, 0, 0);
  EXPECT_EQ(r.Dropped, 2u);
  EXPECT_EQ(r.Text, Text("AB"));
  EXPECT_EQ(r.Record, Padded({0x0F, 0x41, 0x42}, 80));
  const TCarriedText kept = KeepCarriedCharacters(TBytes{0xA4, 0x40, 0xC6, 0xA1, 0x31});
  EXPECT_EQ(kept.Bytes, (TBytes{0xA4, 0x40, 0x31}));
  EXPECT_EQ(kept.Dropped, 1u);
}

TEST(MessageRecord, EncodedLengthCountsShiftCodes) {
  EXPECT_EQ(EncodedLength(Text("1234567890")), 11u);
  EXPECT_EQ(EncodedLength(TBytes{0xA4, 0x40, 0x41, 0xA4, 0x40}), 7u);
  const TBytes mixed{0x41, 0xA4, 0x40, 0x42, 0xA1, 0x40};
  EXPECT_EQ(EncodedLength(mixed), EncodeChineseText(mixed.data(), mixed.size()).size());
}

TEST(MessageRecord, TextCapacityKeepsRoomForTheTrailer) {
  for (const std::size_t r : {80u, 160u, 640u}) {
    EXPECT_EQ(TextCapacity(TMessageType::Alpha, 0x00, r), r - 1);
    EXPECT_EQ(TextCapacity(TMessageType::Alpha, 0x05, r), r - 2);
    EXPECT_EQ(TextCapacity(TMessageType::Digit0C, 0x05, r), r - 1);
  }
}

// Every record length the capcode sets give, every way a text can be too long.
class TRecordOverflow : public testing::TestWithParam<std::size_t> {};

TEST_P(TRecordOverflow, AlphaWithHeaderAndTrailerIsCutToFit) {
  const std::size_t r = GetParam();
  const TBytes text(r - 1, 'x'); // as many as the key filter lets a user type without header
  const TMessageRecord built = Build(TMessageType::Alpha, text, 0x05, 0x03, r);
  ASSERT_EQ(built.Record.size(), r);
  EXPECT_TRUE(built.Cut);
  EXPECT_EQ(built.Text.size(), r - 2);
  EXPECT_EQ(built.Record.front(), 0x05);
  EXPECT_EQ(built.Record[r - 2], 'x');
  EXPECT_EQ(built.Record[r - 1], 0x03) << "the trailer code stays inside the record";
}

TEST_P(TRecordOverflow, FullTextWithoutHeaderFitsExactly) {
  const std::size_t r = GetParam();
  const TMessageRecord built = Build(TMessageType::Alpha, TBytes(r - 1, 'y'), 0x00, 0x03, r);
  EXPECT_FALSE(built.Cut);
  EXPECT_EQ(built.Record[r - 1], 0x03);
  EXPECT_EQ(built.Record, Build(TMessageType::Alpha, TBytes(r + 50, 'y'), 0, 3, r).Record)
      << "a pasted text longer than the record gives the same bytes";
}

TEST_P(TRecordOverflow, CutTextLosesItsNewTrailingBlanks) {
  const std::size_t r = GetParam();
  TBytes text(r - 3, 'z');
  text.insert(text.end(), {' ', ' ', 'q', 'q'});
  const TMessageRecord built = Build(TMessageType::Digit0C, text, 0, 0x03, r);
  EXPECT_TRUE(built.Cut);
  EXPECT_EQ(built.Text, TBytes(r - 3, 'z'));
  EXPECT_EQ(built.Record[r - 3], 0x03);
}

TEST_P(TRecordOverflow, BinaryIsCutBetweenCharacters) {
  const std::size_t r = GetParam();
  // "a" + one Chinese character costs five stream bytes; a whole text of them never fits.
  TBytes text;
  while (text.size() < 2 * r)
    text.insert(text.end(), {'a', 0xA4, 0x40});
  const TMessageRecord built = Build(TMessageType::Binary, text, 0, 0, r);
  ASSERT_EQ(built.Record.size(), r);
  EXPECT_TRUE(built.Cut);
  const TBytes stream = EncodeChineseText(built.Text.data(), built.Text.size());
  ASSERT_LE(stream.size(), r);
  EXPECT_EQ(TBytes(built.Record.begin(), built.Record.begin() + static_cast<long>(stream.size())),
            stream);
  EXPECT_EQ(DecodeChineseText(built.Record.data(), built.Record.size()), built.Text)
      << "no character is split";
  EXPECT_GT(stream.size() + 5, r) << "as much as fits is kept";
}

TEST_P(TRecordOverflow, BinaryTextOfExactlyRStreamBytesIsKept) {
  const std::size_t r = GetParam();
  TBytes text;
  for (std::size_t i = 0; i < r / 2; ++i)
    text.insert(text.end(), {0xA4, 0x40});
  const TMessageRecord built = Build(TMessageType::Binary, text, 0, 0, r);
  EXPECT_FALSE(built.Cut);
  EXPECT_EQ(built.Text, text);
  text.push_back('1');
  EXPECT_TRUE(Build(TMessageType::Binary, text, 0, 0, r).Cut);
}

INSTANTIATE_TEST_SUITE_P(RecordLengths, TRecordOverflow, testing::Values(80u, 160u, 640u),
                         testing::PrintToStringParamName());

TEST(MessageRecord, WriteTouchesOnlyItsRecord) {
  TConfigImage image;
  image.SetCapcodeCount(4);
  const TConfigImage before = image;
  WriteMessageRecord(image, 1, TBytes(160, 0xEE));
  for (std::size_t i = 0; i < kImageSize; ++i) {
    const bool inside = i >= 0x100 && i < 0x1A0;
    EXPECT_EQ(image[i], inside ? 0xEE : before[i]) << std::hex << i;
  }
  EXPECT_THROW(WriteMessageRecord(image, 0, TBytes(161, 0)), std::invalid_argument);
  EXPECT_THROW(WriteMessageRecord(image, 4, TBytes(160, 0)), std::out_of_range);
}

} // namespace
