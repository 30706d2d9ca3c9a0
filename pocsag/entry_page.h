#pragma once
// The page an entry of a configuration sends: which entry a push-button input triggers, what
// its message codewords carry, and the transmission at the configured bit rate, polarity,
// repeat count and repeat wait. This is our model of the encoder; transmission-rules.md in
// this folder writes its rules down.

#include "editors/message_record.h"
#include "image/config_image.h"
#include "pocsag/transmission.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr int kKeyInputs = 8; // "KEY_S1".."KEY_S8"

// How the message codewords carry a type's text.
enum class TMessageCoding { None, Alphanumeric, Numeric };
TMessageCoding CodingOfType(TMessageType type);

struct TEntryPage {
  int Entry = 0;          // 0-based: "CapCode #(Entry + 1)"
  std::optional<int> Key; // 1..8 when found through the key map
  std::uint32_t Capcode = 0;
  unsigned Function = 0;
  TMessageType Type = TMessageType::Alpha;
  TMessageCoding Coding = TMessageCoding::None;
  // What the message codewords carry: 7-bit characters, or numeric codes 0x0..0xF.
  std::vector<std::uint8_t> Characters;
  std::uint8_t NumericFill = 0; // the code that fills the last numeric codeword
  TTransmission Transmission;
  // What POCSAG cannot carry as stored, and other things the technician should know; the
  // page is sent all the same.
  std::vector<std::string> Warnings;
};

struct TPageLookup {
  std::optional<TEntryPage> Page;
  std::string Error; // when there is no page: why
};

// The page of entry `entry` (0-based); only entries of the capcode set exist.
TPageLookup PageOfEntry(const TImageBytes& image, int entry);

// One line for people: "KEY_S3: entry #1, capcode 1234567, function 0 0, Alpha, 1200 bps,
// Normal, 2 batches, sent 3 times 5 s apart".
std::string PageSummary(const TEntryPage& page);

// The page that push-button input `key` (1..8, "KEY_S<key>") triggers: the entry the key map
// assigns it to. When several entries have it, the first is sent and a warning says so.
TPageLookup PageOfKey(const TImageBytes& image, int key);
