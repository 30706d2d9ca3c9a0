// The codeword builder against the standard's fixed values and against check bits worked out
// by hand, the message codings against bit patterns worked out by hand, and the batch layout.

#include "pocsag/codeword.h"
#include "pocsag/message_encoding.h"
#include "pocsag/transmission.h"
#include "pocsag_support.h"

#include <gtest/gtest.h>

using pocsag_test::CodewordChecks;
using pocsag_test::ReadBatches;
using pocsag_test::Symbols;

TEST(TCodeword, SyncAndIdleAreTheStandardsWords) {
  EXPECT_EQ(kSyncCodeword, 0x7CD215D8u);
  EXPECT_EQ(kIdleCodeword, 0x7A89C197u);
  // Both are codewords of the code: their first 21 bits give back their check bits and parity.
  EXPECT_EQ(CompleteCodeword(kSyncCodeword >> 11), kSyncCodeword);
  EXPECT_EQ(CompleteCodeword(kIdleCodeword >> 11), kIdleCodeword);
}

TEST(TCodeword, CheckBitsWorkedOutByHand) {
  // 1: x^10 mod g = x^9+x^8+x^6+x^5+x^3+1 = 0x369; 7 ones in all, so parity 1.
  EXPECT_EQ(BchCheckBits(1), 0x369u);
  EXPECT_EQ(CompleteCodeword(1), 0x00000ED3u);
  // x: x^11 mod g = x^8+x^7+x^5+x^4+x^3+x+1 = 0x1BB; 8 ones, parity 0.
  EXPECT_EQ(BchCheckBits(2), 0x1BBu);
  EXPECT_EQ(CompleteCodeword(2), 0x00001376u);
  // Capcode 8, function 0: information x^2, check bits x*0x1BB = 0x376 without reduction.
  EXPECT_EQ(AddressCodeword(8, 0), 0x000026ECu);
  // The check bits are linear: those of 3 are those of 1 and 2 added.
  EXPECT_EQ(BchCheckBits(3), 0x369u ^ 0x1BBu);
}

TEST(TCodeword, AddressAndMessageFields) {
  const std::uint32_t top = AddressCodeword(kMaxAddress, 3);
  EXPECT_EQ(top >> 31, 0u);
  EXPECT_EQ((top >> 13) & 0x3FFFF, 0x3FFFFu);
  EXPECT_EQ((top >> 11) & 3, 3u);
  EXPECT_TRUE(CodewordChecks(top));
  // The low 3 bits of the address are the frame, not part of the codeword.
  EXPECT_EQ(AddressCodeword(1234567, 2), AddressCodeword(1234560, 2));
  EXPECT_EQ(AddressFrame(1234567), 7);
  EXPECT_EQ(AddressFrame(8), 0);

  const std::uint32_t message = MessageCodeword(0xABCDE);
  EXPECT_EQ(message >> 31, 1u);
  EXPECT_EQ((message >> 11) & 0xFFFFF, 0xABCDEu);
  EXPECT_TRUE(CodewordChecks(message));
  for (std::uint32_t info : {0u, 1u, 0x155555u, 0x1FFFFFu, 0x0F0F0Fu})
    EXPECT_TRUE(CodewordChecks(CompleteCodeword(info))) << info;
  // One flipped bit is caught by the check.
  EXPECT_FALSE(CodewordChecks(message ^ 0x10000u));
}

TEST(TMessageCoding, AlphanumericBitsWorkedOutByHand) {
  // "A" = 0x41 sent 1,0,0,0,0,0,1, then 13 fill bits of 0.
  const std::uint8_t a[] = {0x41};
  EXPECT_EQ(AlphanumericData(a), (std::vector<std::uint32_t>{0x82000}));
  // Three characters are 21 bits: the third's last bit opens the second codeword.
  const std::uint8_t abc[] = {'A', 'B', 'C'}; // C = 0x43: 1,1,0,0,0,0,1
  const std::vector<std::uint32_t> words = AlphanumericData(abc);
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0], 0b1000001'0100001'110000u);
  EXPECT_EQ(words[1], 0b1u << 19);
  // A byte of 0x80 or above goes out as its low 7 bits.
  const std::uint8_t high[] = {0xC1};
  EXPECT_EQ(AlphanumericData(high), AlphanumericData(a));
  EXPECT_TRUE(AlphanumericData({}).empty());
  // Twenty characters fill seven codewords exactly: no fill codeword.
  const std::vector<std::uint8_t> twenty(20, 'x');
  EXPECT_EQ(AlphanumericData(twenty).size(), 7u);
  EXPECT_EQ(Symbols(AlphanumericData(twenty), 7), twenty);
}

