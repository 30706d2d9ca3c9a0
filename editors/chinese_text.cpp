#include "editors/chinese_text.h"

namespace {

// The pager orders the characters as Big5 does, except for a few that Big5 level 1 files in
// other places. Each table moves codes after the linear index is computed; the first rule
// that covers a code decides, so the single-code exceptions come before their ranges.
struct TReorderRule {
  std::uint16_t First, Last;
  bool Fixed; // Value is the index itself
  int Value;  // otherwise the amount added to the linear index
};

constexpr TReorderRule kBig5ToIndex[] = {
    {0xACFE, 0xACFE, true, 1836}, {0xAD40, 0xAFCF, false, -1}, {0xBBC8, 0xBE51, false, +1},
    {0xBE52, 0xBE52, true, 3713}, {0xC1AB, 0xC2CA, false, +1}, {0xC2CB, 0xC2CB, true, 4626},
    {0xC3B9, 0xC3B9, false, +2},  {0xC3BA, 0xC3BA, false, 0},  {0xC361, 0xC455, false, +1},
    {0xC456, 0xC456, true, 4900},
};

constexpr TReorderRule kPagerToIndex[] = {
    {0x5753, 0x5753, true, 1412}, {0x5323, 0x5752, false, +1},  {0x6B50, 0x6B50, true, 4100},
    {0x6B51, 0x6F5B, false, -1},  {0x7535, 0x7535, true, 4815}, {0x7536, 0x7736, false, -1},
    {0x7865, 0x7865, false, -2},  {0x7864, 0x7864, false, 0},   {0x782E, 0x7961, false, -1},
    {0x782D, 0x782D, true, 5046},
};

template <std::size_t N>
int Reorder(const TReorderRule (&rules)[N], unsigned code, int linearIndex) {
  for (const TReorderRule& rule : rules)
    if (code >= rule.First && code <= rule.Last)
      return rule.Fixed ? rule.Value : linearIndex + rule.Value;
  return linearIndex;
}

constexpr unsigned kFirstBig5 = 0xA440, kLastBig5 = 0xC67E;
constexpr unsigned kFirstLead = 0xA4;
constexpr unsigned kTrailsPerLead = 157;
constexpr unsigned kFirstPager = 0x4421, kLastPager = 0x7D7E;
constexpr unsigned kFirstRow = 0x44, kFirstCell = 0x21, kCellsPerRow = 94;

bool IsLowTrail(unsigned t) {
  return t >= 0x40 && t <= 0x7E;
}
bool IsHighTrail(unsigned t) {
  return t >= 0xA1 && t <= 0xFE;
}

// Linear index: 157 trail values per lead byte, the low trail range first.
int LinearBig5Index(unsigned lead, unsigned trail) {
  const int row = static_cast<int>((lead - kFirstLead) * kTrailsPerLead);
  return IsLowTrail(trail) ? row + static_cast<int>(trail - 0x40)
                           : row + static_cast<int>(trail - 0x62);
}

} // namespace

bool IsCarriedBig5(std::uint8_t lead, std::uint8_t trail) {
  const unsigned code = unsigned{lead} * 256 + trail;
  return code >= kFirstBig5 && code <= kLastBig5 && (IsLowTrail(trail) || IsHighTrail(trail));
}

std::vector<std::uint8_t> EncodeChineseText(const std::uint8_t* bytes, std::size_t count) {
  std::vector<std::uint8_t> out;
  out.reserve(2 * count);
  bool doubleByte = true;
  std::size_t j = 0;
  while (j < count) {
    const std::uint8_t b = bytes[j];
    if (b >= 0x80) {
      if (!doubleByte) {
        out.push_back(kShiftOut);
        doubleByte = true;
      }
      const std::uint8_t t = j + 1 < count ? bytes[j + 1] : 0;
      if (IsCarriedBig5(b, t)) {
        const int index = Reorder(kBig5ToIndex, unsigned{b} * 256 + t, LinearBig5Index(b, t));
        out.push_back(static_cast<std::uint8_t>(index / kCellsPerRow + kFirstRow));
        out.push_back(static_cast<std::uint8_t>(index % kCellsPerRow + kFirstCell));
      }
      j += 2;
    } else {
      if (doubleByte) {
        out.push_back(kShiftIn);
        doubleByte = false;
      }
      out.push_back(b);
      ++j;
    }
  }
  return out;
}

std::vector<std::uint8_t> DecodeChineseText(const std::uint8_t* bytes, std::size_t count) {
  std::vector<std::uint8_t> out;
  out.reserve(count);
  bool doubleByte = true;
  std::size_t i = 0;
  while (i < count) {
    const std::uint8_t a = bytes[i];
    if (a == kShiftOut) {
      doubleByte = true;
      ++i;
    } else if (a == kShiftIn) {
      doubleByte = false;
      ++i;
    } else if (a == 0x00) {
      break;
    } else if (!doubleByte) {
      out.push_back(a);
      ++i;
    } else {
      // The byte after the last one counts as the end of the stream.
      const std::uint8_t c = i + 1 < count ? bytes[i + 1] : 0;
      const unsigned code = unsigned{a} * 256 + c;
      // The range is tested on the whole code, so a cell byte below 0x21 inside it still
      // decodes by the formula.
      if (code >= kFirstPager && code <= kLastPager) {
        const int linear = static_cast<int>((a - kFirstRow) * kCellsPerRow) +
                           (static_cast<int>(c) - static_cast<int>(kFirstCell));
        const int index = Reorder(kPagerToIndex, code, linear);
        const int r = index % static_cast<int>(kTrailsPerLead);
        out.push_back(static_cast<std::uint8_t>(index / static_cast<int>(kTrailsPerLead) +
                                                static_cast<int>(kFirstLead)));
        out.push_back(static_cast<std::uint8_t>(r <= 0x3E ? r + 0x40 : r + 0x62));
      }
      i += 2;
    }
  }
  return out;
}
