// Port discovery through the Setup API, for a Windows build: the COM ports of the ports device
// class that are present, by port number.

#ifdef _WIN32

#include "link/port_list.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <devguid.h>
#include <setupapi.h>

namespace {

// The port number in a friendly name such as "USB Serial Port (COM3)": the digits between
// "(COM" and the next ")". 0 when there is no ")" or no number of a port this list can take
// (1 to 256).
int PortNumberOf(const char* friendlyName) {
  const char* open = std::strstr(friendlyName, "(COM");
  if (!open)
    return 0;
  const char* com = std::strstr(open, "COM");
  const char* close = std::strchr(com, ')');
  if (!close)
    return 0;
  const char* digits = com + 3;
  if (digits == close)
    return 0;
  int number = 0;
  for (const char* p = digits; p < close; ++p) {
    if (*p < '0' || *p > '9' || number > kPortSlots)
      return 0;
    number = number * 10 + (*p - '0');
  }
  return number >= 1 && number <= kPortSlots ? number : 0;
}

} // namespace

void DiscoverPorts(TPortList& list) {
  std::vector<std::string> scratch(kPortSlots);
  int count = 0;
  HDEVINFO devices = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices != nullptr && devices != INVALID_HANDLE_VALUE) {
    for (DWORD member = 0;; ++member) {
      SP_DEVINFO_DATA device{};
      device.cbSize = sizeof device;
      if (!SetupDiEnumDeviceInfo(devices, member, &device))
        break;
      char friendlyName[261] = {};
      if (!SetupDiGetDeviceRegistryPropertyA(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                             reinterpret_cast<BYTE*>(friendlyName),
                                             sizeof friendlyName - 1, nullptr) ||
          !std::strstr(friendlyName, "(COM"))
        continue;
      // A port without a service has no driver to open it with.
      char service[261] = {};
      if (!SetupDiGetDeviceRegistryPropertyA(devices, &device, SPDRP_SERVICE, nullptr,
                                             reinterpret_cast<BYTE*>(service), sizeof service - 1,
                                             nullptr))
        continue;
      const int number = PortNumberOf(friendlyName);
      if (number > 0)
        scratch[static_cast<std::size_t>(number - 1)] = "COM" + std::to_string(number);
      // Every port device counts, named or not, as the port count has always said.
      if (count++ > kPortSlots)
        break;
    }
    SetupDiDestroyDeviceInfoList(devices);
  }
  std::vector<std::string> names;
  for (const std::string& name : scratch)
    if (!name.empty())
      names.push_back(name);
  StorePortNames(list, names, count);
}

#endif // _WIN32
