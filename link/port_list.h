#pragma once
// The serial ports the link tries: the ports really present, or the device paths that the
// environment variable KX470_PORTS lists (separated by ':'), which replace discovery.

#include <array>
#include <string>

constexpr int kPortSlots = 256;

struct TPortList {
  std::array<std::string, kPortSlots> Slots; // port names: "ttyUSB0", or absolute paths
  int Count = 0;
};

// Rebuilds the list. Discovery takes USB adapters (ttyUSB, ttyACM) and the ttyS ports whose
// UART really exists, in natural order. When discovery finds nothing, the first sixteen
// standard ports ttyS0..ttyS15 stand in, as COM1..COM16 do on the other system.
void RefreshPortList(TPortList& list);

// Discovery below a sysfs tty folder; a separate entry point so tests can give their own.
void DiscoverPorts(TPortList& list, const std::string& sysClassTty);
