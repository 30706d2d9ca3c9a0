#include "link/port_list.h"

#include <algorithm>
#include <cstdlib>

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

int ComPortNumber(const std::string& friendlyName) {
  const std::size_t open = friendlyName.find("(COM");
  if (open == std::string::npos)
    return 0;
  const std::size_t com = friendlyName.find("COM", open);
  const std::size_t close = friendlyName.find(')', com);
  if (close == std::string::npos)
    return 0;
  // The digits after the "M" up to the ")": "COM3" of "USB Serial Port (COM3)".
  const std::size_t digits = com + 3;
  if (digits == close)
    return 0;
  int number = 0;
  for (std::size_t i = digits; i < close; ++i) {
    const char c = friendlyName[i];
    if (c < '0' || c > '9' || number > kPortSlots)
      return 0;
    number = number * 10 + (c - '0');
  }
  return number >= 1 && number <= kPortSlots ? number : 0;
}

void StoreComPorts(TPortList& list, const TNextPortDevice& next) {
  std::array<std::string, kPortSlots> byNumber;
  int count = 0;
  TPortDevice device;
  while (next(device)) {
    if (!device.FriendlyName || device.FriendlyName->find("(COM") == std::string::npos ||
        !device.HasService)
      continue;
    if (const int number = ComPortNumber(*device.FriendlyName); number > 0)
      byNumber[static_cast<std::size_t>(number - 1)] = "COM" + std::to_string(number);
    // Every port device counts, named or not; past the slots there is nothing more to learn.
    if (count++ > kPortSlots)
      break;
  }
  if (count == 0) {
    for (int i = 0; i < kFallbackPorts; ++i)
      list.Slots[static_cast<std::size_t>(i)] = "COM" + std::to_string(i + 1);
    list.Count = kFallbackPorts;
    return;
  }
  std::vector<std::string> names;
  for (const std::string& name : byNumber)
    if (!name.empty())
      names.push_back(name);
  StorePortNames(list, names, count);
}
