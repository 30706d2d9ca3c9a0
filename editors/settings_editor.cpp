#include "editors/settings_editor.h"

#include "editors/key_names.h"

namespace {

// Large enough to be out of every range, small enough never to overflow while digits pile up.
constexpr std::int64_t kSaturation = 1'000'000'000'000;

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos)
    return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexDigit(char c) {
  if (IsDigit(c))
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

// A decimal number with an optional sign and, when allowed, a fractional part that is dropped.
// Returns false when the text is not such a number.
bool ParseDecimal(std::string_view text, bool allowFraction, std::int64_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  std::int64_t whole = 0;
  std::size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits)
    whole = whole >= kSaturation ? kSaturation : whole * 10 + (text[i] - '0');
  if (allowFraction && i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && IsDigit(text[i]); ++i)
      ++digits;
  }
  if (digits == 0 || i != text.size())
    return false;
  value = negative ? -whole : whole;
  return true;
}

TFieldCheck CheckDecimal(std::string_view text, bool allowFraction, std::int64_t low,
                         std::int64_t high) {
  text = TrimBlanks(text);
  if (text.empty())
    return {TFieldStatus::Restore, 0};
  std::int64_t value = 0;
  if (!ParseDecimal(text, allowFraction, value))
    return {TFieldStatus::NotANumber, 0};
  if (value < low || value > high)
    return {TFieldStatus::OutOfRange, value};
  return {TFieldStatus::Store, value};
}

// Hexadecimal digits only, cut to 8 bits.
bool ParseHexByte(std::string_view text, std::uint8_t& value) {
  text = TrimBlanks(text);
  if (text.empty())
    return false;
  unsigned low = 0;
  for (const char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0)
      return false;
    low = ((low << 4) | static_cast<unsigned>(digit)) & 0xFFu;
  }
  value = static_cast<std::uint8_t>(low);
  return true;
}

constexpr std::array<std::uint8_t, kMaxCapcodes> kKeyMap1{0x01, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, kMaxCapcodes> kKeyMap4{0x04, 0x08, 0x40, 0x80, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, kMaxCapcodes> kKeyMap8{0x01, 0x02, 0x04, 0x08,
                                                          0x10, 0x20, 0x40, 0x80};

} // namespace

TFieldCheck CheckAddress(std::string_view text) {
  return CheckDecimal(text, true, kMinCapcode, kMaxCapcode);
}

TFieldCheck CheckRepeatTimes(std::string_view text) {
  return CheckDecimal(text, false, kMinRepeatTimes, kMaxRepeatTimes);
}

TFieldCheck CheckWaitTime(std::string_view text) {
  return CheckDecimal(text, false, kMinWaitTime, kMaxWaitTime);
}

TFieldCheck CheckCode(std::string_view text) {
  if (TrimBlanks(text).empty())
    return {TFieldStatus::OutOfRange, 0};
  std::uint8_t value = 0;
  if (!ParseHexByte(text, value))
    return {TFieldStatus::NotANumber, 0};
  if (value > kMaxCode)
    return {TFieldStatus::OutOfRange, value};
  return {TFieldStatus::Store, value};
}

std::uint8_t CodeValue(std::string_view text) {
  std::uint8_t value = 0;
  return ParseHexByte(text, value) ? value : 0;
}

namespace {

// Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about a one-character literal put
// in front of a temporary string in optimised builds.
std::string NotANumberMessage(std::string_view text, std::string_view kind,
                              std::string_view field) {
  std::string message(1, '"');
  message.append(text).append("\" is not a ").append(kind).append(" number: ");
  message.append(field).append(" was not changed !");
  return message;
}

} // namespace

std::string NotDecimalMessage(std::string_view text, std::string_view field) {
  return NotANumberMessage(text, "decimal", field);
}

std::string NotHexadecimalMessage(std::string_view text, std::string_view field) {
  return NotANumberMessage(text, "hexadecimal", field);
}

const std::array<std::uint8_t, kMaxCapcodes>& DefaultKeyMap(std::uint8_t count) {
  return count == 1 ? kKeyMap1 : count == 4 ? kKeyMap4 : kKeyMap8;
}

std::uint8_t ApplyCapcodeSetToImage(TConfigImage& image, int itemIndex, bool writeKeyMap) {
  if (itemIndex < 0) {
    image.SetCapcodeCount(
        CapcodeCountFromSelector(image.ReadBitField(kOptionByte, kSelectorShift, kSelectorWidth)));
    return image.CapcodeCount();
  }
  image.WriteBitField(kOptionByte, kSelectorShift, static_cast<unsigned>(itemIndex),
                      kSelectorWidth);
  const std::uint8_t count = CapcodeCountFromSelector(static_cast<unsigned>(itemIndex));
  image.SetCapcodeCount(count);
  if (writeKeyMap) {
    const auto& keys = DefaultKeyMap(count);
    for (std::size_t k = 0; k < count; ++k)
      image[kKeyMap + k] = keys[k];
  }
  return count;
}

bool AssignKey(TConfigImage& image, int row, const std::string& keyName) {
  const auto code = KeyCode(keyName);
  if (!code || row < 0 || row >= kMaxCapcodes)
    return false;
  image[kKeyMap + static_cast<std::size_t>(row)] = *code;
  for (int j = 0; j < image.CapcodeCount(); ++j)
    if (j != row && KeyName(image[kKeyMap + static_cast<std::size_t>(j)]) == keyName)
      return true;
  return false;
}
