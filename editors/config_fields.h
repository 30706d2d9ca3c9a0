#pragma once
// The configuration's fields, each declared once: where it sits in the image, how its bits
// encode what the window shows, the window's item texts, and the range its box accepts with
// the message a value outside it is told. The window's lists and the general-settings steps of
// RenderImage, `show`, and the operations of config_values.h and config_diff.h (read, build,
// set, diff) are derived from these declarations. The synthesizer's own register fields are
// declared in synth/register_map.cpp.

#include "editors/settings_editor.h"
#include "image/config_image.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

enum class TFieldKind {
  ListItem,     // the bits hold the index of a list item
  InvertedBit,  // one bit that is 1 for item 0 and 0 for item 1
  CheckBox,     // ticked when the bits are not 0; a tick writes 1, none 0
  Count,        // the byte holds the number less one
  Number,       // the byte holds the number
  Capcode,      // 4 bytes, big-endian
  Code,         // a header or trailer code, kept inside the entry's text record
  MessageText,  // the text of the entry's message record, in the encoding of its type
  KeyName,      // a switch code, known by its key name
  RegisterWord, // the 24-bit value of a register word; the word's first byte is not part of it
  Frequency,    // hertz, as the divider fields of R0, R1 and R5 describe it
  Computed,     // worked out from other bytes; never written
};

// Where a field lives: once in the image, once per capcode entry in use, or eightfold.
enum class TFieldGroup { Checksum, General, Entry, Key, Register };

struct TConfigField {
  const char* Name;    // its name in field paths and in the JSON of `show`
  const char* Caption; // its name in the listing of `show`
  TFieldGroup Group;
  TFieldKind Kind;
  std::size_t Offset; // image offset; for an entry field, the offset in its capcode record
  unsigned Shift;     // bit fields: the lowest bit and the width; whole bytes: 0 and 8
  unsigned Width;
  std::span<const char* const> Items;          // a list's items; a check box's caption
  bool UnknownIsNull;                          // a stored value no item stands for reads as null
  std::int64_t Low, High;                      // the accepted range
  const char* RangeMessage;                    // what a value outside it is told
  TFieldCheck (*Check)(std::string_view text); // the window's check of its box's text
};

inline constexpr std::array<const char*, 3> kBitRateItems{"512 bps", "1200 bps", "2400 bps"};
inline constexpr std::array<const char*, 2> kPolarityItems{"Normal", "Invert"};
inline constexpr std::array<const char*, 1> kKeyBeepItems{"Key Beep Enable"};
inline constexpr std::array<const char*, 3> kCapcodeSetItems{"1 Set", "4 Set", "8 Set"};
inline constexpr std::array<const char*, 3> kPcCommandItems{"NONE", "ZRCOMP2", "RF TEST"};
inline constexpr std::array<const char*, 1> kTriggerItems{"Enable Trigger Rising"};
inline constexpr std::array<const char*, 5> kMessageTypeItems{"Alpha", "Digit(0x0C)", "Digit(0x0F)",
                                                              "Tone Only", "Binary"};
inline constexpr std::array<const char*, 4> kFunctionItems{"0 0", "0 1", "1 0", "1 1"};
// The key lists offer the first eight names of the key name table; "KEY_S9" is only read.
inline constexpr std::array<const char*, 8> kKeyItems{"KEY_S1", "KEY_S2", "KEY_S3", "KEY_S4",
                                                      "KEY_S5", "KEY_S6", "KEY_S7", "KEY_S8"};

inline constexpr std::uint32_t kRegisterMask = 0xFFFFFF;
inline constexpr const char* kMsgRegisterRange =
    "A register holds 24 bits: give a number between 0 and 16777215 (0xFFFFFF) !";

// ---- The fields, in the order `show` lists them --------------------------------------------

