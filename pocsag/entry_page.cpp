#include "pocsag/entry_page.h"

#include "editors/config_fields.h"
#include "editors/key_names.h"
#include "editors/record_reading.h"
#include "pocsag/message_encoding.h"

#include <cstdio>
#include <cstdlib>

namespace {

TConfigImage ImageOf(const TImageBytes& bytes) {
  TConfigImage image;
  image.Assign(bytes);
  image.SetCapcodeCount(
      CapcodeCountFromSelector(static_cast<unsigned>(StoredValue(image, kFieldCapcodeSet))));
  return image;
}

std::string EntryName(int entry) {
  return "entry #" + std::to_string(entry + 1);
}

std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

// The bytes of message record `entry` up to its first 0, inside its record length.
std::vector<std::uint8_t> RecordText(const TConfigImage& image, int entry) {
  const std::uint8_t* record = image.Data() + image.MessageRecordOffset(entry);
  const auto length = static_cast<std::size_t>(image.RecordLength());
  std::size_t used = 0;
  while (used < length && record[used] != 0)
    ++used;
  return {record, record + used};
}

// Several bytes of one kind told in one line: how many, and the first of them.
struct TOddBytes {
  std::size_t Count = 0;
  std::size_t FirstAt = 0; // 1-based character position
  std::uint8_t First = 0;
  void Note(std::size_t at, std::uint8_t byte) {
    if (Count++ == 0) {
      FirstAt = at + 1;
      First = byte;
    }
  }
};

void EncodeAlphanumeric(TEntryPage& page, const std::vector<std::uint8_t>& text) {
  TOddBytes high;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= 0x80)
      high.Note(i, text[i]);
    page.Characters.push_back(static_cast<std::uint8_t>(text[i] & 0x7F));
  }
  if (high.Count > 0)
    page.Warnings.push_back(
        EntryName(page.Entry) + ": " + std::to_string(high.Count) +
        (high.Count == 1 ? " byte" : " bytes") +
        " of 0x80 or above cannot be sent: POCSAG characters have 7 bits, so each goes out as "
        "its low 7 bits only (the first, " +
        Hex(high.First) + " at character " + std::to_string(high.FirstAt) + ", goes out as " +
        Hex(high.First & 0x7Fu) + ")");
}

void EncodeNumeric(TEntryPage& page, const std::vector<std::uint8_t>& text) {
  const bool hex = page.Type == TMessageType::Digit0F;
  TOddBytes odd;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (const std::optional<std::uint8_t> code = NumericCode(text[i], hex))
      page.Characters.push_back(*code);
    else
      odd.Note(i, text[i]);
  }
  // Our reading of the type names: the code each type fills its last codeword with.
  page.NumericFill = hex ? 0xF : 0xC;
  if (odd.Count > 0)
    page.Warnings.push_back(
        EntryName(page.Entry) + ": " + std::to_string(odd.Count) +
        (odd.Count == 1 ? " character is" : " characters are") + " not in the numeric set of " +
        kMessageTypeItems[static_cast<int>(page.Type)] + " and left out (the first, " +
        Hex(odd.First) + " at character " + std::to_string(odd.FirstAt) + ")");
}

} // namespace

TMessageCoding CodingOfType(TMessageType type) {
  switch (type) {
  case TMessageType::Alpha:
  case TMessageType::Binary:
    return TMessageCoding::Alphanumeric;
  case TMessageType::Digit0C:
  case TMessageType::Digit0F:
    return TMessageCoding::Numeric;
  default:
    return TMessageCoding::None;
  }
}

