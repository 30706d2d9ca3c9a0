// Big5 through code page 950, as the Windows command-line tool converts "Binary" texts.

#include "editors/big5_codepage.h"

#include <gtest/gtest.h>

namespace {

std::string Bytes(std::initializer_list<unsigned char> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(CodePage950, ConvertsBothWays) {
  const TTextCodec& codec = CodePage950Codec();
  std::string big5;
  // "中文 OK": two characters of the common range and ASCII.
  ASSERT_TRUE(codec.ToBig5("\xE4\xB8\xAD\xE6\x96\x87 OK", big5));
  EXPECT_EQ(big5, Bytes({0xA4, 0xA4, 0xA4, 0xE5, ' ', 'O', 'K'}));
  EXPECT_EQ(codec.FromBig5(big5), "\xE4\xB8\xAD\xE6\x96\x87 OK");
  ASSERT_TRUE(codec.ToBig5("", big5));
  EXPECT_EQ(big5, "");
  EXPECT_EQ(codec.FromBig5(""), "");
}

TEST(CodePage950, RefusesWhatBig5CannotHold) {
  const TTextCodec& codec = CodePage950Codec();
  std::string big5;
  // A Hangul syllable and an emoji have no Big5 code; neither is replaced by a look-alike.
  EXPECT_FALSE(codec.ToBig5("\xED\x95\x9C", big5));
  EXPECT_FALSE(codec.ToBig5("a\xF0\x9F\x98\x80", big5));
  // A-with-grave has a best fit ("A") in code page 950 that must not be taken.
  EXPECT_FALSE(codec.ToBig5("\xC3\x80", big5));
  EXPECT_FALSE(codec.ToBig5("\xFF broken UTF-8", big5));
}

TEST(CodePage950, WhatIsNoBig5DecodesToOneReplacementEach) {
  const TTextCodec& codec = CodePage950Codec();
  EXPECT_EQ(codec.FromBig5(Bytes({'A', 0xA4})), "A\xEF\xBF\xBD") << "a lead byte at the end";
  EXPECT_EQ(codec.FromBig5(Bytes({0xFF, 'B'})), "\xEF\xBF\xBD"
                                                "B")
      << "no lead byte of Big5";
  EXPECT_EQ(codec.FromBig5(Bytes({0xA4, 0xA4, 0x80, 'C'})), "\xE4\xB8\xAD\xEF\xBF\xBD"
                                                            "C");
}

} // namespace
