// The page of an entry: which entry a key triggers, what its codewords carry, how the
// settings become the transmission, and what cannot be sent.

#include "editors/chinese_text.h"
#include "page_images.h"
#include "pocsag/entry_page.h"
#include "pocsag/message_encoding.h"
#include "pocsag_support.h"

#include <gtest/gtest.h>

using namespace pocsag_test;

namespace {

TEntryPage Page(const TImageBytes& image, int entry) {
  TPageLookup lookup = PageOfEntry(image, entry);
  EXPECT_TRUE(lookup.Page) << lookup.Error;
  return lookup.Page ? *lookup.Page : TEntryPage{};
}

// The characters or codes the page's codewords carry, read from its batches.
std::vector<std::uint8_t> CarriedSymbols(const TEntryPage& page, int width) {
  const std::vector<TReadPage> read = ReadBatches(page.Transmission.Batches);
  EXPECT_EQ(read.size(), 1u);
  return read.empty() ? std::vector<std::uint8_t>{} : Symbols(read[0].Data, width);
}

} // namespace

TEST(TEntryPage, KeysFindTheirEntryThroughTheKeyMap) {
  TPageImage image(1); // "4 Set"
  for (int e = 0; e < 4; ++e)
    image.Entry(e, {.Capcode = 1000u + static_cast<std::uint32_t>(e)});
  image.Key(0, 3).Key(1, 4).Key(2, 7).Key(3, 8);
  const TImageBytes bytes = image.Bytes();
  for (const auto& [key, entry] :
       std::vector<std::pair<int, int>>{{3, 0}, {4, 1}, {7, 2}, {8, 3}}) {
    const TPageLookup lookup = PageOfKey(bytes, key);
    ASSERT_TRUE(lookup.Page) << lookup.Error;
    EXPECT_EQ(lookup.Page->Entry, entry);
    EXPECT_EQ(lookup.Page->Key, key);
    EXPECT_EQ(lookup.Page->Capcode, 1000u + static_cast<std::uint32_t>(entry));
    EXPECT_TRUE(lookup.Page->Warnings.empty());
  }
  // KEY_S1 is assigned to entry 5 of the image, which "4 Set" does not use.
  const TPageLookup unassigned = PageOfKey(bytes, 1);
  EXPECT_FALSE(unassigned.Page);
  EXPECT_EQ(unassigned.Error,
            "KEY_S1 is not assigned to any entry of the key map: it sends nothing");
  EXPECT_FALSE(PageOfKey(bytes, 9).Page);
  EXPECT_FALSE(PageOfKey(bytes, 0).Page);
}

TEST(TEntryPage, AKeyOnSeveralEntriesSendsTheFirstAndSaysSo) {
  TPageImage image;
  image.Entry(0, {.Capcode = 100}).Entry(2, {.Capcode = 300}).Key(0, 5).Key(2, 5).Key(4, 3);
  const TPageLookup lookup = PageOfKey(image.Bytes(), 5);
  ASSERT_TRUE(lookup.Page);
  EXPECT_EQ(lookup.Page->Capcode, 100u);
  ASSERT_EQ(lookup.Page->Warnings.size(), 1u);
  EXPECT_EQ(lookup.Page->Warnings[0], "KEY_S5 is also assigned to entry #3; entry #1 is sent");
}

TEST(TEntryPage, OnlyEntriesOfTheCapcodeSetExist) {
  TPageImage one(0);
  const TImageBytes bytes = one.Bytes();
  EXPECT_TRUE(PageOfEntry(bytes, 0).Page);
  const TPageLookup second = PageOfEntry(bytes, 1);
  EXPECT_FALSE(second.Page);
  EXPECT_EQ(second.Error, "entry #2 is not in use: the capcode set has 1 entry");
  EXPECT_TRUE(PageOfEntry(TPageImage(2).Bytes(), 7).Page);
  EXPECT_FALSE(PageOfEntry(TPageImage(2).Bytes(), 8).Page);
}

