#pragma once
// Command line of the encoder simulator.

#include "tools/encoder_sim/encoder_model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct TSimOptions {
  std::string ImagePath; // empty: the built-in default image with its checksum stored
  std::string SavePath;
  std::string LinkPath;
  bool Pace = false;
  bool Verbose = false;
  TIdentity Identity;
  TFaults Faults;
  std::optional<std::uint64_t> HangupAfter;
  // The transmitter: pages go to AirPath as raw audio; Presses are pressed, in order, once the
  // next write of all eight blocks has completed.
  std::string AirPath;
  std::vector<int> Presses;
};

struct TParsedOptions {
  TSimOptions Options;
  bool ShowHelp = false;
  bool ShowVersion = false;
  std::string Error; // not empty: the command line was refused for this reason
};

TParsedOptions ParseSimOptions(const std::vector<std::string>& arguments);
std::string SimHelpText(const std::string& program);

} // namespace sim
