// The key filters' decisions: which typed character is taken, changed, refused or ends the entry.

#include "editors/key_filters.h"

#include <gtest/gtest.h>

namespace {

TMessageKeyContext Context(TMessageType type, std::size_t before = 10, std::size_t limit = 79,
                           bool representable = true) {
  return {type, representable, before, before + 1, limit};
}

TEST(DigitKey, AddressAndThreeDigitBoxes) {
  EXPECT_EQ(DigitKey(u'5', 0, kAddressDigits).Action, TKeyAction::Accept);
  EXPECT_EQ(DigitKey(u'5', 6, kAddressDigits).Action, TKeyAction::Accept);
  EXPECT_EQ(DigitKey(u'5', 7, kAddressDigits).Action, TKeyAction::DiscardAndLeave)
      << "the key that would be the eighth ends the entry";
  EXPECT_EQ(DigitKey(u'5', 3, kNumericDigits).Action, TKeyAction::DiscardAndLeave);
  EXPECT_EQ(DigitKey(kEnterKey, 0, kNumericDigits).Action, TKeyAction::DiscardAndLeave);
  EXPECT_EQ(DigitKey(kBackspaceKey, 7, kAddressDigits).Action, TKeyAction::Accept);
  for (const char16_t key : {u'a', u'.', u'-', u' ', u'\u4E2D'}) {
    const TKeyDecision d = DigitKey(key, 1, kAddressDigits);
    EXPECT_EQ(d.Action, TKeyAction::Discard);
    EXPECT_EQ(d.Message, "Please insert a numeric !");
  }
}

TEST(HexCodeKey, UpperCasesAndSilentlyDrops) {
  EXPECT_EQ(HexCodeKey(u'a').Key, u'A');
  EXPECT_EQ(HexCodeKey(u'a').Action, TKeyAction::Accept);
  EXPECT_EQ(HexCodeKey(u'F').Key, u'F');
  EXPECT_EQ(HexCodeKey(u'9').Key, u'9');
  const TKeyDecision g = HexCodeKey(u'g');
  EXPECT_EQ(g.Action, TKeyAction::Discard);
  EXPECT_TRUE(g.Message.empty());
  EXPECT_EQ(HexCodeKey(kEnterKey).Action, TKeyAction::DiscardAndLeave);
  EXPECT_EQ(HexCodeKey(kBackspaceKey).Action, TKeyAction::Accept);
}

TEST(MessageKey, DigitSets) {
  const TKeyDecision u = MessageKey(u'u', Context(TMessageType::Digit0C));
  EXPECT_EQ(u.Action, TKeyAction::Accept);
  EXPECT_EQ(u.Key, u'U');
  for (const char16_t ok : {u'0', u'9', u' ', u'-', u']', u'['})
    EXPECT_EQ(MessageKey(ok, Context(TMessageType::Digit0C)).Action, TKeyAction::Accept)
        << char(ok);
  const TKeyDecision a = MessageKey(u'a', Context(TMessageType::Digit0C));
  EXPECT_EQ(a.Action, TKeyAction::Discard);
  EXPECT_EQ(a.Message, "Dec Number or 'U' or Space or '-' or ']' or '[' Only !");

  const TKeyDecision f = MessageKey(u'f', Context(TMessageType::Digit0F));
  EXPECT_EQ(f.Action, TKeyAction::Accept);
  EXPECT_EQ(f.Key, u'F');
  const TKeyDecision g = MessageKey(u'g', Context(TMessageType::Digit0F));
  EXPECT_EQ(g.Action, TKeyAction::Discard);
  EXPECT_EQ(g.Message, "Hex Number Only !");
  EXPECT_EQ(MessageKey(u'U', Context(TMessageType::Digit0F)).Message, "Hex Number Only !");
}

TEST(MessageKey, ToneOnlyTakesNothingButEnterAndBackspace) {
  const TKeyDecision x = MessageKey(u'x', Context(TMessageType::ToneOnly, 500, 79));
  EXPECT_EQ(x.Action, TKeyAction::Discard) << "even past the limit the message is Tone Only";
  EXPECT_EQ(x.Message, "Tone Only !");
  EXPECT_EQ(MessageKey(kBackspaceKey, Context(TMessageType::ToneOnly)).Action, TKeyAction::Accept);
  EXPECT_EQ(MessageKey(kEnterKey, Context(TMessageType::ToneOnly)).Action,
            TKeyAction::DiscardAndLeave);
}

TEST(MessageKey, CaseOfLetters) {
  EXPECT_EQ(MessageKey(u'a', Context(TMessageType::Alpha)).Key, u'a');
  EXPECT_EQ(MessageKey(u'a', Context(TMessageType::Binary)).Key, u'A');
  EXPECT_EQ(MessageKey(u'\u00E9', Context(TMessageType::Binary, 1, 80, true)).Key, u'\u00E9');
}

TEST(MessageKey, FullRecordEndsTheEntry) {
  // The limit before the key, and the length the key would make.
  EXPECT_EQ(MessageKey(u'x', Context(TMessageType::Alpha, 79, 79)).Action,
            TKeyAction::DiscardAndLeave);
  EXPECT_EQ(MessageKey(u'x', Context(TMessageType::Alpha, 78, 79)).Action, TKeyAction::Accept);
  TMessageKeyContext wide{TMessageType::Binary, true, 79, 81, 80};
  EXPECT_EQ(MessageKey(u'\u4E2D', wide).Action, TKeyAction::DiscardAndLeave)
      << "a character whose stream would pass R";
  wide.LengthWithKey = 80;
  EXPECT_EQ(MessageKey(u'\u4E2D', wide).Action, TKeyAction::Accept);
  EXPECT_EQ(MessageKey(kBackspaceKey, Context(TMessageType::Alpha, 200, 79)).Action,
            TKeyAction::Accept);
  // A digit memo that is full ends the entry before any character check.
  EXPECT_EQ(MessageKey(u'x', Context(TMessageType::Digit0F, 79, 79)).Action,
            TKeyAction::DiscardAndLeave);
}

TEST(MessageKey, CharactersWithoutAByteFormAreRefused) {
  const TKeyDecision alpha = MessageKey(u'\u4E2D', Context(TMessageType::Alpha, 1, 79, false));
  EXPECT_EQ(alpha.Action, TKeyAction::Discard);
  EXPECT_FALSE(alpha.Message.empty());
  const TKeyDecision binary = MessageKey(u'\u8FD9', Context(TMessageType::Binary, 1, 80, false));
  EXPECT_EQ(binary.Action, TKeyAction::Discard);
  EXPECT_NE(binary.Message, alpha.Message);
  EXPECT_EQ(MessageKey(u'\u00E9', Context(TMessageType::Alpha, 1, 79, true)).Action,
            TKeyAction::Accept);
}

TEST(MessageKey, Limits) {
  EXPECT_EQ(MessageLimit(TMessageType::Alpha, 0, 80), 79u);
  EXPECT_EQ(MessageLimit(TMessageType::Alpha, 5, 160), 158u);
  EXPECT_EQ(MessageLimit(TMessageType::Digit0C, 5, 640), 639u);
  EXPECT_EQ(MessageLimit(TMessageType::Binary, 5, 80), 80u);
}

} // namespace
