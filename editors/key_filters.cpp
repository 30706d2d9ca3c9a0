#include "editors/key_filters.h"

namespace {

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool IsHexDigit(char16_t c) {
  return IsDigit(c) || (c >= u'A' && c <= u'F');
}
bool IsLower(char16_t c) {
  return c >= u'a' && c <= u'z';
}
char16_t Upper(char16_t c) {
  return IsLower(c) ? static_cast<char16_t>(c - 0x20) : c;
}

TKeyDecision Accept(char16_t key) {
  return {TKeyAction::Accept, key, {}};
}
TKeyDecision Leave() {
  return {TKeyAction::DiscardAndLeave, 0, {}};
}
TKeyDecision Refuse(const char* message) {
  return {TKeyAction::Discard, 0, message};
}

} // namespace

TKeyDecision DigitKey(char16_t key, std::size_t trimmedLength, std::size_t maxDigits) {
  if (key == kBackspaceKey)
    return Accept(key);
  if (key == kEnterKey || trimmedLength >= maxDigits)
    return Leave();
  if (IsDigit(key))
    return Accept(key);
  return Refuse(kMsgNumeric);
}

TKeyDecision HexCodeKey(char16_t key) {
  if (key == kEnterKey)
    return Leave();
  if (key == kBackspaceKey)
    return Accept(key);
  const char16_t upper = Upper(key);
  if (IsHexDigit(upper))
    return Accept(upper);
  return {TKeyAction::Discard, 0, {}};
}

TKeyDecision MessageKey(char16_t key, const TMessageKeyContext& context) {
  const TMessageType type = context.Type;
  if (key == kEnterKey)
    return Leave();
  if (key == kBackspaceKey)
    return Accept(key);
  if (type != TMessageType::ToneOnly &&
      (context.LengthBefore >= context.Limit || context.LengthWithKey > context.Limit))
    return Leave();
  if (type == TMessageType::ToneOnly)
    return Refuse(kMsgToneOnly);
  if (type != TMessageType::Alpha)
    key = Upper(key);
  if (type == TMessageType::Digit0F && !IsHexDigit(key))
    return Refuse(kMsgHexOnly);
  if (type == TMessageType::Digit0C && !IsDigit(key) && key != u'U' && key != u' ' && key != u'-' &&
      key != u']' && key != u'[')
    return Refuse(kMsgDecimalSet);
  if (!context.Representable)
    return Refuse(IsBinaryType(type) ? kMsgNotCarried : kMsgSingleByteOnly);
  return Accept(key);
}

std::size_t MessageLimit(TMessageType type, std::uint8_t header, std::size_t recordLength) {
  return IsBinaryType(type) ? recordLength : TextCapacity(type, header, recordLength);
}