namespace field_declaration {

// A list: its items stand for the values 0 .. items - 1 of its bits.
constexpr TConfigField List(const char* name, const char* caption, TFieldGroup group,
                            TFieldKind kind, std::size_t offset, unsigned shift, unsigned width,
                            std::span<const char* const> items, bool unknownIsNull = false) {
  const auto last = static_cast<std::int64_t>(items.size()) - 1;
  return {name,  caption,       group, kind, offset,  shift,  width,
          items, unknownIsNull, 0,     last, nullptr, nullptr};
}

// A number its box checks: a whole byte, or more for the capcode and the codes.
constexpr TConfigField Number(const char* name, const char* caption, TFieldGroup group,
                              TFieldKind kind, std::size_t offset, std::int64_t low,
                              std::int64_t high, const char* message,
                              TFieldCheck (*check)(std::string_view), unsigned width = 8) {
  return {name, caption, group, kind, offset, 0, width, {}, false, low, high, message, check};
}

// A field without a box of its own.
constexpr TConfigField Plain(const char* name, const char* caption, TFieldGroup group,
                             TFieldKind kind, std::size_t offset, unsigned width = 8) {
  return {name, caption, group, kind, offset, 0, width, {}, false, 0, 0, nullptr, nullptr};
}

} // namespace field_declaration

inline constexpr TConfigField kFieldChecksumStored = field_declaration::Plain(
    "stored", "Checksum", TFieldGroup::Checksum, TFieldKind::Computed, kChecksum);
inline constexpr TConfigField kFieldChecksumComputed = field_declaration::Plain(
    "computed", "Checksum", TFieldGroup::Checksum, TFieldKind::Computed, kChecksum);
inline constexpr TConfigField kFieldChecksumValid = field_declaration::Plain(
    "valid", "Checksum", TFieldGroup::Checksum, TFieldKind::Computed, kChecksum);

inline constexpr TConfigField kFieldBitRate =
    field_declaration::List("bit_rate", "Bit rate", TFieldGroup::General, TFieldKind::ListItem,
                            kOptionByte, kBitRateShift, kBitRateWidth, kBitRateItems, true);
inline constexpr TConfigField kFieldPolarity =
    field_declaration::List("polarity", "Polarity", TFieldGroup::General, TFieldKind::InvertedBit,
                            kOptionByte, kPolarityShift, kPolarityWidth, kPolarityItems);
inline constexpr TConfigField kFieldKeyBeep =
    field_declaration::List("key_beep", "Key beep", TFieldGroup::General, TFieldKind::CheckBox,
                            kOptionByte, kKeyBeepShift, kKeyBeepWidth, kKeyBeepItems);
inline constexpr TConfigField kFieldCapcodeSet = field_declaration::List(
    "capcode_set", "Capcode set", TFieldGroup::General, TFieldKind::ListItem, kOptionByte,
    kSelectorShift, kSelectorWidth, kCapcodeSetItems, true);
// Follows the capcode set: 1, 4 or 8, none for the selector value that names no set.
inline constexpr TConfigField kFieldCapcodeCount = field_declaration::Plain(
    "capcode_count", "Capcode count", TFieldGroup::General, TFieldKind::Computed, kOptionByte);
inline constexpr TConfigField kFieldRepeatTimes = field_declaration::Number(
    "repeat_times", "Repeat times", TFieldGroup::General, TFieldKind::Count, kRepeatCount,
    kMinRepeatTimes, kMaxRepeatTimes, kMsgRepeatRange, CheckRepeatTimes);
inline constexpr TConfigField kFieldRepeatWait = field_declaration::Number(
    "repeat_wait", "Repeat wait", TFieldGroup::General, TFieldKind::Number, kRepeatWait,
    kMinWaitTime, kMaxWaitTime, kMsgWaitRange, CheckWaitTime);
inline constexpr TConfigField kFieldPcCommand =
    field_declaration::List("pc_command", "PC command", TFieldGroup::General, TFieldKind::ListItem,
                            kPcCommand, 0, 8, kPcCommandItems);
inline constexpr TConfigField kFieldTriggerRising =
    field_declaration::List("trigger_rising", "Trigger rising", TFieldGroup::General,
                            TFieldKind::CheckBox, kTriggerEdge, 0, 8, kTriggerItems);

// The fields of a capcode entry; the codes and the text live in its message record.
inline constexpr TConfigField kFieldCapcode =
    field_declaration::Number("capcode", "Address(Dec)", TFieldGroup::Entry, TFieldKind::Capcode, 0,
                              kMinCapcode, kMaxCapcode, kMsgAddressRange, CheckAddress);
