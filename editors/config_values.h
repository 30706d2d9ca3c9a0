#pragma once
// The configuration as values by field path, derived from the declarations of
// config_fields.h: every field's value read from an image, and an image built from values
// over a base image with the window's checks.
//
// Paths name the fields as the JSON of `show` nests them: "bit_rate", "checksum.stored",
// "entries[2].capcode", "keys[0]", "registers[5]", "frequency_hz".

#include "editors/config_fields.h"
#include "image/config_image.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A value as JSON has it. Numbers keep the text they were written with; texts are UTF-8.
struct TFieldValue {
  enum class TKind { Null, Flag, Number, Text };
  TKind Kind = TKind::Null;
  bool Flag = false;
  std::string Text;

  static TFieldValue Null() { return {}; }
  static TFieldValue Of(bool flag) { return {TKind::Flag, flag, {}}; }
  static TFieldValue Number(std::int64_t number) {
    return {TKind::Number, false, std::to_string(number)};
  }
  static TFieldValue Number(std::string written) {
    return {TKind::Number, false, std::move(written)};
  }
  static TFieldValue Of(std::string text) { return {TKind::Text, false, std::move(text)}; }
  static TFieldValue Of(const char* text) { return Of(std::string(text)); }
};

// Equal as values: numbers by their value (012 and 12.0 are 12), everything else exactly.
bool SameValue(const TFieldValue& a, const TFieldValue& b);
// The value as JSON writes it: null, true, 12, "text" (with JSON's escapes).
std::string DescribeValue(const TFieldValue& value);

// Big5 conversion, supplied by the front end: the core has no character tables.
struct TTextCodec {
  // UTF-8 to Big5; false when a character has no Big5 code.
  std::function<bool(std::string_view utf8, std::string& big5)> ToBig5;
  std::function<std::string(std::string_view big5)> FromBig5;
};

// UTF-8 of Latin-1 bytes, and back: false when a character is above U+00FF.
std::string Latin1ToUtf8(std::string_view latin1);
bool Utf8ToLatin1(std::string_view utf8, std::string& latin1);

struct TFieldReading {
  std::string Path;
  const TConfigField* Field = nullptr;
  int Index = 0; // the entry, key or register
  TFieldValue Value;
  std::uint32_t Stored = 0; // the number the bytes hold (list fields: also without an item)
  // The bytes the field is kept in: Size bytes from Offset, the bits of Mask in each.
  std::size_t Offset = 0, Size = 0;
  std::uint8_t Mask = 0xFF;
  int Order = 0; // the field's place in the listing, the same in every image
};

// Every field of an image. Entries are those of its capcode set (eight for the selector value
// that names no set); "Binary" texts go through the codec.
std::vector<TFieldReading> ReadFields(const TImageBytes& image, const TTextCodec& codec);

// The path of a field: of entry, key or register `index` for the fields of those groups.
std::string FieldPath(const TConfigField& field, int index = 0);

// True when a path names one field ("entries[2].text"), false for a group ("entries[2]") or a
// path that names nothing.
bool NamesField(std::string_view path);

struct TAssignment {
  std::string Path;
  TFieldValue Value;
};

struct TBuildOutcome {
  std::vector<std::string> Errors; // "path: message", one per refused value
  TImageBytes Image{};             // with its checksum stored; only when there are no errors
  bool Ok() const { return Errors.empty(); }
};

// An image with the given values over `base`. A value equal to the base's leaves the base's
// bytes, and so does every field not given and every byte no field covers. Values are checked
// as the window checks them and refused with its messages; a refused value builds nothing.
//  - Changing the capcode set lays the messages out anew: an entry keeps its type, codes and
//    text, an entry the base did not use gets its type's default text.
//  - Changing an entry's type without its text gives the type's default text and codes 0, as
//    picking the type in the window does.
//  - "frequency_hz" is planned as the frequency box plans it. When registers R0, R1 or R5 are
//    also given, they must describe that frequency, and are then stored as given.
//  - The checksum is computed: "checksum" values cannot be given.
TBuildOutcome BuildImage(const TImageBytes& base, std::span<const TAssignment> values,
                         const TTextCodec& codec);
