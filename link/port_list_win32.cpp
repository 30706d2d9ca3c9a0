// Port discovery through the Setup API: the present members of the ports device class, told
// to the portable rules of StoreComPorts.

#include "link/port_list.h"

#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

namespace {

// A registry property of the device as text; none when it cannot be read whole into a buffer
// of the size the ports class has always used.
std::optional<std::string> TextProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
  char text[261] = {};
  if (!SetupDiGetDeviceRegistryPropertyA(devices, &device, property, nullptr,
                                         reinterpret_cast<BYTE*>(text), sizeof text - 1, nullptr))
    return std::nullopt;
  return std::string(text);
}

} // namespace

void DiscoverPorts(TPortList& list) {
  HDEVINFO devices = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  const bool opened = devices != nullptr && devices != INVALID_HANDLE_VALUE;
  DWORD member = 0;
  StoreComPorts(list, [&](TPortDevice& port) {
    if (!opened)
      return false;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiEnumDeviceInfo(devices, member++, &device))
      return false;
    port.FriendlyName = TextProperty(devices, device, SPDRP_FRIENDLYNAME);
    port.HasService = TextProperty(devices, device, SPDRP_SERVICE).has_value();
    return true;
  });
  if (opened)
    SetupDiDestroyDeviceInfoList(devices);
}