TEST(TEntryPage, SettingsMakeTheTransmission) {
  TPageImage image;
  image.Rate(2).Polarity(1).Repeat(256, 250).Entry(0, {.Capcode = 2097151, .Function = 3});
  TEntryPage page = Page(image.Bytes(), 0);
  EXPECT_EQ(page.Transmission.BitRate, 2400);
  EXPECT_TRUE(page.Transmission.Inverted);
  EXPECT_EQ(page.Transmission.Transmissions, 256);
  EXPECT_EQ(page.Transmission.RepeatWait, 250);
  EXPECT_EQ(page.Function, 3u);

  image.Rate(1).Polarity(0).Repeat(1, 0);
  page = Page(image.Bytes(), 0);
  EXPECT_EQ(page.Transmission.BitRate, 1200);
  EXPECT_FALSE(page.Transmission.Inverted);
  EXPECT_EQ(page.Transmission.Transmissions, 1);
  EXPECT_EQ(page.Transmission.RepeatWait, 0);
  EXPECT_EQ(Page(image.Rate(0).Bytes(), 0).Transmission.BitRate, 512);
}

TEST(TEntryPage, StoredValuesThatNameNothingSendNothing) {
  TPageImage image;
  image.Entry(0, {.Capcode = 1234});
  image.Image().WriteBitField(kOptionByte, kBitRateShift, 3, kBitRateWidth);
  TPageLookup lookup = PageOfEntry(image.Bytes(), 0);
  EXPECT_FALSE(lookup.Page);
  EXPECT_EQ(lookup.Error, "the bit rate bits hold 3, which names no bit rate: nothing can be sent");

  image.Rate(0);
  const std::size_t record = TConfigImage::CapcodeRecordOffset(0);
  image.Image()[record + kCapcodeTypeOffset] = 5;
  lookup = PageOfEntry(image.Bytes(), 0);
  EXPECT_EQ(lookup.Error, "entry #1: message type 5 names no type: nothing can be sent");
  image.Image()[record + kCapcodeTypeOffset] = 0;
  image.Image()[record + kCapcodeFunctionOffset] = 4;
  EXPECT_EQ(PageOfEntry(image.Bytes(), 0).Error,
            "entry #1: function bits 4 name no function (0 to 3)");
  image.Image()[record + kCapcodeFunctionOffset] = 0;
  image.Image().WriteU32(record, 0x200000);
  EXPECT_EQ(PageOfEntry(image.Bytes(), 0).Error,
            "entry #1: capcode 2097152 has more than 21 bits: POCSAG cannot address it");
}

TEST(TEntryPage, AlphaSendsHeaderTextAndTrailer) {
  TPageImage image;
  image.Entry(0, {.Text = Bytes("AB"), .Header = 0x05, .Trailer = 0x03});
  const TEntryPage page = Page(image.Bytes(), 0);
  EXPECT_EQ(page.Coding, TMessageCoding::Alphanumeric);
  EXPECT_EQ(page.Characters, (std::vector<std::uint8_t>{0x05, 'A', 'B', 0x03}));
  // 28 bits in two codewords: the 12 bits of fill make one NUL and 5 bits.
  EXPECT_EQ(CarriedSymbols(page, 7), (std::vector<std::uint8_t>{0x05, 'A', 'B', 0x03, 0}));
  EXPECT_TRUE(page.Warnings.empty());
}

TEST(TEntryPage, AFullRecordIsSentWhole) {
  // 1 Set: 640 bytes, header + 638 characters + trailer leave no 0 in the record.
  TPageImage image(0);
  std::vector<std::uint8_t> text;
  for (int i = 0; i < 638; ++i)
    text.push_back(static_cast<std::uint8_t>('!' + i % 90));
  image.Entry(0, {.Text = text, .Header = 0x02, .Trailer = 0x04});
  const TEntryPage page = Page(image.Bytes(), 0);
  ASSERT_EQ(page.Characters.size(), 640u);
  EXPECT_EQ(page.Characters.front(), 0x02);
  EXPECT_EQ(page.Characters.back(), 0x04);
  // 640 * 7 bits = 224 codewords, the address in frame 0: 225 slots, idle, 15 batches.
  EXPECT_EQ(page.Transmission.Batches.size(), 15u);
  std::vector<std::uint8_t> carried = CarriedSymbols(page, 7);
  EXPECT_EQ(carried, page.Characters);
}

