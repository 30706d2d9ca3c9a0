#pragma once
// The synthesizer's register map: where each field sits in its 24-bit register, and the two
// conversions between the fields and the image's register words.

#include "image/config_image.h"
#include "synth/synth_registers.h"

#include <array>
#include <cstdint>

struct TRegisterField {
  const char* Name; // the hardware's field name, also the INI key
  int Register;     // 0..7
  int LowBit;
  int Width;
  std::int32_t TSynthRegisters::*Member;
};

// All 42 fields, register by register, from the most significant bit down.
extern const std::array<TRegisterField, 42> kRegisterFields;

// Fields to packed values and image bytes 0x00..0x1F (byte 0 of each word is 0). Each field is
// masked to its width, so a value wider than its field never reaches a neighbouring field.
void PackRegisters(TSynthRegisters& synth, TConfigImage& image);
// Image bytes 0x00..0x1F to packed values and fields; byte 0 of each word and R4 bits 20..18
// are ignored. The prescaler modulus is not touched.
void UnpackRegisters(TSynthRegisters& synth, const TConfigImage& image);
// 8 when RF_P is 0, 16 otherwise.
std::int32_t PrescalerModulusOf(std::int32_t rfP);
