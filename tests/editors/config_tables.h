#pragma once
// Shared by the tests of the field model: a stand-in for the front end's Big5 codec, and
// generated tables and configurations.

#include "editors/chinese_text.h"
#include "editors/config_values.h"
#include "editors/message_record.h"

#include <random>
#include <string>
#include <vector>

inline void PutUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Big5 without a character table: the double-byte codes 0xA400..0xC6FF stand for the
// characters U+4E00..U+70FF in order, ASCII for itself; any other double-byte code, and a lead
// byte without its trail byte, decode to U+FFFD, which has no code.
inline const TTextCodec& TestCodec() {
  static const TTextCodec codec{
      [](std::string_view utf8, std::string& big5) {
        big5.clear();
        for (std::size_t i = 0; i < utf8.size();) {
          const auto b = static_cast<unsigned char>(utf8[i]);
          if (b < 0x80) {
            big5 += static_cast<char>(b);
            ++i;
            continue;
          }
          if ((b >> 4) != 0xE || i + 3 > utf8.size())
            return false;
          const char32_t c = ((b & 0x0Fu) << 12) |
                             ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                             (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
          if (c < 0x4E00 || c > 0x70FF)
            return false;
          const unsigned code = static_cast<unsigned>(c - 0x4E00) + 0xA400;
          big5 += static_cast<char>(code >> 8);
          big5 += static_cast<char>(code & 0xFF);
          i += 3;
        }
        return true;
      },
      [](std::string_view big5) {
        std::string utf8;
        for (std::size_t i = 0; i < big5.size(); ++i) {
          const auto b = static_cast<unsigned char>(big5[i]);
          if (b < 0x80) {
            PutUtf8(utf8, b);
            continue;
          }
          if (i + 1 >= big5.size()) {
            PutUtf8(utf8, 0xFFFD);
            continue;
          }
          const unsigned code = b * 256u + static_cast<unsigned char>(big5[++i]);
          PutUtf8(utf8, code >= 0xA400 && code <= 0xC6FF ? 0x4E00 + (code - 0xA400) : 0xFFFD);
        }
        return utf8;
      }};
  return codec;
}

// The test codec's character for a Big5 code of 0xA400..0xC6FF.
inline std::string Chinese(unsigned code) {
  std::string utf8;
  PutUtf8(utf8, 0x4E00 + (code - 0xA400));
  return utf8;
}

// A carried Big5 code: 0xA440..0xC67E with a trail byte of 0x40..0x7E or 0xA1..0xFE.
inline unsigned CarriedCode(std::mt19937& rng) {
  for (;;) {
    const unsigned lead = 0xA4 + rng() % (0xC6 - 0xA4 + 1);
    const unsigned trail = rng() % 2 ? 0x40 + rng() % 0x3F : 0xA1 + rng() % 0x5E;
    if (IsCarriedBig5(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)))
      return lead * 256 + trail;
  }
}

