#include "editors/config_diff.h"

#include "synth/register_map.h"

#include <algorithm>
#include <array>
#include <map>

std::vector<TRegisterFieldChange> RegisterFieldChanges(int reg, std::uint32_t a, std::uint32_t b) {
  std::vector<TRegisterFieldChange> changes;
  std::uint32_t covered = 0;
  for (const TRegisterField& field : kRegisterFields) {
    if (field.Register != reg)
      continue;
    const std::uint32_t mask = ((1u << field.Width) - 1u) << field.LowBit;
    covered |= mask;
    if ((a & mask) != (b & mask))
      changes.push_back({field.Name, (a & mask) >> field.LowBit, (b & mask) >> field.LowBit});
  }
  // Bits of the word no field owns (R4's bits 20..18).
  const std::uint32_t rest = ~covered & kRegisterMask;
  if ((a & rest) != (b & rest)) {
    int low = 0;
    while (!((rest >> low) & 1u))
      ++low;
    int high = 23;
    while (!((rest >> high) & 1u))
      --high;
    changes.push_back({"bits " + std::to_string(high) + ".." + std::to_string(low),
                       (a & rest) >> low, (b & rest) >> low});
  }
  return changes;
}

TImageDifference DiffImages(const TImageBytes& a, const TImageBytes& b, const TTextCodec& codec) {
  const std::vector<TFieldReading> readA = ReadFields(a, codec);
  const std::vector<TFieldReading> readB = ReadFields(b, codec);
  // Paths by their place in the listing, with each image's reading.
  std::map<int, std::pair<const TFieldReading*, const TFieldReading*>> paths;
  for (const TFieldReading& reading : readA)
    paths[reading.Order].first = &reading;
  for (const TFieldReading& reading : readB)
    paths[reading.Order].second = &reading;

  TImageDifference difference;
  std::array<std::uint8_t, kImageSize> explained{};
  const auto account = [&explained](const TFieldReading* reading) {
    if (!reading)
      return;
    for (std::size_t k = 0; k < reading->Size; ++k)
      explained[reading->Offset + k] |= reading->Mask;
  };
  for (const auto& [order, pair] : paths) {
    const auto [inA, inB] = pair;
    if (inA && inB && SameValue(inA->Value, inB->Value))
      continue;
    if ((inA ? inA : inB)->Field == &kFieldChecksumComputed)
      continue;
    TFieldDifference field;
    field.Path = (inA ? inA : inB)->Path;
    if (inA)
      field.A = inA->Value;
    if (inB)
      field.B = inB->Value;
    if (inA && inB && inA->Field == &kFieldRegister)
      field.Register = RegisterFieldChanges(inA->Index, inA->Stored, inB->Stored);
    account(inA);
    account(inB);
    difference.Fields.push_back(std::move(field));
  }
  // Under another number of entries the message area is laid out anew: its bytes are then the
  // capcode set's difference as much as any message's.
  const auto count = [](const TImageBytes& image) {
    return CapcodeCountFromSelector(image[kOptionByte] >> kSelectorShift);
  };
  if (count(a) != count(b))
    for (std::size_t offset = kMessageArea; offset < kMessageAreaEnd; ++offset)
      explained[offset] = 0xFF;
  for (std::size_t offset = 0; offset < kImageSize; ++offset)
    if (((a[offset] ^ b[offset]) & ~explained[offset]) != 0)
      difference.Bytes.push_back({offset, a[offset], b[offset]});
  return difference;
}
