#include "editors/message_record.h"

#include "editors/chinese_text.h"

#include <algorithm>
#include <stdexcept>

const char* DefaultMessageText(TMessageType type) {
  switch (type) {
  case TMessageType::Alpha:
    return "Alpha Test !";
  case TMessageType::ToneOnly:
    return "";
  default:
    return "1234567890";
  }
}

std::size_t TrimmedLength(std::span<const std::uint8_t> text) {
  std::size_t length = text.size();
  while (length > 0 && text[length - 1] <= 0x20)
    --length;
  return length;
}

std::size_t TextCapacity(TMessageType type, std::uint8_t header, std::size_t recordLength) {
  const std::size_t reserved = (type == TMessageType::Alpha && header != 0) ? 2 : 1;
  return recordLength > reserved ? recordLength - reserved : 0;
}

namespace {

// Walks a Big5 text character by character: a byte of 0x80 or above takes the next byte along.
template <typename F> void ForEachBig5Character(std::span<const std::uint8_t> big5, F&& visit) {
  std::size_t j = 0;
  while (j < big5.size()) {
    const std::size_t size = (big5[j] >= 0x80 && j + 1 < big5.size()) ? 2 : 1;
    visit(j, size);
    j += size;
  }
}

// Bytes a character adds to the pager stream, its shift code included.
std::size_t EncodedSize(std::span<const std::uint8_t> big5, std::size_t at, std::size_t size,
                        bool& doubleByte) {
  const bool wide = big5[at] >= 0x80;
  std::size_t added = wide == doubleByte ? 0 : 1;
  doubleByte = wide;
  if (!wide)
    return added + 1;
  return added + (size == 2 && IsCarriedBig5(big5[at], big5[at + 1]) ? 2 : 0);
}

} // namespace

std::size_t EncodedLength(std::span<const std::uint8_t> big5) {
  std::size_t length = 0;
  bool doubleByte = true;
  ForEachBig5Character(big5, [&](std::size_t at, std::size_t size) {
    length += EncodedSize(big5, at, size, doubleByte);
  });
  return length;
}

TCarriedText KeepCarriedCharacters(std::span<const std::uint8_t> big5) {
  TCarriedText kept;
  kept.Bytes.reserve(big5.size());
  ForEachBig5Character(big5, [&](std::size_t at, std::size_t size) {
    if (big5[at] < 0x80)
      kept.Bytes.push_back(big5[at]);
    else if (size == 2 && IsCarriedBig5(big5[at], big5[at + 1]))
      kept.Bytes.insert(kept.Bytes.end(), {big5[at], big5[at + 1]});
    else
      ++kept.Dropped;
  });
  return kept;
}

TMessageRecord BuildMessageRecord(TMessageType type, std::span<const std::uint8_t> text,
                                  std::uint8_t header, std::uint8_t trailer,
                                  std::size_t recordLength) {
  TMessageRecord result;
  result.Record.assign(recordLength, 0);
  text = text.first(TrimmedLength(text));

  if (IsBinaryType(type)) {
    TCarriedText carried = KeepCarriedCharacters(text);
    result.Dropped = carried.Dropped;
    const std::span<const std::uint8_t> big5(carried.Bytes);
    // The longest run of whole characters whose stream fits the record.
    std::size_t fits = 0, length = 0;
    bool doubleByte = true;
    ForEachBig5Character(big5, [&](std::size_t at, std::size_t size) {
      length += EncodedSize(big5, at, size, doubleByte);
      if (length <= recordLength && fits == at)
        fits = at + size;
    });
    result.Cut = fits < big5.size();
    const std::span<const std::uint8_t> stored = big5.first(TrimmedLength(big5.first(fits)));
    result.Text.assign(stored.begin(), stored.end());
    const std::vector<std::uint8_t> stream = EncodeChineseText(stored.data(), stored.size());
    std::copy(stream.begin(), stream.end(), result.Record.begin());
    return result;
  }

  const std::size_t capacity = TextCapacity(type, header, recordLength);
  if (text.size() > capacity) {
    result.Cut = true;
    text = text.first(TrimmedLength(text.first(capacity)));
  }
  result.Text.assign(text.begin(), text.end());
  if (recordLength == 0)
    return result;
  std::size_t at = 0;
  if (type == TMessageType::Alpha && header != 0)
    result.Record[at++] = header;
  std::copy(text.begin(), text.end(), result.Record.begin() + static_cast<std::ptrdiff_t>(at));
  at += text.size();
  if (at < recordLength)
    result.Record[at] = trailer;
  return result;
}

void WriteMessageRecord(TConfigImage& image, int entry, const std::vector<std::uint8_t>& record) {
  if (record.size() != static_cast<std::size_t>(image.RecordLength()))
    throw std::invalid_argument("message record of the wrong length");
  const std::size_t offset = image.MessageRecordOffset(entry);
  std::copy(record.begin(), record.end(), image.Data() + offset);
}
