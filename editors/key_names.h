#pragma once
// The key name table: switch codes of the key map and their names, both ways.

#include <cstdint>
#include <optional>
#include <string>

// "KEY_S1".."KEY_S8" for 0x01, 0x02, ... 0x80, "KEY_S9" for 0x99; "" for any other code.
std::string KeyName(std::uint8_t code);
// The code of a key name; nothing for a name not in the table.
std::optional<std::uint8_t> KeyCode(const std::string& name);