TPageLookup PageOfEntry(const TImageBytes& bytes, int entry) {
  const TConfigImage image = ImageOf(bytes);
  TPageLookup lookup;
  const int count = image.CapcodeCount();
  if (entry < 0 || entry >= count) {
    lookup.Error = EntryName(entry) + " is not in use: the capcode set has " +
                   std::to_string(count) + (count == 1 ? " entry" : " entries");
    return lookup;
  }
  const int rateItem = ItemIndex(image, kFieldBitRate);
  if (rateItem < 0) {
    lookup.Error = "the bit rate bits hold " + std::to_string(StoredValue(image, kFieldBitRate)) +
                   ", which names no bit rate: nothing can be sent";
    return lookup;
  }
  const TEntryReading reading = ReadEntry(image, entry);
  if (reading.Capcode > kMaxAddress) {
    lookup.Error = EntryName(entry) + ": capcode " + std::to_string(reading.Capcode) +
                   " has more than 21 bits: POCSAG cannot address it";
    return lookup;
  }
  if (reading.Function > kMaxFunction) {
    lookup.Error = EntryName(entry) + ": function bits " + std::to_string(reading.Function) +
                   " name no function (0 to 3)";
    return lookup;
  }
  if (ItemText(kFieldType, reading.Type) == nullptr) {
    lookup.Error = EntryName(entry) + ": message type " + std::to_string(reading.Type) +
                   " names no type: nothing can be sent";
    return lookup;
  }

  TEntryPage page;
  page.Entry = entry;
  page.Capcode = reading.Capcode;
  page.Function = reading.Function;
  page.Type = static_cast<TMessageType>(reading.Type);
  page.Coding = CodingOfType(page.Type);
  const std::vector<std::uint8_t> text = RecordText(image, entry);
  std::vector<std::uint32_t> data;
  if (page.Coding == TMessageCoding::Alphanumeric) {
    EncodeAlphanumeric(page, text);
    data = AlphanumericData(page.Characters);
  } else if (page.Coding == TMessageCoding::Numeric) {
    EncodeNumeric(page, text);
    data = NumericData(page.Characters, page.NumericFill);
  }

  TTransmission& t = page.Transmission;
  // Each bit rate's item text starts with its rate.
  t.BitRate = std::atoi(ItemText(kFieldBitRate, rateItem));
  t.Inverted = ItemIndex(image, kFieldPolarity) != 0;
  t.Transmissions = static_cast<int>(ShownNumber(image, kFieldRepeatTimes));
  t.RepeatWait = static_cast<int>(ShownNumber(image, kFieldRepeatWait));
  t.Batches = BuildBatches(page.Capcode, page.Function, data);
  lookup.Page = std::move(page);
  return lookup;
}

std::string PageSummary(const TEntryPage& page) {
  const TTransmission& t = page.Transmission;
  std::string text;
  if (page.Key)
    text.append("KEY_S").append(std::to_string(*page.Key)).append(": ");
  text += EntryName(page.Entry) + ", capcode " + std::to_string(page.Capcode) + ", function " +
          kFunctionItems[page.Function] + ", " + kMessageTypeItems[static_cast<int>(page.Type)] +
          ", " + std::to_string(t.BitRate) + " bps, " + kPolarityItems[t.Inverted ? 1 : 0] + ", " +
          std::to_string(t.Batches.size()) + (t.Batches.size() == 1 ? " batch" : " batches") +
          ", sent " + std::to_string(t.Transmissions) + (t.Transmissions == 1 ? " time" : " times");
  if (t.Transmissions > 1)
    text.append(" ").append(std::to_string(t.RepeatWait)).append(" s apart");
  return text;
}

TPageLookup PageOfKey(const TImageBytes& bytes, int key) {
  TPageLookup lookup;
  const std::string name = "KEY_S" + std::to_string(key);
  const std::optional<std::uint8_t> code = KeyCode(name);
  if (key < 1 || key > kKeyInputs || !code) {
    lookup.Error = "there is no push-button input " + std::to_string(key) + " (1 to " +
                   std::to_string(kKeyInputs) + ")";
    return lookup;
  }
  const TConfigImage image = ImageOf(bytes);
  std::vector<int> entries;
  for (int k = 0; k < image.CapcodeCount(); ++k)
    if (StoredValue(image, kFieldKey, k) == *code)
      entries.push_back(k);
  if (entries.empty()) {
    lookup.Error = name + " is not assigned to any entry of the key map: it sends nothing";
    return lookup;
  }
  lookup = PageOfEntry(bytes, entries.front());
  if (lookup.Page) {
    lookup.Page->Key = key;
    for (std::size_t i = 1; i < entries.size(); ++i)
      lookup.Page->Warnings.push_back(name + " is also assigned to " + EntryName(entries[i]) +
                                      "; " + EntryName(entries.front()) + " is sent");
  }
  return lookup;
}
