#include "link/port_list.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace {

std::string FallbackPortName(int index) {
#ifdef _WIN32
  return "COM" + std::to_string(index + 1);
#else
  return "ttyS" + std::to_string(index);
#endif
}

std::vector<std::string> SplitPaths(const std::string& text) {
  std::vector<std::string> paths;
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = text.find(':', start);
    const std::string path = text.substr(start, colon == std::string::npos ? colon : colon - start);
    if (!path.empty() && paths.size() < static_cast<std::size_t>(kPortSlots))
      paths.push_back(path);
    if (colon == std::string::npos)
      return paths;
    start = colon + 1;
  }
}

} // namespace

void StorePortNames(TPortList& list, const std::vector<std::string>& names, int count) {
  if (count == 0 && names.empty()) {
    for (int i = 0; i < kFallbackPorts; ++i)
      list.Slots[static_cast<std::size_t>(i)] = FallbackPortName(i);
    list.Count = kFallbackPorts;
    return;
  }
  const std::size_t stored = std::min(names.size(), list.Slots.size());
  std::copy_n(names.begin(), stored, list.Slots.begin());
  list.Count = std::max(count, static_cast<int>(stored));
  for (std::size_t i = stored;
       i < std::min(static_cast<std::size_t>(list.Count), list.Slots.size()); ++i)
    list.Slots[i].clear();
}

void RefreshPortList(TPortList& list) {
  if (const char* configured = std::getenv("KX470_PORTS")) {
    const std::vector<std::string> paths = SplitPaths(configured);
    if (paths.empty()) {
      list.Count = 0;
      return;
    }
    StorePortNames(list, paths, static_cast<int>(paths.size()));
    return;
  }
  DiscoverPorts(list);
}

#ifndef _WIN32

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

#endif
