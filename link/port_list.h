#pragma once
// The serial ports the link tries, in the order it tries them.
//
// Discovery lists the ports really present: on Linux the USB adapters (ttyUSB*, ttyACM*) and
// the ttyS* ports whose UART exists, from /sys/class/tty, in natural order (ttyUSB2 before
// ttyUSB10); on Windows the COM ports of the ports device class, by port number. When discovery
// finds nothing, sixteen standard ports stand in: COM1..COM16 on Windows, ttyS0..ttyS15 (the
// same sixteen UARTs) on Linux.
//
// The environment variable KX470_PORTS, device paths separated by ':', replaces discovery and
// its stand-ins: set and empty, it means no ports at all.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

constexpr int kPortSlots = 256;
constexpr int kFallbackPorts = 16;

struct TPortList {
  // Port names: a device file name under /dev ("ttyUSB0"), an absolute path, or "COM3".
  // Slots from Count upward keep what an earlier refresh left in them, so a manual link on a
  // slot beyond the ports present may still reach a port seen before.
  std::array<std::string, kPortSlots> Slots;
  int Count = 0;
};

// Rebuilds the list from KX470_PORTS or from discovery.
void RefreshPortList(TPortList& list);

// Puts `names` into slots 0 onward and sets the count to `count` (at least the number of
// names); the slots from the last name up to count - 1 are emptied, the others are kept.
// A count of 0 brings in the sixteen standard ports.
void StorePortNames(TPortList& list, const std::vector<std::string>& names, int count);

// The ports discovered on this machine, with the count the list takes.
void DiscoverPorts(TPortList& list);
#ifndef _WIN32
// Discovery below a sysfs tty folder; tests give their own.
void DiscoverPorts(TPortList& list, const std::string& sysClassTty);
#endif

// One member of the Windows ports device class, as the Setup API describes it.
struct TPortDevice {
  std::optional<std::string> FriendlyName; // "USB Serial Port (COM3)"; none when unreadable
  bool HasService = false;                 // a driver service is named for it
};
// Gives the next device of the class; false after the last one.
using TNextPortDevice = std::function<bool(TPortDevice&)>;

// The Windows discovery's decisions, apart from the Setup API that feeds it. A device counts
// when its friendly name contains "(COM" and it names a service; its port "COMn" goes to the
// place of its number n, and the list takes the names by ascending number, without gaps. The
// count is that of the devices, so a name without a number between "COM" and ")", or two
// devices on one number, leave the list with fewer names than its count. Counting stops past
// the 256 slots. When no device counts: COM1..COM16 and a count of 16.
void StoreComPorts(TPortList& list, const TNextPortDevice& next);

// The port number n of a friendly name holding "(COMn)"; 0 when there is no ")" after it or
// no number from 1 to 256 before the ")".
int ComPortNumber(const std::string& friendlyName);
