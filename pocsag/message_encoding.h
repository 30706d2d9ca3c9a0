#pragma once
// The data bits of message codewords: alphanumeric (7-bit characters) and numeric (4-bit
// codes). Each character goes out least significant bit first; the bits fill the 20 data bits
// of one codeword after the other without regard to character boundaries.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

constexpr int kAlphanumericBits = 7;
constexpr int kNumericBits = 4;

// The last codeword is filled with 0 bits: NUL characters, which a pager ignores and which a
// record's text, ending at its first 0, never holds.
std::vector<std::uint32_t> AlphanumericData(std::span<const std::uint8_t> characters);

// Numeric codes 0x0..0xF; the last codeword is filled with `fill`.
std::vector<std::uint32_t> NumericData(std::span<const std::uint8_t> codes, std::uint8_t fill);

// The numeric code of a character: "0".."9" as themselves, "U" 0xB, blank 0xC, "-" 0xD,
// "]" 0xE, "[" 0xF; with `hexLetters` also "A".."F" as 0xA..0xF. Nothing for any other.
std::optional<std::uint8_t> NumericCode(std::uint8_t character, bool hexLetters);
