#include "editors/key_names.h"

#include <array>
#include <utility>

namespace {
constexpr std::array<std::pair<std::uint8_t, const char*>, 9> kKeyNames{{{0x01, "KEY_S1"},
                                                                         {0x02, "KEY_S2"},
                                                                         {0x04, "KEY_S3"},
                                                                         {0x08, "KEY_S4"},
                                                                         {0x10, "KEY_S5"},
                                                                         {0x20, "KEY_S6"},
                                                                         {0x40, "KEY_S7"},
                                                                         {0x80, "KEY_S8"},
                                                                         {0x99, "KEY_S9"}}};
}

std::string KeyName(std::uint8_t code) {
  for (const auto& [keyCode, name] : kKeyNames)
    if (keyCode == code)
      return name;
  return {};
}

std::optional<std::uint8_t> KeyCode(const std::string& name) {
  for (const auto& [keyCode, keyName] : kKeyNames)
    if (name == keyName)
      return keyCode;
  return std::nullopt;
}
