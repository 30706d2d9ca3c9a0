#pragma once
// Names of parameterized cases, so that a case keeps its name from build to build and
// `ctest -R` or `--gtest_filter` can pick it.

#include <cctype>
#include <string>
#include <vector>

// The simulator options a case runs with, as one identifier: {"--drop-block", "2"} gives
// "DropBlock2", {"--bad-image-checksum"} gives "BadImageChecksum".
inline std::string OptionsCaseName(const std::vector<std::string>& options) {
  std::string name;
  for (const std::string& option : options) {
    bool wordStart = true;
    for (const char c : option) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (!std::isalnum(u)) {
        wordStart = true;
        continue;
      }
      name += wordStart ? static_cast<char>(std::toupper(u)) : c;
      wordStart = false;
    }
  }
  return name.empty() ? "NoOptions" : name;
}
