#pragma once
// Configurations for the page tests, built through the editors' own field model.

#include "editors/config_fields.h"
#include "editors/message_record.h"
#include "image/config_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pocsag_test {

struct TEntrySpec {
  std::uint32_t Capcode = 1234560;
  TMessageType Type = TMessageType::Alpha;
  int Function = 0;
  std::vector<std::uint8_t> Text{}; // 8-bit text, or Big5 for "Binary"
  std::uint8_t Header = 0, Trailer = 0;
};

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

class TPageImage {
public:
  // `set`: 0 "1 Set", 1 "4 Set", 2 "8 Set".
  explicit TPageImage(int set = 2) {
    FImage.WriteBitField(kOptionByte, kSelectorShift, static_cast<unsigned>(set), kSelectorWidth);
    FImage.SetCapcodeCount(CapcodeCountFromSelector(static_cast<unsigned>(set)));
  }
  TPageImage& Rate(int item) {
    WriteItem(FImage, kFieldBitRate, item);
    return *this;
  }
  TPageImage& Polarity(int item) {
    WriteItem(FImage, kFieldPolarity, item);
    return *this;
  }
  TPageImage& Repeat(int times, int wait) {
    WriteShownNumber(FImage, kFieldRepeatTimes, times);
    WriteShownNumber(FImage, kFieldRepeatWait, wait);
    return *this;
  }
  TPageImage& Key(int row, int input) {
    FImage[kKeyMap + static_cast<std::size_t>(row)] = static_cast<std::uint8_t>(1u << (input - 1));
    return *this;
  }
  TPageImage& Entry(int entry, const TEntrySpec& spec) {
    FImage.WriteU32(TConfigImage::CapcodeRecordOffset(entry), spec.Capcode);
    WriteItem(FImage, kFieldType, static_cast<int>(spec.Type), entry);
    WriteItem(FImage, kFieldFunction, spec.Function, entry);
    const TMessageRecord record =
        BuildMessageRecord(spec.Type, spec.Text, spec.Header, spec.Trailer,
                           static_cast<std::size_t>(FImage.RecordLength()));
    WriteMessageRecord(FImage, entry, record.Record);
    return *this;
  }
  TConfigImage& Image() { return FImage; }
  TImageBytes Bytes() {
    FImage.StoreChecksum();
    return FImage.Bytes();
  }

private:
  TConfigImage FImage;
};

} // namespace pocsag_test
