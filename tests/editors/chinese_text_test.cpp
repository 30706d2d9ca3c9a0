// Big5 <-> pager stream transcoding of "Binary" messages.

#include "editors/chinese_text.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Encode(const TBytes& text) {
  return EncodeChineseText(text.data(), text.size());
}
TBytes Decode(const TBytes& stream) {
  return DecodeChineseText(stream.data(), stream.size());
}

TEST(ChineseText, EmptyTextGivesEmptyStream) {
  EXPECT_TRUE(Encode({}).empty());
  EXPECT_TRUE(Decode({}).empty());
}

TEST(ChineseText, ShiftCodesSurroundAsciiRuns) {
  EXPECT_EQ(Encode({'1', '2', '3', '4', '5', '6', '7', '8', '9', '0'}),
            (TBytes{0x0F, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30}));
  EXPECT_EQ(Encode({0xA4, 0x40}), (TBytes{0x44, 0x21})) << "the stream starts in double-byte mode";
  EXPECT_EQ(Encode({0xA4, 0x40, 0x41}), (TBytes{0x44, 0x21, 0x0F, 0x41}));
  EXPECT_EQ(Encode({0x41, 0xA4, 0x40}), (TBytes{0x0F, 0x41, 0x0E, 0x44, 0x21}));
}

TEST(ChineseText, ReorderedCharactersTakeTheirPagerPlaces) {
  const struct {
    std::uint8_t Lead, Trail, Row, Cell;
  } cases[] = {
      {0xC6, 0x7E, 0x7D, 0x4B}, {0xAC, 0xFE, 0x57, 0x53}, {0xAD, 0x40, 0x53, 0x23},
      {0xAF, 0xCF, 0x57, 0x52}, {0xBE, 0x52, 0x6B, 0x50}, {0xBB, 0xC8, 0x6B, 0x51},
      {0xC3, 0xB9, 0x78, 0x65}, {0xC3, 0xBA, 0x78, 0x64}, {0xC4, 0x56, 0x78, 0x2D},
      {0xC2, 0x55, 0x76, 0x41}, {0xC2, 0xCB, 0x75, 0x35}, {0xC1, 0xAB, 0x75, 0x36},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.Lead) << int(c.Trail));
    EXPECT_EQ(Encode({c.Lead, c.Trail}), (TBytes{c.Row, c.Cell}));
    EXPECT_EQ(Decode({c.Row, c.Cell}), (TBytes{c.Lead, c.Trail}));
  }
}

TEST(ChineseText, CharactersOutsideTheCarriedSetAreDropped) {
  // Big5 punctuation A1 40 is dropped; the shift code written for it stays.
  EXPECT_EQ(Encode({0x41, 0xA1, 0x40, 0x42}), (TBytes{0x0F, 0x41, 0x0E, 0x0F, 0x42}));
  // A high byte before an ASCII letter is no pair: both go.
  EXPECT_EQ(Encode({0x41, 0x80, 0x42, 0x43}), (TBytes{0x0F, 0x41, 0x0E, 0x0F, 0x43}));
  // A lone lead byte at the end.
  EXPECT_EQ(Encode({0x61, 0x62, 0xA4}), (TBytes{0x0F, 0x61, 0x62, 0x0E}));
  // Just past the end of the carried range, and an invalid trail byte inside it.
  EXPECT_EQ(Encode({0xC6, 0xA1}), TBytes{});
  EXPECT_EQ(Encode({0xB0, 0x80}), TBytes{});
  EXPECT_FALSE(IsCarriedBig5(0xC6, 0xA1));
  EXPECT_FALSE(IsCarriedBig5(0xA4, 0x3F));
  EXPECT_FALSE(IsCarriedBig5(0xA4, 0xA0));
  EXPECT_TRUE(IsCarriedBig5(0xA4, 0x40));
  EXPECT_TRUE(IsCarriedBig5(0xC6, 0x7E));
}

TEST(ChineseText, EveryCarriedCodeRoundTripsToADistinctPair) {
  std::set<unsigned> pairs;
  int carried = 0;
  for (unsigned lead = 0xA4; lead <= 0xC6; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const auto l = static_cast<std::uint8_t>(lead), t = static_cast<std::uint8_t>(trail);
      if (!IsCarriedBig5(l, t))
        continue;
      ++carried;
      const TBytes stream = Encode({l, t});
      ASSERT_EQ(stream.size(), 2u) << std::hex << lead << trail;
      EXPECT_GE(stream[0], 0x44);
      EXPECT_LE(stream[0], 0x7D);
      EXPECT_GE(stream[1], 0x21);
      EXPECT_LE(stream[1], 0x7E);
      pairs.insert(stream[0] * 256u + stream[1]);
      EXPECT_EQ(Decode(stream), (TBytes{l, t})) << std::hex << lead << trail;
    }
  }
  EXPECT_EQ(carried, kCarriedCharacters);
  EXPECT_EQ(pairs.size(), static_cast<std::size_t>(kCarriedCharacters));
  EXPECT_EQ(*pairs.begin(), 0x4421u);
  EXPECT_EQ(*pairs.rbegin(), 0x7D4Bu);
}

TEST(ChineseText, DecoderFollowsShiftsAndStopsAtZero) {
  EXPECT_EQ(Decode({0x0F, 0x41, 0x42, 0x0E, 0x44, 0x21, 0x00, 0x0F, 0x43}),
            (TBytes{0x41, 0x42, 0xA4, 0x40}));
  // Text bytes 0x0E and 0x0F are stored as such and read back as shift codes.
  EXPECT_EQ(Encode({0x41, 0x0E, 0xA4, 0x40}), (TBytes{0x0F, 0x41, 0x0E, 0x0E, 0x44, 0x21}));
  EXPECT_EQ(Decode({0x0F, 0x41, 0x0E, 0x0E, 0x44, 0x21}), (TBytes{0x41, 0xA4, 0x40}));
}

TEST(ChineseText, DecoderTestsTheRangeOnTheWholeCode) {
  EXPECT_EQ(Decode({0x45, 0x20}), (TBytes{0xA4, 0xBF})) << "cell below 0x21 inside the range";
  EXPECT_EQ(Decode({0x44, 0x20}), TBytes{}) << "below 0x4421";
  EXPECT_EQ(Decode({0x7D, 0x7F}), TBytes{}) << "above 0x7D7E";
  EXPECT_EQ(Decode({0x7D, 0x4C}), (TBytes{0xC6, 0xA1}));
  EXPECT_EQ(Decode({0x7D, 0x7E}), (TBytes{0xC6, 0xD3}));
  // A row byte at the very end pairs with the end of the stream and gives nothing.
  EXPECT_EQ(Decode({0x0F, 0x41, 0x0E, 0x44}), (TBytes{0x41}));
}

TEST(ChineseText, StreamIsNeverLongerThanTwiceTheText) {
  TBytes text;
  for (int i = 0; i < 100; ++i) {
    text.push_back('a');
    text.push_back(0xA4);
    text.push_back(0x40);
  }
  EXPECT_LE(Encode(text).size(), 2 * text.size());
  EXPECT_EQ(Encode(text).size(), 100u * 5u);
}

} // namespace
