#pragma once
// Transcoding between Big5 text and the pager's double-byte stream of "Binary" messages.
//
// The stream carries the 5401 characters of Big5 level 1 (0xA440..0xC67E) as row/cell pairs
// (row 0x44.., cell 0x21..0x7E), ASCII as single bytes, and SO (0x0E) / SI (0x0F) to switch
// between the two. It starts in double-byte mode and ends at the first 0x00.

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::uint8_t kShiftOut = 0x0E; // to double-byte mode
constexpr std::uint8_t kShiftIn = 0x0F;  // to single-byte mode
constexpr int kCarriedCharacters = 5401;

// Big5 text (no terminator) to the pager stream. Double-byte characters outside the carried
// set are dropped together with their trail byte; a shift code written in front of one stays.
std::vector<std::uint8_t> EncodeChineseText(const std::uint8_t* bytes, std::size_t count);

// Pager stream to Big5 text; stops at the first 0x00 or after count bytes.
std::vector<std::uint8_t> DecodeChineseText(const std::uint8_t* bytes, std::size_t count);

// True when the Big5 pair lead/trail is one of the carried characters.
bool IsCarriedBig5(std::uint8_t lead, std::uint8_t trail);
