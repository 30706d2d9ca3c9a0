#pragma once
// The synthesizer INI file "KX470S2485E.ini": the fields kept between runs of the tool.

#include "synth/synth_registers.h"

#include <filesystem>
#include <functional>
#include <string>

constexpr const char* kSynthIniName = "KX470S2485E.ini";

enum class TIniLoad {
  Complete,   // every key was read (missing keys took their defaults)
  EmptyValue, // a key with an empty value stopped the load
  OutOfRange, // a value outside its accepted range stopped the load
  NotANumber, // a value that is not a decimal integer stopped the load
};

// Reads the 30 loaded keys in their order into the fields. The first bad value is reported
// through `tell` and ends the load: the fields read before it keep their new values, the rest
// their old ones. The prescaler modulus follows RF_P as soon as RF_P is read.
TIniLoad LoadSynthIni(TSynthRegisters& synth, const std::filesystem::path& path,
                      const std::function<void(const std::string&)>& tell);

// Writes all 42 fields in the save order. False when the file could not be written; the file
// on disk is then as it was.
bool SaveSynthIni(const TSynthRegisters& synth, const std::filesystem::path& path);
