#pragma once
// What the system knows about a serial port beyond its name: for a USB adapter its vendor and
// product ids, names and serial number; for any port with a device entry its driver. Ports
// the system has no entry for (pseudo terminals, missing files) give the device path only.

#include <string>

struct TPortInfo {
  std::string Path;      // the device file the port name stands for
  bool Known = false;    // the system has a device entry for it
  std::string Subsystem; // "tty" for a serial port
  std::string Driver;    // of the hardware behind the port: "ftdi_sio", "cdc_acm", "serial8250"
  bool Usb = false;      // the port sits on a USB device; the fields below are that device's
  std::string VendorId;  // four hex digits, "0403"
  std::string ProductId; // four hex digits, "6001"
  std::string Manufacturer;
  std::string Product;
  std::string Serial;
};

// Looks the port up in the system's device database (udev on Linux); never fails: what is
// not known stays empty.
TPortInfo DescribePort(const std::string& name);
