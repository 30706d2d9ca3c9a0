#pragma once
// Reading a capcode entry back from the image, the way the window shows it: the address, the
// type and function bytes, and the message record split into header code, text and trailer
// code (text records) or decoded to Big5 ("Binary" records).

#include "image/config_image.h"

#include <cstdint>
#include <vector>

constexpr std::uint8_t kBinaryTypeCode = 4;

struct TEntryReading {
  std::uint32_t Capcode = 0;
  std::uint8_t Type = 0;            // the stored byte; 0..4 name the type list's items
  std::uint8_t Function = 0;        // the stored byte; 0..3 name the function list's items
  bool Binary = false;              // type 4: the text is Big5, there are no codes
  std::uint8_t Header = 0;          // a first byte below 0x20, else 0
  std::uint8_t Trailer = 0;         // the byte after the trimmed text
  std::vector<std::uint8_t> Text;   // 8-bit text, or Big5 for "Binary"
  std::vector<std::uint8_t> Stream; // "Binary": the record's pager stream up to its first 0
};

// Entry `entry` (0 .. capcode count - 1) under the image's current record length.
TEntryReading ReadEntry(const TConfigImage& image, int entry);