inline constexpr TConfigField kFieldType =
    field_declaration::List("type", "Message Type", TFieldGroup::Entry, TFieldKind::ListItem,
                            kCapcodeTypeOffset, 0, 8, kMessageTypeItems);
inline constexpr TConfigField kFieldFunction =
    field_declaration::List("function", "Function Bit", TFieldGroup::Entry, TFieldKind::ListItem,
                            kCapcodeFunctionOffset, 0, 8, kFunctionItems);
inline constexpr TConfigField kFieldHeaderCode =
    field_declaration::Number("header_code", "Header_Code(HEX)", TFieldGroup::Entry,
                              TFieldKind::Code, 0, 0, kMaxCode, kMsgCodeRange, CheckCode);
inline constexpr TConfigField kFieldTrailerCode =
    field_declaration::Number("trailer_code", "Trailer_Code(HEX)", TFieldGroup::Entry,
                              TFieldKind::Code, 0, 0, kMaxCode, kMsgCodeRange, CheckCode);
inline constexpr TConfigField kFieldText =
    field_declaration::Plain("text", "Message", TFieldGroup::Entry, TFieldKind::MessageText, 0);

inline constexpr TConfigField kFieldKey = field_declaration::List(
    "keys", "Key", TFieldGroup::Key, TFieldKind::KeyName, kKeyMap, 0, 8, kKeyItems);
inline constexpr TConfigField kFieldRegister = field_declaration::Number(
    "registers", "Registers", TFieldGroup::Register, TFieldKind::RegisterWord, kRegisterWords, 0,
    kRegisterMask, kMsgRegisterRange, nullptr, 24);
inline constexpr TConfigField kFieldFrequency = field_declaration::Plain(
    "frequency_hz", "Frequency", TFieldGroup::General, TFieldKind::Frequency, kRegisterWords, 0);

inline constexpr std::array<const TConfigField*, 3> kChecksumFields{
    &kFieldChecksumStored, &kFieldChecksumComputed, &kFieldChecksumValid};
// The paging parameters, in the order the window shows them.
inline constexpr std::array<const TConfigField*, 9> kGeneralFields{
    &kFieldBitRate,    &kFieldPolarity,     &kFieldKeyBeep,
    &kFieldCapcodeSet, &kFieldCapcodeCount, &kFieldRepeatTimes,
    &kFieldRepeatWait, &kFieldPcCommand,    &kFieldTriggerRising};
inline constexpr std::array<const TConfigField*, 6> kEntryFields{
    &kFieldCapcode,    &kFieldType,        &kFieldFunction,
    &kFieldHeaderCode, &kFieldTrailerCode, &kFieldText};

inline constexpr const char* kChecksumName = "checksum";
inline constexpr const char* kEntriesName = "entries";

// ---- One field of an image -----------------------------------------------------------------
// `index` is the entry, key or register a field of those groups belongs to.

// The image offset of a field of one byte or more (entry fields: in entry `index`'s capcode
// record; keys and registers: of key `index`, of register word `index`).
std::size_t FieldOffset(const TConfigField& field, int index = 0);

// The number a field's bytes hold: its bits, its byte, its 4 or its 3 bytes.
std::uint32_t StoredValue(const TConfigImage& image, const TConfigField& field, int index = 0);

// The item a list shows for the image, -1 when no item stands for the stored value.
int ItemIndex(const TConfigImage& image, const TConfigField& field, int index = 0);
// Writes a list's item; -1 (a list without a selection) writes nothing.
void WriteItem(TConfigImage& image, const TConfigField& field, int item, int index = 0);

bool Ticked(const TConfigImage& image, const TConfigField& field);
void WriteTicked(TConfigImage& image, const TConfigField& field, bool ticked);

// The number a box shows for a Count or Number field, and storing a number its check accepted.
std::int64_t ShownNumber(const TConfigImage& image, const TConfigField& field);
void WriteShownNumber(TConfigImage& image, const TConfigField& field, std::int64_t value);

// The item's text, or nullptr when there is no such item.
const char* ItemText(const TConfigField& field, std::int64_t item);
// The index of an item text, -1 when the field has no such item.
int FindItem(const TConfigField& field, std::string_view text);