TEST(TEntryPage, HighBytesGoOutAsTheirLowSevenBitsWithAWarning) {
  TPageImage image;
  image.Entry(0, {.Text = {'C', 'a', 'f', 0xE9, ' ', 0xB0, 'C'}});
  const TEntryPage page = Page(image.Bytes(), 0);
  EXPECT_EQ(page.Characters, (std::vector<std::uint8_t>{'C', 'a', 'f', 0x69, ' ', 0x30, 'C'}));
  ASSERT_EQ(page.Warnings.size(), 1u);
  EXPECT_EQ(page.Warnings[0],
            "entry #1: 2 bytes of 0x80 or above cannot be sent: POCSAG characters have 7 bits, "
            "so each goes out as its low 7 bits only (the first, 0xE9 at character 4, goes out "
            "as 0x69)");
}

TEST(TEntryPage, BinarySendsThePagerStreamAsCharacters) {
  const std::vector<std::uint8_t> big5 = {0xA4, 0x40, 'A', 0xC6, 0x7E};
  TPageImage image;
  image.Entry(0, {.Type = TMessageType::Binary, .Text = big5});
  const TEntryPage page = Page(image.Bytes(), 0);
  EXPECT_EQ(page.Characters, (std::vector<std::uint8_t>{0x44, 0x21, 0x0F, 'A', 0x0E, 0x7D, 0x4B}));
  EXPECT_EQ(DecodeChineseText(page.Characters.data(), page.Characters.size()), big5);
  EXPECT_TRUE(page.Warnings.empty());
}

TEST(TEntryPage, DigitsBecomeNumericCodesWithTheirTypesFill) {
  TPageImage image;
  image.Entry(0, {.Type = TMessageType::Digit0C, .Text = Bytes("12-U"), .Trailer = 0x03});
  image.Entry(1, {.Type = TMessageType::Digit0F, .Text = Bytes("09AF")});
  TEntryPage page = Page(image.Bytes(), 0);
  EXPECT_EQ(page.Coding, TMessageCoding::Numeric);
  EXPECT_EQ(page.Characters, (std::vector<std::uint8_t>{1, 2, 0xD, 0xB}));
  EXPECT_EQ(CarriedSymbols(page, 4), (std::vector<std::uint8_t>{1, 2, 0xD, 0xB, 0xC}));
  // The trailer code is no digit.
  ASSERT_EQ(page.Warnings.size(), 1u);
  EXPECT_EQ(page.Warnings[0], "entry #1: 1 character is not in the numeric set of Digit(0x0C) and "
                              "left out (the first, 0x03 at character 5)");
  page = Page(image.Bytes(), 1);
  EXPECT_EQ(CarriedSymbols(page, 4), (std::vector<std::uint8_t>{0, 9, 0xA, 0xF, 0xF}));
  EXPECT_TRUE(page.Warnings.empty());

  // Hex letters in a Digit(0x0C) record (written by another tool) are not its digits.
  TPageImage other;
  other.Entry(0, {.Type = TMessageType::Digit0F, .Text = Bytes("1A2")});
  other.Image()[TConfigImage::CapcodeRecordOffset(0) + kCapcodeTypeOffset] = 1;
  page = Page(other.Bytes(), 0);
  EXPECT_EQ(page.Characters, (std::vector<std::uint8_t>{1, 2}));
  EXPECT_EQ(page.Warnings.size(), 1u);
}

TEST(TEntryPage, ToneOnlyIsTheAddressAlone) {
  TPageImage image;
  image.Entry(3,
              {.Capcode = 1234567, .Type = TMessageType::ToneOnly, .Function = 2, .Trailer = 0x03});
  const TEntryPage page = Page(image.Bytes(), 3);
  EXPECT_EQ(page.Coding, TMessageCoding::None);
  EXPECT_TRUE(page.Characters.empty());
  const std::vector<TReadPage> read = ReadBatches(page.Transmission.Batches);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].Address, 1234567u);
  EXPECT_EQ(read[0].Function, 2u);
  EXPECT_TRUE(read[0].Data.empty());
}
