#pragma once
// What the editors' key filters do with one typed character. The window applies the answer:
// it inserts Key (possibly changed), or discards it, moves the focus to the focus sink, and
// shows Message when there is one.

#include "editors/message_record.h"

#include <cstddef>
#include <string>

constexpr char16_t kBackspaceKey = 0x08;
constexpr char16_t kEnterKey = 0x0D;

enum class TKeyAction {
  Accept,          // insert Key
  Discard,         // drop it; show Message when it is not empty
  DiscardAndLeave, // drop it and commit the box by moving the focus to the focus sink
};

struct TKeyDecision {
  TKeyAction Action = TKeyAction::Accept;
  char16_t Key = 0;
  std::string Message;
};

inline constexpr const char* kMsgNumeric = "Please insert a numeric !";
inline constexpr const char* kMsgToneOnly = "Tone Only !";
inline constexpr const char* kMsgHexOnly = "Hex Number Only !";
inline constexpr const char* kMsgDecimalSet =
    "Dec Number or 'U' or Space or '-' or ']' or '[' Only !";
inline constexpr const char* kMsgSingleByteOnly =
    "This character has no single-byte code: only Latin-1 characters can be stored in this "
    "message !";
inline constexpr const char* kMsgNotCarried =
    "This character cannot be sent in a Binary message: only ASCII and the common Chinese "
    "characters of Big5 (A440-C67E) can be stored !";

constexpr std::size_t kAddressDigits = 7;
constexpr std::size_t kNumericDigits = 3;

// Digits-only boxes: the address boxes (7 digits) and the three-digit boxes. trimmedLength is
// the box text's length without leading and trailing blanks, before the key.
TKeyDecision DigitKey(char16_t key, std::size_t trimmedLength, std::size_t maxDigits);

// The header and trailer code boxes: hexadecimal digits, lower case turned to upper case,
// anything else dropped without a message.
TKeyDecision HexCodeKey(char16_t key);

// A message memo. Lengths are in record bytes of the trimmed text: for text records its 8-bit
// bytes, for "Binary" its pager stream. LengthWithKey is the length the text would have with
// the key inserted (LengthBefore when the key cannot be stored); Representable says whether the
// key has a byte form in the type's character set (Latin-1, or the carried Big5 set).
struct TMessageKeyContext {
  TMessageType Type = TMessageType::Alpha;
  bool Representable = true;
  std::size_t LengthBefore = 0;
  std::size_t LengthWithKey = 0;
  std::size_t Limit = 0;
};
TKeyDecision MessageKey(char16_t key, const TMessageKeyContext& context);

// The limit MessageKey compares with: the text capacity of a text record, the record length
// for the pager stream of a "Binary" record.
std::size_t MessageLimit(TMessageType type, std::uint8_t header, std::size_t recordLength);
