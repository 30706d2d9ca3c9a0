#pragma once
// The synthesizer's register map: where each field sits in its 24-bit register, and the two
// conversions between the fields and the image's register words.

#include "image/config_image.h"
#include "synth/synth_registers.h"

#include <array>
#include <cstdint>
#include <string>

// One field of a register, with what the INI file keeps of it. Section "Reg <Register>" holds
// it under its name; fields that are not loaded are written to the file but never read.
struct TRegisterField {
  const char* Name; // the hardware's field name, also the INI key
  int Register;     // 0..7
  int LowBit;
  int Width;
  std::int32_t TSynthRegisters::*Member;
  int SaveOrder;          // its place among the 42 keys the INI file is written in, from 1
  int LoadOrder;          // its place among the 30 keys read from the INI file, from 1; 0: not read
  const char* Default;    // the value loading takes for a missing key (loaded fields only)
  std::int64_t Low, High; // the range loading accepts
  const char* RangeMessage;
  // RF_N and IF_N: when this field (RF_P, IF_P) is 1, loading accepts the second range.
  std::int32_t TSynthRegisters::*RangeSelector;
  std::int64_t AltLow, AltHigh;
  const char* AltMessage;
};

// All 42 fields, register by register, from the most significant bit down.
extern const std::array<TRegisterField, 42> kRegisterFields;

// The INI file's orders, derived from the table: the 30 loaded fields in the order they are
// read, and all 42 in the order they are written.
const std::array<const TRegisterField*, 30>& IniLoadOrder();
const std::array<const TRegisterField*, 42>& IniSaveOrder();
// "Reg 0" .. "Reg 7".
std::string IniSection(const TRegisterField& field);

// Fields to packed values and image bytes 0x00..0x1F (byte 0 of each word is 0). Each field is
// masked to its width, so a value wider than its field never reaches a neighbouring field.
void PackRegisters(TSynthRegisters& synth, TConfigImage& image);
// Image bytes 0x00..0x1F to packed values and fields; byte 0 of each word and R4 bits 20..18
// are ignored. The prescaler modulus is not touched.
void UnpackRegisters(TSynthRegisters& synth, const TConfigImage& image);
// 8 when RF_P is 0, 16 otherwise.
std::int32_t PrescalerModulusOf(std::int32_t rfP);
