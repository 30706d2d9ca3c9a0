#include "link/port_list.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFallbackPorts = 16;

// "ttyUSB10" after "ttyUSB9": compare the prefix, then the number.
bool NaturalLess(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& s) {
    std::size_t digits = s.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1])))
      --digits;
    const std::string number = s.substr(digits);
    return std::make_pair(s.substr(0, digits), number.empty() ? -1L : std::stol(number));
  };
  return split(a) < split(b);
}

bool UartExists(const fs::path& entry) {
  // A ttyS device whose UART was not found reports the port type 0 (unknown).
  std::ifstream type(entry / "type");
  int value = 0;
  if (!(type >> value))
    return fs::exists(entry / "device" / "driver");
  return value != 0;
}

void Assign(TPortList& list, const std::vector<std::string>& names) {
  list.Count = 0;
  for (auto& slot : list.Slots)
    slot.clear();
  for (const std::string& name : names) {
    if (list.Count == kPortSlots)
      break;
    list.Slots[static_cast<std::size_t>(list.Count++)] = name;
  }
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
  if (names.empty())
    for (int i = 0; i < kFallbackPorts; ++i)
      names.push_back("ttyS" + std::to_string(i));
  Assign(list, names);
}

void RefreshPortList(TPortList& list) {
  if (const char* configured = std::getenv("KX470_PORTS")) {
    std::vector<std::string> names;
    std::string rest = configured;
    std::size_t start = 0;
    while (start <= rest.size()) {
      const std::size_t colon = rest.find(':', start);
      const std::string path =
          rest.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
      if (!path.empty())
        names.push_back(path);
      if (colon == std::string::npos)
        break;
      start = colon + 1;
    }
    Assign(list, names);
    return;
  }
  DiscoverPorts(list, "/sys/class/tty");
}
