// Port discovery on Linux: the serial ports /sys/class/tty shows, those that really exist.

#include "link/port_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// "ttyUSB10" after "ttyUSB9": compare the prefix, then the number.
bool NaturalLess(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& s) {
    std::size_t digits = s.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1])))
      --digits;
    const std::string number = s.substr(digits);
    // At most 9 digits keep the number inside a long; longer names sort by their text.
    const long value = number.empty() || number.size() > 9 ? -1L : std::stol(number);
    return std::make_tuple(s.substr(0, digits), value, number);
  };
  return split(a) < split(b);
}

bool UartExists(const fs::path& entry) {
  // The 8250 driver registers ttyS ports whether or not a UART answers; those without one
  // report the port type 0 (unknown).
  std::ifstream type(entry / "type");
  int value = 0;
  if (!(type >> value))
    return fs::exists(entry / "device" / "driver");
  return value != 0;
}

} // namespace

void DiscoverPorts(TPortList& list, const std::string& sysClassTty) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(sysClassTty, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0)
      names.push_back(name);
    else if (name.rfind("ttyS", 0) == 0 && UartExists(entry.path()))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  if (names.size() > static_cast<std::size_t>(kPortSlots))
    names.resize(kPortSlots);
  StorePortNames(list, names, static_cast<int>(names.size()));
}

void DiscoverPorts(TPortList& list) {
  DiscoverPorts(list, "/sys/class/tty");
}
