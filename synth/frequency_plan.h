#pragma once
// The transmit frequency: a 14.85 MHz reference divided by 4 gives a 3.7125 MHz comparison
// frequency; the fractional divider steps in 2.5 kHz channels (denominator 1485).

#include "synth/synth_registers.h"

#include <cstdint>
#include <string>

constexpr std::int64_t kReferenceFrequency = 14'850'000;
constexpr std::int64_t kComparisonFrequency = 3'712'500;
constexpr std::int64_t kChannelStep = 2'500;
constexpr std::int32_t kFractionalDenominator = 1'485;
constexpr std::int32_t kReferenceDivider = 4;
constexpr std::int64_t kBand1Low = 135'000'000, kBand1High = 175'000'000;
constexpr std::int64_t kBand2Low = 430'000'000, kBand2High = 470'000'000;

// The frequency the fields describe, as the frequency box shows it: computed in signed 32-bit
// arithmetic whose products wrap. A reference divider of 0 (only possible from an image) gives 0.
std::int32_t DisplayedFrequency(const TSynthRegisters& synth);
// The box's text: the frequency with at least nine digits.
std::string FrequencyText(std::int32_t frequency);

enum class TFrequencyCheck { Accepted, Empty, NotANumber, OutOfBand, OffChannel };

// Checks the text of the frequency box; on acceptance `hertz` holds the frequency.
TFrequencyCheck CheckFrequency(const std::string& text, std::uint32_t& hertz);

// Sets RF_N, RF_R, both RF_FN and both RF_FD for an accepted frequency; nothing else changes.
void PlanFrequency(TSynthRegisters& synth, std::uint32_t hertz);
