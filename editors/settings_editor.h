#pragma once
// The paging parameters and the key map: checking the edit boxes' values and writing the
// capcode set and the key assignments into the image. The fields themselves are declared in
// config_fields.h.

#include "image/config_image.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr const char* kMsgAddressRange = "Please insert a number between 8 to 2097151!";
inline constexpr const char* kMsgRepeatRange = "Please insert a number between 1 and 256 !";
inline constexpr const char* kMsgWaitRange = "Please insert a number between 0 and 250 !";
inline constexpr const char* kMsgCodeRange = "Please insert a number between 0 and 0x20 !";
inline constexpr const char* kMsgRepeatDefinition = "Repeat definition of button !";

constexpr int kMinRepeatTimes = 1, kMaxRepeatTimes = 256;
constexpr int kMinWaitTime = 0, kMaxWaitTime = 250;
constexpr std::uint8_t kMaxCode = 0x20; // header and trailer codes

// The verdict on an edit box's text when the box is left.
enum class TFieldStatus {
  Restore,    // the box is empty: show the stored value again, write nothing
  Store,      // Value is in range
  OutOfRange, // show the range message, write nothing
  NotANumber, // pasted text that is no number: say so, write nothing
};
struct TFieldCheck {
  TFieldStatus Status = TFieldStatus::Restore;
  std::int64_t Value = 0;
};

// Address box: a decimal number whose fractional part is dropped, 8..2097151.
TFieldCheck CheckAddress(std::string_view text);
// Repeat count box, 1..256, and repeat wait box, 0..250: decimal integers.
TFieldCheck CheckRepeatTimes(std::string_view text);
TFieldCheck CheckWaitTime(std::string_view text);
// Header and trailer boxes: hexadecimal, cut to 8 bits, 0..0x20. An empty box is out of range
// (it has no stored value to go back to).
TFieldCheck CheckCode(std::string_view text);
// The code a header or trailer box holds as StoreMessage reads it: hexadecimal cut to 8 bits,
// 0 when the box holds no hexadecimal number.
std::uint8_t CodeValue(std::string_view text);

// Messages for pasted text that is not a number; the box names what was left unchanged.
std::string NotDecimalMessage(std::string_view text, std::string_view field);
std::string NotHexadecimalMessage(std::string_view text, std::string_view field);

// The key map a capcode set starts with; only the first `count` entries are written.
const std::array<std::uint8_t, kMaxCapcodes>& DefaultKeyMap(std::uint8_t count);

// The capcode set chosen as item index of "1 Set", "4 Set", "8 Set": writes the selector bits,
// sets the capcode count and record length and, when writeKeyMap, the set's default key map.
// Without a selection (-1) the count follows the image's selector bits and nothing is written.
// Returns the capcode count.
std::uint8_t ApplyCapcodeSetToImage(TConfigImage& image, int itemIndex, bool writeKeyMap);

// Stores the code of keyName in key map entry `row`; returns true when another entry in use
// (below the capcode count) already holds the same key name. An unknown name stores nothing.
bool AssignKey(TConfigImage& image, int row, const std::string& keyName);
