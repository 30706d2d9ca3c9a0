#pragma once
// Message records of the capcode entries: building the R bytes of one record from the memo's
// text, and the limits that keep every record inside its R bytes.
//
// Text records (types 0-3): [header code, only for Alpha and when nonzero] text, trailer code,
// zero fill. "Binary" records: the pager stream of the Big5 text, zero fill.

#include "image/config_image.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The item index of a type selector; an image may hold a type byte that names no item, which
// is then handled as a text record without a header code.
enum class TMessageType : int {
  Alpha = 0,
  Digit0C = 1, // "Digit(0x0C)"
  Digit0F = 2, // "Digit(0x0F)"
  ToneOnly = 3,
  Binary = 4,
};

// Item index 4 and above are written as "Binary" records.
inline bool IsBinaryType(TMessageType type) {
  return static_cast<int>(type) >= 4;
}

// The text a memo gets when its type is picked.
const char* DefaultMessageText(TMessageType type);

// Length of the text without its trailing characters of code 0x20 or less.
std::size_t TrimmedLength(std::span<const std::uint8_t> text);

// Text bytes a text record holds: R - 1, less one more when an Alpha header code takes the first
// byte. The byte after the text always stays inside the record for the trailer code.
std::size_t TextCapacity(TMessageType type, std::uint8_t header, std::size_t recordLength);

// Length of the pager stream of a Big5 text.
std::size_t EncodedLength(std::span<const std::uint8_t> big5);

// A Big5 text with the characters a "Binary" record cannot carry removed: double-byte
// characters outside Big5 level 1 and a lead byte without its trail byte.
struct TCarriedText {
  std::vector<std::uint8_t> Bytes;
  std::size_t Dropped = 0; // characters removed
};
TCarriedText KeepCarriedCharacters(std::span<const std::uint8_t> big5);

struct TMessageRecord {
  std::vector<std::uint8_t> Record; // exactly R bytes
  std::vector<std::uint8_t> Text;   // the text as stored: trimmed, cut, for "Binary" in Big5
  bool Cut = false;                 // the text was longer than the record holds
  std::size_t Dropped = 0;          // "Binary" characters that cannot be carried
};

// Builds message record bytes from the memo's text (8-bit bytes for text records, Big5 for
// "Binary"). A text that does not fit is cut at its end, for "Binary" only between characters.
TMessageRecord BuildMessageRecord(TMessageType type, std::span<const std::uint8_t> text,
                                  std::uint8_t header, std::uint8_t trailer,
                                  std::size_t recordLength);

// Copies a record built for the image's current record length into message record `entry`.
void WriteMessageRecord(TConfigImage& image, int entry, const std::vector<std::uint8_t>& record);
