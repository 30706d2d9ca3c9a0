#include "synth/frequency_plan.h"

#include "synth/register_map.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Signed 32-bit arithmetic with wrapping, as the display has always computed it.
std::int32_t Wrap(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

} // namespace

std::int32_t DisplayedFrequency(const TSynthRegisters& synth) {
  const std::int32_t p = PrescalerModulusOf(synth.RF_P);
  const std::int32_t b = (synth.RF_N / 16) % 128;
  const std::int32_t a = synth.RF_N % 16;
  const std::int32_t n = b * p + a;
  const std::int64_t fraction =
      std::int64_t{synth.R5_RF_FN % 1024} * 4096 + std::int64_t{synth.R0_RF_FN % 4096};
  if (synth.RF_R == 0)
    return 0;
  const std::int32_t step = Wrap(kReferenceFrequency / synth.RF_R);
  return Wrap(std::int64_t{Wrap(std::int64_t{step} * n)} + Wrap(kChannelStep * fraction));
}

std::string FrequencyText(std::int32_t frequency) {
  char text[16];
  std::snprintf(text, sizeof text, "%09d", frequency);
  return text;
}

TFrequencyCheck CheckFrequency(const std::string& text, std::uint32_t& hertz) {
  if (text.empty())
    return TFrequencyCheck::Empty;
  // A decimal number, as typed or pasted; a fractional part is dropped.
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(begin, &end);
  const bool converted = end != begin;
  while (*end == ' ' || *end == '\t')
    ++end;
  if (!converted || *end != '\0' || errno == ERANGE || !std::isfinite(value) ||
      text.find_first_of("xXpPnN") != std::string::npos)
    return TFrequencyCheck::NotANumber;
  const double truncated = std::trunc(value);
  const bool inBand = (truncated >= kBand1Low && truncated <= kBand1High) ||
                      (truncated >= kBand2Low && truncated <= kBand2High);
  if (!inBand)
    return TFrequencyCheck::OutOfBand;
  hertz = static_cast<std::uint32_t>(truncated);
  if (hertz % kChannelStep != 0)
    return TFrequencyCheck::OffChannel;
  return TFrequencyCheck::Accepted;
}

void PlanFrequency(TSynthRegisters& synth, std::uint32_t hertz) {
  const std::int32_t p = PrescalerModulusOf(synth.RF_P);
  const auto c = static_cast<std::int32_t>(hertz / kComparisonFrequency);
  synth.RF_N = (c / p) * 16 + (c % p);
  synth.RF_R = static_cast<std::int32_t>(kReferenceFrequency / kComparisonFrequency);
  const auto fraction = static_cast<std::int32_t>((hertz % kComparisonFrequency) / kChannelStep);
  synth.R0_RF_FN = fraction % 4096;
  synth.R5_RF_FN = (fraction / 4096) % 1024;
  synth.R1_RF_FD = kFractionalDenominator % 4096;
  synth.R5_RF_FD = (kFractionalDenominator / 4096) % 1024;
}