TEST(TMessageCoding, NumericBitsWorkedOutByHand) {
  // 1 sent 1,0,0,0; fill 0xC sent 0,0,1,1 four times.
  const std::uint8_t one[] = {1};
  EXPECT_EQ(NumericData(one, 0xC), (std::vector<std::uint32_t>{0x83333}));
  EXPECT_EQ(NumericData(one, 0xF), (std::vector<std::uint32_t>{0x8FFFF}));
  const std::uint8_t five[] = {1, 2, 3, 4, 5}; // exactly one codeword, no fill
  EXPECT_EQ(NumericData(five, 0xC), (std::vector<std::uint32_t>{0b1000'0100'1100'0010'1010u}));
  const std::uint8_t six[] = {1, 2, 3, 4, 5, 6};
  const std::vector<std::uint32_t> words = NumericData(six, 0xC);
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(Symbols(words, 4), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 0xC, 0xC, 0xC, 0xC}));
}

TEST(TMessageCoding, NumericCharacterSet) {
  const std::string set = "0123456789U -][";
  const std::uint8_t codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xB, 0xC, 0xD, 0xE, 0xF};
  for (std::size_t i = 0; i < set.size(); ++i) {
    EXPECT_EQ(NumericCode(static_cast<std::uint8_t>(set[i]), false), codes[i]) << set[i];
    EXPECT_EQ(NumericCode(static_cast<std::uint8_t>(set[i]), true), codes[i]) << set[i];
  }
  for (char c = 'A'; c <= 'F'; ++c) {
    EXPECT_EQ(NumericCode(static_cast<std::uint8_t>(c), true), c - 'A' + 10) << c;
    EXPECT_FALSE(NumericCode(static_cast<std::uint8_t>(c), false)) << c;
  }
  for (const std::uint8_t c : {'a', 'u', 'G', '.', '\x03', '\xB1'})
    EXPECT_FALSE(NumericCode(c, true)) << int(c);
}

TEST(TBatches, AddressGoesInItsFrameAfterIdleCodewords) {
  for (std::uint32_t capcode = 8; capcode < 16; ++capcode) {
    const std::vector<TBatch> batches = BuildBatches(capcode, 1, {});
    ASSERT_EQ(batches.size(), 1u) << capcode;
    const int slot = 1 + 2 * static_cast<int>(capcode % 8);
    for (int s = 0; s < static_cast<int>(batches[0].size()); ++s) {
      const std::uint32_t expected = s == 0      ? kSyncCodeword
                                     : s == slot ? AddressCodeword(capcode, 1)
                                                 : kIdleCodeword;
      EXPECT_EQ(batches[0][static_cast<std::size_t>(s)], expected) << capcode << " slot " << s;
    }
  }
}

TEST(TBatches, MessagesRunOverBatchesAroundTheSync) {
  // Address in frame 7, 20 message codewords: slot 16 of the first batch, 16 of the second,
  // 3 of the third, then idle.
  std::vector<std::uint32_t> data;
  for (std::uint32_t i = 0; i < 20; ++i)
    data.push_back(i * 0x111 + 1);
  const std::vector<TBatch> batches = BuildBatches(2097151, 3, data);
  ASSERT_EQ(batches.size(), 3u);
  for (const TBatch& batch : batches) {
    EXPECT_EQ(batch[0], kSyncCodeword);
    for (const std::uint32_t w : batch)
      EXPECT_TRUE(CodewordChecks(w));
  }
  EXPECT_EQ(batches[0][15], AddressCodeword(2097151, 3));
  EXPECT_EQ(batches[0][16], MessageCodeword(data[0]));
  EXPECT_EQ(batches[1][1], MessageCodeword(data[1]));
  EXPECT_EQ(batches[2][3], MessageCodeword(data[19]));
  EXPECT_EQ(batches[2][4], kIdleCodeword);
  const std::vector<pocsag_test::TReadPage> pages = ReadBatches(batches);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].Address, 2097151u);
  EXPECT_EQ(pages[0].Function, 3u);
  EXPECT_EQ(pages[0].Data, data);
  EXPECT_TRUE(pages[0].EndedByCodeword);
}

TEST(TBatches, AMessageEndingABatchGetsAnIdleBatchAfterIt) {
  // Frame 0 holds the address and 15 message codewords fill the batch to its end.
  const std::vector<std::uint32_t> data(15, 0x12345);
  const std::vector<TBatch> batches = BuildBatches(8, 0, data);
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0][16], MessageCodeword(0x12345));
  TBatch idle;
  idle.fill(kIdleCodeword);
  idle[0] = kSyncCodeword;
  EXPECT_EQ(batches[1], idle);
  // One codeword fewer leaves room for the idle codeword in the first batch.
  EXPECT_EQ(BuildBatches(8, 0, std::vector<std::uint32_t>(14, 1)).size(), 1u);
  // Tone Only in the last frame: the address takes slot 15, an idle codeword slot 16.
  const std::vector<TBatch> tone = BuildBatches(15, 2, {});
  ASSERT_EQ(tone.size(), 1u);
  EXPECT_EQ(tone[0][16], kIdleCodeword);
}