// A table of the kind an encoder or another tool may hold: any option byte (the selector
// value 3 and the reserved bits included), any PC command, key and type bytes, message records
// with header and trailer codes, Chinese "Binary" streams and bytes after their end, and random
// bytes where no field lies. Its checksum is valid.
inline TImageBytes RandomTable(std::mt19937& rng) {
  TImageBytes bytes;
  for (auto& b : bytes)
    b = static_cast<std::uint8_t>(rng());
  const auto pick = [&rng](unsigned n) { return static_cast<std::uint8_t>(rng() % n); };
  if (rng() % 2) // usually a named type, sometimes any byte
    for (int i = 0; i < kMaxCapcodes; ++i)
      bytes[kCapcodeRecords + 6 * static_cast<std::size_t>(i) + kCapcodeTypeOffset] = pick(5);
  for (int k = 0; k < kMaxCapcodes; ++k)
    if (rng() % 4)
      bytes[kKeyMap + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(1u << pick(8));
  TConfigImage image;
  image.Assign(bytes);
  image.SetCapcodeCount(CapcodeCountFromSelector(bytes[kOptionByte] & 3u));
  const auto length = static_cast<std::size_t>(image.RecordLength());
  for (int i = 0; i < image.CapcodeCount(); ++i) {
    if (rng() % 5 == 0)
      continue; // random bytes
    std::uint8_t* record = image.Data() + image.MessageRecordOffset(i);
    const std::uint8_t type = image[TConfigImage::CapcodeRecordOffset(i) + kCapcodeTypeOffset];
    std::vector<std::uint8_t> content;
    if (type == 4) {
      std::vector<std::uint8_t> big5;
      for (std::size_t n = rng() % 20; n > 0; --n) {
        if (rng() % 3 == 0) {
          big5.push_back(static_cast<std::uint8_t>(0x21 + rng() % 0x5E));
        } else {
          const unsigned code = CarriedCode(rng);
          big5.push_back(static_cast<std::uint8_t>(code >> 8));
          big5.push_back(static_cast<std::uint8_t>(code));
        }
      }
      content = EncodeChineseText(big5.data(), big5.size());
    } else {
      if (rng() % 2)
        content.push_back(pick(0x21));
      for (std::size_t n = rng() % 30; n > 0; --n)
        content.push_back(static_cast<std::uint8_t>(0x20 + rng() % 0xE0));
      content.push_back(pick(0x21));
    }
    content.resize(std::min(content.size(), length));
    std::fill(record, record + length, 0);
    std::copy(content.begin(), content.end(), record);
    if (rng() % 4 == 0 && content.size() + 2 < length) // bytes after the end of the message
      record[content.size() + 1] = static_cast<std::uint8_t>(rng());
  }
  image.StoreChecksum();
  return image.Bytes();
}

// A configuration every value of which a table can hold, as assignments; Chinese characters
// are the test codec's.
inline std::vector<TAssignment> RandomConfiguration(std::mt19937& rng) {
  std::vector<TAssignment> values;
  const auto item = [&rng](const TConfigField& field) {
    return TFieldValue::Of(std::string(field.Items[rng() % field.Items.size()]));
  };
  const auto number = [&rng](std::int64_t low, std::int64_t high) {
    return TFieldValue::Number(low + static_cast<std::int64_t>(rng() % (high - low + 1)));
  };
  const auto set = static_cast<unsigned>(rng() % 3);
  const int count = set == 0 ? 1 : set == 1 ? 4 : 8;
  const std::size_t length = 640 / static_cast<std::size_t>(count);
  values.push_back({"capcode_set", TFieldValue::Of(std::string(kCapcodeSetItems[set]))});
  values.push_back({"bit_rate", item(kFieldBitRate)});
  values.push_back({"polarity", item(kFieldPolarity)});
  values.push_back({"key_beep", TFieldValue::Of(rng() % 2 == 0)});
  values.push_back({"repeat_times", number(1, 256)});
  values.push_back({"repeat_wait", number(0, 250)});
  values.push_back({"pc_command", item(kFieldPcCommand)});
  values.push_back({"trigger_rising", TFieldValue::Of(rng() % 2 == 0)});
  std::vector<int> keys{0, 1, 2, 3, 4, 5, 6, 7};
  std::shuffle(keys.begin(), keys.end(), rng);
  for (int k = 0; k < kMaxCapcodes; ++k)
    values.push_back({FieldPath(kFieldKey, k),
                      TFieldValue::Of(std::string(kKeyItems[static_cast<std::size_t>(keys[k])]))});
  for (int i = 0; i < count; ++i) {
    const auto type = static_cast<unsigned>(rng() % 5);
    values.push_back({FieldPath(kFieldCapcode, i), number(8, 2097151)});
    values.push_back({FieldPath(kFieldType, i), TFieldValue::Of(kMessageTypeItems[type])});
    values.push_back({FieldPath(kFieldFunction, i), item(kFieldFunction)});
    std::string text;
    const std::size_t n = rng() % std::min<std::size_t>(length / 3, 40);
    for (std::size_t c = 0; c < n; ++c) {
      switch (type) {
      case 0: // printable Latin-1, as UTF-8
        text += Latin1ToUtf8(std::string(
            1, static_cast<char>(rng() % 3 ? 0x21 + rng() % 0x5E : 0xA0 + rng() % 0x60)));
        break;
      case 1:
        text += "0123456789U-]["[rng() % 14];
        break;
      case 2:
        text += "0123456789ABCDEF"[rng() % 16];
        break;
      case 4:
        text += rng() % 3 ? Chinese(CarriedCode(rng)) : std::string(1, 'a' + rng() % 26);
        break;
      }
    }
    values.push_back({FieldPath(kFieldText, i), TFieldValue::Of(text)});
    if (type == 4) {
      values.push_back({FieldPath(kFieldHeaderCode, i), TFieldValue::Null()});
      values.push_back({FieldPath(kFieldTrailerCode, i), TFieldValue::Null()});
      continue;
    }
    // A code below 0x20 at the start of a record is read as a header code: an empty text
    // without a header code takes 0 or 0x20 as its trailer.
    const std::int64_t header = type == 0 && rng() % 2 ? 1 + rng() % 0x1F : 0;
    const bool open = text.empty() && header == 0;
    values.push_back({FieldPath(kFieldHeaderCode, i), TFieldValue::Number(header)});
    values.push_back({FieldPath(kFieldTrailerCode, i),
                      open ? TFieldValue::Number(rng() % 2 ? 0 : 0x20) : number(0, 0x20)});
  }
  for (const int r : {2, 3, 4, 6, 7})
    values.push_back({FieldPath(kFieldRegister, r), number(0, 0xFFFFFF)});
  const std::int64_t band = rng() % 2 ? 135'000'000 : 430'000'000;
  values.push_back({"frequency_hz", TFieldValue::Number(band + 2500 * (rng() % 16001))});
  return values;
}
