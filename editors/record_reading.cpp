#include "editors/record_reading.h"

#include "editors/chinese_text.h"

TEntryReading ReadEntry(const TConfigImage& image, int entry) {
  TEntryReading reading;
  const std::size_t capcode = TConfigImage::CapcodeRecordOffset(entry);
  reading.Capcode = image.ReadU32(capcode);
  reading.Type = image[capcode + kCapcodeTypeOffset];
  reading.Function = image[capcode + kCapcodeFunctionOffset];

  const std::size_t length = static_cast<std::size_t>(image.RecordLength());
  const std::uint8_t* record = image.Data() + image.MessageRecordOffset(entry);
  std::size_t used = 0;
  if (reading.Type == kBinaryTypeCode) {
    reading.Binary = true;
    while (used < length && record[used] != 0)
      ++used;
    reading.Stream.assign(record, record + used);
    reading.Text = DecodeChineseText(record, used);
    return reading;
  }
  std::size_t start = 0;
  if (record[0] < 0x20) {
    reading.Header = record[0];
    start = 1;
  }
  std::size_t end = start;
  while (end < length && record[end] != 0)
    ++end;
  while (end > start && record[end - 1] <= 0x20)
    --end;
  // The byte after a text that fills its record is the next record's first byte (or, after
  // the last record, the first byte past the message area): the image always has it.
  reading.Trailer = record[end];
  reading.Text.assign(record + start, record + end);
  return reading;
}
