#include "editors/config_values.h"

#include "editors/chinese_text.h"
#include "editors/key_filters.h"
#include "editors/key_names.h"
#include "editors/message_record.h"
#include "editors/record_reading.h"
#include "synth/frequency_plan.h"
#include "synth/register_map.h"

#include <charconv>
#include <cstdio>
#include <limits>
#include <map>
#include <set>

namespace {

// ---- Text ----------------------------------------------------------------------------------

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The characters of a UTF-8 text; a byte that starts no valid sequence stands for itself.
std::vector<char32_t> DecodeUtf8(std::string_view text) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t size = b < 0x80         ? 1
                             : (b >> 5) == 6  ? 2
                             : (b >> 4) == 14 ? 3
                             : (b >> 3) == 30 ? 4
                                              : 0;
    bool valid = size > 0 && i + size <= text.size();
    char32_t c = size == 1 ? b : size == 2 ? (b & 0x1F) : size == 3 ? (b & 0x0F) : (b & 0x07);
    for (std::size_t k = 1; valid && k < size; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!valid) {
      out.push_back(b);
      ++i;
      continue;
    }
    out.push_back(c);
    i += size;
  }
  return out;
}

std::string EncodeUtf8(const std::vector<char32_t>& text) {
  std::string out;
  for (const char32_t c : text)
    AppendUtf8(out, c);
  return out;
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::span<const std::uint8_t> Span(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// ---- Numbers -------------------------------------------------------------------------------

bool ParseInteger(std::string_view text, std::int64_t& value) {
  if (!text.empty() && text.front() == '+')
    text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Decimal, or hexadecimal after 0x.
bool ParseNumber(std::string_view text, std::int64_t& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
  }
  return ParseInteger(text, value);
}

// ---- Paths ---------------------------------------------------------------------------------

struct TPath {
  const TConfigField* Field = nullptr;
  int Index = 0;
};

std::string PathOf(const TConfigField& field, int index) {
  switch (field.Group) {
  case TFieldGroup::Checksum:
    return std::string(kChecksumName) + "." + field.Name;
  case TFieldGroup::Entry:
    return std::string(kEntriesName) + "[" + std::to_string(index) + "]." + field.Name;
  case TFieldGroup::Key:
  case TFieldGroup::Register:
    return std::string(field.Name) + "[" + std::to_string(index) + "]";
  default:
    return field.Name;
  }
}

// "name[index]" with its index; false when the text has no such form.
bool SplitIndex(std::string_view text, std::string_view& name, int& index) {
  const auto open = text.find('[');
  if (open == std::string_view::npos || text.back() != ']')
    return false;
  name = text.substr(0, open);
  const std::string_view digits = text.substr(open + 1, text.size() - open - 2);
  if (digits.empty() || digits.size() > 3 ||
      digits.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  index = std::stoi(std::string(digits));
  return true;
}

template <std::size_t N>
const TConfigField* FindField(const std::array<const TConfigField*, N>& fields,
                              std::string_view name) {
  for (const TConfigField* field : fields)
    if (name == field->Name)
      return field;
  return nullptr;
}

template <std::size_t N> std::string NameList(const std::array<const TConfigField*, N>& fields) {
  std::string list;
  for (const TConfigField* field : fields)
    list += (list.empty() ? "" : ", ") + std::string(field->Name);
  return list;
}

std::optional<TPath> ParsePath(std::string_view path, std::string& problem) {
  if (path.rfind(kChecksumName, 0) == 0 && path.size() > 9 && path[8] == '.') {
    if (const TConfigField* field = FindField(kChecksumFields, path.substr(9)))
      return TPath{field, 0};
    problem = "no such field; the checksum has stored, computed and valid";
    return std::nullopt;
  }
  if (const TConfigField* field = FindField(kGeneralFields, path))
    return TPath{field, 0};
  if (path == kFieldFrequency.Name)
    return TPath{&kFieldFrequency, 0};
  const auto dot = path.find('.');
  std::string_view name;
  int index = 0;
  if (!SplitIndex(path.substr(0, dot), name, index)) {
    for (const TConfigField* array : {&kFieldKey, &kFieldRegister})
      if (path == array->Name) {
        problem =
            std::string("give one of them as ") + array->Name + "[0] to " + array->Name + "[7]";
        return std::nullopt;
      }
    problem = path.rfind(kEntriesName, 0) == 0
                  ? "give an entry's field as entries[0].capcode and so on"
                  : "no such field";
    return std::nullopt;
  }
  if (index >= kMaxCapcodes) {
    problem = "there are only " + std::string(name) + "[0] to " + std::string(name) + "[7]";
    return std::nullopt;
  }
  if (name == kEntriesName) {
    if (dot == std::string_view::npos) {
      problem = "give one field of the entry: " + NameList(kEntryFields);
      return std::nullopt;
    }
    if (const TConfigField* field = FindField(kEntryFields, path.substr(dot + 1)))
      return TPath{field, index};
    problem = "no such field; an entry has " + NameList(kEntryFields);
    return std::nullopt;
  }
  if (dot == std::string_view::npos)
    for (const TConfigField* array : {&kFieldKey, &kFieldRegister})
      if (name == array->Name)
        return TPath{array, index};
  problem = "no such field";
  return std::nullopt;
}

// ---- Reading -------------------------------------------------------------------------------

std::uint8_t Selector(const TImageBytes& bytes) {
  return static_cast<std::uint8_t>((bytes[kOptionByte] >> kSelectorShift) &
                                   ((1u << kSelectorWidth) - 1u));
}

TConfigImage Laid(const TImageBytes& bytes) {
  TConfigImage image;
  image.Assign(bytes);
  image.SetCapcodeCount(CapcodeCountFromSelector(Selector(bytes)));
  return image;
}

TFieldValue ItemValue(const TConfigField& field, std::uint32_t stored, int item) {
  if (const char* text = ItemText(field, item))
    return TFieldValue::Of(std::string(text));
  return field.UnknownIsNull ? TFieldValue::Null() : TFieldValue::Number(std::int64_t{stored});
}

std::string EntryText(const TEntryReading& entry, const TTextCodec& codec) {
  const std::string bytes = Bytes(entry.Text);
  return entry.Binary ? codec.FromBig5(bytes) : Latin1ToUtf8(bytes);
}

void Add(std::vector<TFieldReading>& out, const TConfigField& field, int index, TFieldValue value,
         std::uint32_t stored, std::size_t offset, std::size_t size, std::uint8_t mask, int order) {
  out.push_back(
      {PathOf(field, index), &field, index, std::move(value), stored, offset, size, mask, order});
}

std::uint8_t BitMask(const TConfigField& field) {
  return static_cast<std::uint8_t>(((1u << field.Width) - 1u) << field.Shift);
}

// Listing order: the checksum, the paging parameters, the entries, the keys, the registers
// and the frequency; the same numbers in every image, whatever its number of entries.
constexpr int kGeneralOrder = 10, kEntryOrder = 100, kKeyOrder = 200, kRegisterOrder = 300,
              kFrequencyOrder = 400;

} // namespace

bool SameValue(const TFieldValue& a, const TFieldValue& b) {
  if (a.Kind != b.Kind)
    return false;
  switch (a.Kind) {
  case TFieldValue::TKind::Null:
    return true;
  case TFieldValue::TKind::Flag:
    return a.Flag == b.Flag;
  case TFieldValue::TKind::Text:
    return a.Text == b.Text;
  case TFieldValue::TKind::Number:
    break;
  }
  std::int64_t x = 0, y = 0;
  if (ParseInteger(a.Text, x) && ParseInteger(b.Text, y))
    return x == y;
  char* endA = nullptr;
  char* endB = nullptr;
  const double dx = std::strtod(a.Text.c_str(), &endA);
  const double dy = std::strtod(b.Text.c_str(), &endB);
  if (*endA == '\0' && *endB == '\0' && endA != a.Text.c_str() && endB != b.Text.c_str())
    return dx == dy;
  return a.Text == b.Text;
}

std::string DescribeValue(const TFieldValue& value) {
  switch (value.Kind) {
  case TFieldValue::TKind::Null:
    return "null";
  case TFieldValue::TKind::Flag:
    return value.Flag ? "true" : "false";
  case TFieldValue::TKind::Number:
    return value.Text;
  case TFieldValue::TKind::Text:
    break;
  }
  std::string out = "\"";
  for (const char c : value.Text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", u);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  for (const char c : latin1)
    AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

bool Utf8ToLatin1(std::string_view utf8, std::string& latin1) {
  latin1.clear();
  for (const char32_t c : DecodeUtf8(utf8)) {
    if (c > 0xFF)
      return false;
    latin1 += static_cast<char>(c);
  }
  return true;
}

std::vector<TFieldReading> ReadFields(const TImageBytes& bytes, const TTextCodec& codec) {
  std::vector<TFieldReading> out;
  const TConfigImage image = Laid(bytes);
  const std::uint32_t stored = ReadBigEndian32(bytes.data() + kChecksum);
  const std::uint32_t computed = BlockSum(bytes);
  Add(out, kFieldChecksumStored, 0, TFieldValue::Number(std::int64_t{stored}), stored, kChecksum, 4,
      0xFF, 0);
  Add(out, kFieldChecksumComputed, 0, TFieldValue::Number(std::int64_t{computed}), computed, 0, 0,
      0, 1);
  Add(out, kFieldChecksumValid, 0, TFieldValue::Of(stored == computed), stored == computed, 0, 0, 0,
      2);

  int order = kGeneralOrder;
  for (const TConfigField* field : kGeneralFields) {
    const std::uint32_t value =
        field->Kind == TFieldKind::Computed ? image.CapcodeCount() : StoredValue(image, *field);
    TFieldValue shown;
    switch (field->Kind) {
    case TFieldKind::ListItem:
    case TFieldKind::InvertedBit:
      shown = ItemValue(*field, value, ItemIndex(image, *field));
      break;
    case TFieldKind::CheckBox:
      shown = TFieldValue::Of(Ticked(image, *field));
      break;
    case TFieldKind::Computed: // the capcode count, which only a named set has
      shown = Selector(bytes) < kCapcodeSetItems.size() ? TFieldValue::Number(std::int64_t{value})
                                                        : TFieldValue::Null();
      break;
    default:
      shown = TFieldValue::Number(ShownNumber(image, *field));
      break;
    }
    const bool computedField = field->Kind == TFieldKind::Computed;
    Add(out, *field, 0, std::move(shown), value, field->Offset, computedField ? 0 : 1,
        BitMask(*field), order++);
  }

  const auto length = static_cast<std::size_t>(image.RecordLength());
  for (int i = 0; i < image.CapcodeCount(); ++i) {
    const TEntryReading entry = ReadEntry(image, i);
    const std::size_t record = image.MessageRecordOffset(i);
    const int base = kEntryOrder + 10 * i;
    const TFieldValue codeNull = TFieldValue::Null();
    Add(out, kFieldCapcode, i, TFieldValue::Number(std::int64_t{entry.Capcode}), entry.Capcode,
        FieldOffset(kFieldCapcode, i), 4, 0xFF, base);
    Add(out, kFieldType, i, ItemValue(kFieldType, entry.Type, entry.Type), entry.Type,
        FieldOffset(kFieldType, i), 1, 0xFF, base + 1);
    Add(out, kFieldFunction, i, ItemValue(kFieldFunction, entry.Function, entry.Function),
        entry.Function, FieldOffset(kFieldFunction, i), 1, 0xFF, base + 2);
    Add(out, kFieldHeaderCode, i,
        entry.Binary ? codeNull : TFieldValue::Number(std::int64_t{entry.Header}), entry.Header,
        record, length, 0xFF, base + 3);
    Add(out, kFieldTrailerCode, i,
        entry.Binary ? codeNull : TFieldValue::Number(std::int64_t{entry.Trailer}), entry.Trailer,
        record, length, 0xFF, base + 4);
    Add(out, kFieldText, i, TFieldValue::Of(EntryText(entry, codec)), 0, record, length, 0xFF,
        base + 5);
  }

  for (int k = 0; k < kMaxCapcodes; ++k) {
    const std::uint32_t code = StoredValue(image, kFieldKey, k);
    Add(out, kFieldKey, k, TFieldValue::Of(KeyName(static_cast<std::uint8_t>(code))), code,
        FieldOffset(kFieldKey, k), 1, 0xFF, kKeyOrder + k);
  }
  for (int r = 0; r < kRegisterCount; ++r) {
    const std::uint32_t word = StoredValue(image, kFieldRegister, r);
    Add(out, kFieldRegister, r, TFieldValue::Number(std::int64_t{word}), word,
        FieldOffset(kFieldRegister, r), 3, 0xFF, kRegisterOrder + r);
  }
  TSynthRegisters synth;
  UnpackRegisters(synth, image);
  const std::int32_t frequency = DisplayedFrequency(synth);
  Add(out, kFieldFrequency, 0, TFieldValue::Number(std::int64_t{frequency}),
      static_cast<std::uint32_t>(frequency), 0, 0, 0, kFrequencyOrder);
  return out;
}

std::string FieldPath(const TConfigField& field, int index) {
  return PathOf(field, index);
}

bool NamesField(std::string_view path) {
  std::string problem;
  return ParsePath(path, problem).has_value();
}

// ---- Building ------------------------------------------------------------------------------

namespace {

struct TGiven {
  std::string Path;
  const TConfigField* Field = nullptr;
  int Index = 0;
  TFieldValue Value;
};

class TBuilder {
public:
  TBuilder(const TImageBytes& base, const TTextCodec& codec)
      : FBase(base), FCodec(codec), FBaseReadings(ReadFields(base, codec)) {
    FWork.Assign(base);
    for (const TFieldReading& reading : FBaseReadings)
      FBaseValues.emplace(reading.Path, &reading);
  }

  TBuildOutcome Build(std::span<const TAssignment> values) {
    Collect(values);
    for (const TGiven& given : FGiven)
      if (given.Field->Group == TFieldGroup::General && given.Field->Kind != TFieldKind::Frequency)
        ApplyGeneral(given);
    ApplyEntries();
    ApplyKeys();
    ApplyRegisters();
    if (!FOutcome.Errors.empty())
      return FOutcome;
    FWork.StoreChecksum();
    CheckReadBack();
    if (FOutcome.Errors.empty())
      FOutcome.Image = FWork.Bytes();
    return FOutcome;
  }

private:
  void Fail(const std::string& path, const std::string& message) {
    FOutcome.Errors.push_back(path + ": " + message);
  }
  void Want(const std::string& path, TFieldValue value) {
    FWanted.emplace_back(path, std::move(value));
  }
  const TGiven* Given(const TConfigField& field, int index = 0, bool equalToo = false) const {
    for (const TGiven& given : FGiven)
      if (given.Field == &field && given.Index == index)
        return &given;
    if (equalToo)
      for (const TGiven& given : FEqual)
        if (given.Field == &field && given.Index == index)
          return &given;
    return nullptr;
  }

  // Paths resolved; values equal to the base's dropped.
  void Collect(std::span<const TAssignment> values) {
    std::set<std::string> seen;
    for (const TAssignment& assignment : values) {
      std::string problem;
      const std::optional<TPath> path = ParsePath(assignment.Path, problem);
      if (!path) {
        Fail(assignment.Path, problem);
        continue;
      }
      const std::string name = PathOf(*path->Field, path->Index);
      if (!seen.insert(name).second) {
        Fail(name, "given twice");
        continue;
      }
      const auto base = FBaseValues.find(name);
      const auto same = [&](const TFieldValue& value) {
        return base != FBaseValues.end() && SameValue(base->second->Value, value);
      };
      const TFieldKind kind = path->Field->Kind;
      TFieldValue value = assignment.Value;
      const bool equal = same(value);
      // A text of digits may come as a number.
      if ((kind == TFieldKind::MessageText || kind == TFieldKind::ListItem ||
           kind == TFieldKind::InvertedBit || kind == TFieldKind::KeyName) &&
          value.Kind == TFieldValue::TKind::Number)
        value.Kind = TFieldValue::TKind::Text;
      if (equal || same(value)) {
        // A message's codes and text equal to the base's still count when its type changes,
        // which would otherwise reset them.
        if (path->Field->Group == TFieldGroup::Entry &&
            (kind == TFieldKind::Code || kind == TFieldKind::MessageText))
          FEqual.push_back({name, path->Field, path->Index, value});
        continue;
      }
      FGiven.push_back({name, path->Field, path->Index, std::move(value)});
    }
  }

  // A list's item by its text.
  std::optional<int> Item(const TGiven& given) {
    const TConfigField& field = *given.Field;
    if (given.Value.Kind == TFieldValue::TKind::Text) {
      const int item = FindItem(field, given.Value.Text);
      if (item >= 0)
        return item;
    }
    std::string items;
    for (const char* text : field.Items)
      items += (items.empty() ? "\"" : ", \"") + std::string(text) + "\"";
    Fail(given.Path, DescribeValue(given.Value) + " is not one of " + items);
    return std::nullopt;
  }

  std::optional<bool> Flag(const TGiven& given) {
    if (given.Value.Kind == TFieldValue::TKind::Flag)
      return given.Value.Flag;
    Fail(given.Path, DescribeValue(given.Value) + " is not true or false");
    return std::nullopt;
  }

  // A number through the window's check of its box.
  std::optional<std::int64_t> Checked(const TGiven& given) {
    const TConfigField& field = *given.Field;
    const bool textual = given.Value.Kind == TFieldValue::TKind::Number ||
                         given.Value.Kind == TFieldValue::TKind::Text;
    const TFieldCheck check =
        textual ? field.Check(given.Value.Text) : TFieldCheck{TFieldStatus::OutOfRange, 0};
    switch (check.Status) {
    case TFieldStatus::Store:
      return check.Value;
    case TFieldStatus::NotANumber:
      Fail(given.Path, DescribeValue(given.Value) + " is not a decimal number !");
      return std::nullopt;
    default:
      Fail(given.Path, field.RangeMessage);
      return std::nullopt;
    }
  }

  void ApplyGeneral(const TGiven& given) {
    const TConfigField& field = *given.Field;
    switch (field.Kind) {
    case TFieldKind::ListItem:
    case TFieldKind::InvertedBit:
      if (const auto item = Item(given)) {
        WriteItem(FWork, field, *item);
        Want(given.Path,
             TFieldValue::Of(std::string(field.Items[static_cast<std::size_t>(*item)])));
      }
      return;
    case TFieldKind::CheckBox:
      if (const auto ticked = Flag(given)) {
        WriteTicked(FWork, field, *ticked);
        Want(given.Path, TFieldValue::Of(*ticked));
      }
      return;
    case TFieldKind::Count:
    case TFieldKind::Number:
      if (const auto number = Checked(given)) {
        WriteShownNumber(FWork, field, *number);
        Want(given.Path, TFieldValue::Number(*number));
      }
      return;
    default: // the capcode count, checked once the set is known
      return;
    }
  }

  // ---- Entries -----------------------------------------------------------------------------

  // The message text as the record stores it: checked character by character as the memo's
  // key filter checks typed keys, trimmed, in the type's encoding. Nothing when refused.
  std::optional<std::string> MessageBytes(const TGiven& given, int typeByte, bool binary,
                                          std::uint8_t header, std::size_t recordLength,
                                          std::string& stored) {
    if (given.Value.Kind != TFieldValue::TKind::Text) {
      Fail(given.Path, DescribeValue(given.Value) + " is not a text");
      return std::nullopt;
    }
    const auto type = static_cast<TMessageType>(typeByte <= 4 ? typeByte : -1);
    // Trailing blanks and control codes are not stored, as the window does not store them.
    std::vector<char32_t> text = DecodeUtf8(given.Value.Text);
    while (!text.empty() && text.back() <= 0x20)
      text.pop_back();
    for (std::size_t at = 0; at < text.size(); ++at) {
      char32_t& c = text[at];
      std::string one;
      AppendUtf8(one, c);
      const std::string where = " (" + DescribeValue(TFieldValue::Of(one)) + ", character " +
                                std::to_string(at + 1) + ")";
      if (c == 0) {
        Fail(given.Path, "a message cannot hold the character U+0000, which ends it" + where);
        return std::nullopt;
      }
      if (typeByte > 4)
        continue; // a type that names no item: no list to pick it, nothing to check
      std::string big5;
      const bool representable =
          binary ? c < 0x80 || (FCodec.ToBig5(one, big5) && big5.size() == 2 &&
                                IsCarriedBig5(static_cast<std::uint8_t>(big5[0]),
                                              static_cast<std::uint8_t>(big5[1])))
                 : c <= 0xFF;
      // Enter and Backspace are keys of the memo: as characters they are checked as a control
      // character is.
      const char16_t key = (c == kEnterKey || c == kBackspaceKey) ? u'\x01'
                           : c > 0xFFFF                           ? char16_t{0xFFFF}
                                                                  : static_cast<char16_t>(c);
      const TKeyDecision decision = MessageKey(key, {type, representable, 0, 0, recordLength});
      if (decision.Action != TKeyAction::Accept) {
        Fail(given.Path, decision.Message + where);
        return std::nullopt;
      }
      // The digit types take letters in upper case; a "Binary" text keeps its case.
      if (!binary && decision.Key != key)
        c = decision.Key;
    }
    // Upper case can end a text in nothing new: the trim above holds.
    stored = EncodeUtf8(text);
    std::string bytes;
    if (binary ? !FCodec.ToBig5(stored, bytes) : !Utf8ToLatin1(stored, bytes)) {
      Fail(given.Path, binary ? kMsgNotCarried : kMsgSingleByteOnly);
      return std::nullopt;
    }
    const std::size_t needed = binary ? EncodedLength(Span(bytes)) : bytes.size();
    const std::size_t room = binary ? recordLength : TextCapacity(type, header, recordLength);
    if (needed > room) {
      Fail(given.Path, "the message takes " + std::to_string(needed) + " bytes; its record of " +
                           std::to_string(recordLength) + " bytes holds " + std::to_string(room) +
                           " !");
      return std::nullopt;
    }
    return bytes;
  }

  // A header or trailer code: a number as given, or hexadecimal text as the window's box has
  // it. Nothing when refused.
  std::optional<std::uint8_t> CodeOf(const TGiven& given, bool binary) {
    if (binary) {
      if (given.Value.Kind == TFieldValue::TKind::Null)
        return std::uint8_t{0};
      Fail(given.Path, "a Binary message has no header or trailer code: give null");
      return std::nullopt;
    }
    std::int64_t value = -1;
    if (given.Value.Kind == TFieldValue::TKind::Number) {
      if (!ParseInteger(given.Value.Text, value))
        value = -1;
    } else if (given.Value.Kind == TFieldValue::TKind::Text) {
      std::string_view text = given.Value.Text;
      if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
      const TFieldCheck check = CheckCode(text);
      if (check.Status == TFieldStatus::NotANumber) {
        Fail(given.Path, DescribeValue(given.Value) + " is not a hexadecimal number !");
        return std::nullopt;
      }
      if (check.Status == TFieldStatus::Store)
        value = check.Value;
    }
    if (value < 0 || value > kMaxCode) {
      Fail(given.Path, kMsgCodeRange);
      return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
  }

  void ApplyEntries() {
    const std::uint8_t baseCount = CapcodeCountFromSelector(Selector(FBase));
    const std::uint8_t count = CapcodeCountFromSelector(Selector(FWork.Bytes()));
    const TConfigImage base = Laid(FBase);
    FWork.SetCapcodeCount(count);
    const bool relayout = count != baseCount;
    const std::size_t length = static_cast<std::size_t>(FWork.RecordLength());

    for (const TGiven& given : FGiven)
      if (given.Field->Group == TFieldGroup::Entry && given.Index >= count) {
        const char* set = ItemText(kFieldCapcodeSet, Selector(FWork.Bytes()));
        Fail(given.Path, std::string(set ? std::string("\"") + set + "\"" : "the capcode set") +
                             " has entries[0] to entries[" + std::to_string(count - 1) + "] only");
      }

    for (int i = 0; i < count; ++i) {
      if (const TGiven* capcode = Given(kFieldCapcode, i))
        if (const auto value = Checked(*capcode)) {
          FWork.WriteU32(FieldOffset(kFieldCapcode, i), static_cast<std::uint32_t>(*value));
          Want(capcode->Path, TFieldValue::Number(*value));
        }
      for (const TConfigField* list : {&kFieldFunction, &kFieldType})
        if (const TGiven* given = Given(*list, i))
          if (const auto item = Item(*given)) {
            WriteItem(FWork, *list, *item, i);
            Want(given->Path,
                 TFieldValue::Of(std::string(list->Items[static_cast<std::size_t>(*item)])));
          }

      const std::size_t typeOffset = FieldOffset(kFieldType, i);
      const int typeByte = FWork[typeOffset];
      const bool typeChanged = typeByte != FBase[typeOffset];
      const TGiven* header = Given(kFieldHeaderCode, i, typeChanged);
      const TGiven* trailer = Given(kFieldTrailerCode, i, typeChanged);
      const TGiven* text = Given(kFieldText, i, typeChanged);
      if (!relayout && !typeChanged && !header && !trailer && !text)
        continue;

      // The base's message goes on when the entry keeps its type.
      const bool binary = typeByte == kBinaryTypeCode;
      std::optional<TEntryReading> old;
      if (i < baseCount && !typeChanged)
        old = ReadEntry(base, i);
      const auto type = static_cast<TMessageType>(typeByte <= 4 ? typeByte : -1);

      std::optional<std::uint8_t> headerCode = old && !binary ? old->Header : 0;
      std::optional<std::uint8_t> trailerCode = old && !binary ? old->Trailer : 0;
      if (header)
        headerCode = CodeOf(*header, binary);
      if (trailer)
        trailerCode = CodeOf(*trailer, binary);
      if (!headerCode || !trailerCode)
        continue;

      std::string bytes, shown;
      if (text) {
        const auto checked = MessageBytes(*text, typeByte, binary, *headerCode, length, shown);
        if (!checked)
          continue;
        bytes = *checked;
      } else if (old) {
        bytes = Bytes(old->Text);
        shown = EntryText(*old, FCodec);
      } else {
        bytes = DefaultMessageText(type);
        shown = bytes;
      }
      const TMessageRecord record =
          BuildMessageRecord(type, Span(bytes), *headerCode, *trailerCode, length);
      if (record.Cut || record.Dropped > 0) {
        Fail(PathOf(kFieldText, i),
             record.Cut
                 ? "the message does not fit its record of " + std::to_string(length) + " bytes !"
                 : std::to_string(record.Dropped) +
                       " character(s) that a Binary message cannot hold");
        continue;
      }
      WriteMessageRecord(FWork, i, record.Record);
      const TFieldValue none = TFieldValue::Null();
      Want(PathOf(kFieldHeaderCode, i),
           binary ? none : TFieldValue::Number(std::int64_t{*headerCode}));
      Want(PathOf(kFieldTrailerCode, i),
           binary ? none : TFieldValue::Number(std::int64_t{*trailerCode}));
      Want(PathOf(kFieldText, i), TFieldValue::Of(shown));
    }
  }

  // ---- Keys, registers, frequency, capcode count -------------------------------------------

  void ApplyKeys() {
    std::vector<const TGiven*> keys;
    for (const TGiven& given : FGiven)
      if (given.Field == &kFieldKey)
        if (const auto item = Item(given)) {
          FWork[FieldOffset(kFieldKey, given.Index)] =
              *KeyCode(kKeyItems[static_cast<std::size_t>(*item)]);
          Want(given.Path, given.Value);
          keys.push_back(&given);
        }
    // Two entries in use on one button.
    const int count = FWork.CapcodeCount();
    for (const TGiven* given : keys) {
      if (given->Index >= count)
        continue;
      for (int j = 0; j < count; ++j)
        if (j != given->Index && KeyName(FWork[FieldOffset(kFieldKey, j)]) == given->Value.Text) {
          Fail(given->Path, kMsgRepeatDefinition);
          break;
        }
    }
  }

  void ApplyRegisters() {
    bool plannedWordsGiven = false;
    for (const TGiven& given : FGiven) {
      if (given.Field != &kFieldRegister)
        continue;
      std::int64_t word = -1;
      const bool textual = given.Value.Kind == TFieldValue::TKind::Number ||
                           given.Value.Kind == TFieldValue::TKind::Text;
      if (textual && !ParseNumber(given.Value.Text, word)) {
        Fail(given.Path, DescribeValue(given.Value) + " is not a number !");
        continue;
      }
      if (word < 0 || word > kRegisterMask) {
        Fail(given.Path, kMsgRegisterRange);
        continue;
      }
      const std::size_t offset = FieldOffset(kFieldRegister, given.Index);
      FWork[offset] = static_cast<std::uint8_t>(word >> 16);
      FWork[offset + 1] = static_cast<std::uint8_t>(word >> 8);
      FWork[offset + 2] = static_cast<std::uint8_t>(word);
      Want(given.Path, TFieldValue::Number(word));
      plannedWordsGiven |= given.Index == 0 || given.Index == 1 || given.Index == 5;
    }

    if (const TGiven* frequency = Given(kFieldFrequency)) {
      std::uint32_t hertz = 0;
      const bool textual = frequency->Value.Kind == TFieldValue::TKind::Number ||
                           frequency->Value.Kind == TFieldValue::TKind::Text;
      switch (textual ? CheckFrequency(frequency->Value.Text, hertz)
                      : TFrequencyCheck::NotANumber) {
      case TFrequencyCheck::OutOfBand:
        Fail(frequency->Path, "Frequency Error!");
        break;
      case TFrequencyCheck::OffChannel:
        Fail(frequency->Path, "Channel Spacing Error!");
        break;
      case TFrequencyCheck::Empty:
      case TFrequencyCheck::NotANumber:
        Fail(frequency->Path, DescribeValue(frequency->Value) + " is not a frequency in hertz !");
        break;
      case TFrequencyCheck::Accepted: {
        TSynthRegisters synth;
        UnpackRegisters(synth, FWork);
        if (plannedWordsGiven) {
          const std::int32_t described = DisplayedFrequency(synth);
          if (described != static_cast<std::int32_t>(hertz))
            Fail(frequency->Path, std::to_string(hertz) +
                                      " Hz disagrees with registers R0, R1 and R5, which " +
                                      "describe " + std::to_string(described) +
                                      " Hz; give the frequency or those registers, not both");
        } else {
          PlanFrequency(synth, hertz);
          TConfigImage planned = FWork;
          PackRegisters(synth, planned);
          for (const int r : {0, 1, 5}) {
            const std::size_t offset = FieldOffset(kFieldRegister, r);
            for (std::size_t b = 0; b < 3; ++b)
              FWork[offset + b] = planned[offset + b];
          }
        }
        Want(frequency->Path, TFieldValue::Number(std::int64_t{hertz}));
        break;
      }
      }
    }

    for (const TGiven& given : FGiven) {
      if (given.Field == &kFieldCapcodeCount) {
        const char* set = ItemText(kFieldCapcodeSet, Selector(FWork.Bytes()));
        const TFieldValue result = set ? TFieldValue::Number(std::int64_t{
                                             CapcodeCountFromSelector(Selector(FWork.Bytes()))})
                                       : TFieldValue::Null();
        if (SameValue(result, given.Value))
          continue;
        Fail(given.Path, DescribeValue(given.Value) + " does not match capcode_set " +
                             (set ? "\"" + std::string(set) + "\"" : std::string("null")) +
                             "; the capcode set decides the number of entries");
      } else if (given.Field->Group == TFieldGroup::Checksum) {
        Fail(given.Path, "the checksum is computed when the table is written; it cannot be given");
      }
    }
  }

  // Every value given reads back as given from the image built; a value the image cannot keep
  // (a text that would be taken for a header code, say) is refused.
  void CheckReadBack() {
    const std::vector<TFieldReading> readings = ReadFields(FWork.Bytes(), FCodec);
    std::map<std::string, const TFieldReading*> byPath;
    for (const TFieldReading& reading : readings)
      byPath.emplace(reading.Path, &reading);
    for (const auto& [path, wanted] : FWanted) {
      const auto found = byPath.find(path);
      const TFieldValue held = found == byPath.end() ? TFieldValue::Null() : found->second->Value;
      if (!SameValue(held, wanted))
        Fail(path, DescribeValue(wanted) + " cannot be kept: the table would read back " +
                       DescribeValue(held));
    }
  }

  const TImageBytes& FBase;
  const TTextCodec& FCodec;
  const std::vector<TFieldReading> FBaseReadings;
  std::map<std::string, const TFieldReading*> FBaseValues;
  TConfigImage FWork;
  std::vector<TGiven> FGiven;
  std::vector<TGiven> FEqual; // message values equal to the base's
  std::vector<std::pair<std::string, TFieldValue>> FWanted;
  TBuildOutcome FOutcome;
};

} // namespace

TBuildOutcome BuildImage(const TImageBytes& base, std::span<const TAssignment> values,
                         const TTextCodec& codec) {
  TBuilder builder(base, codec);
  return builder.Build(values);
}
