// Port descriptions from the system's device database, on the devices this machine has.

#include "link/port_info.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void ExpectNothingKnown(const TPortInfo& info) {
  EXPECT_FALSE(info.Known);
  EXPECT_FALSE(info.Usb);
  EXPECT_EQ(info.Subsystem, "");
  EXPECT_EQ(info.Driver, "");
  EXPECT_EQ(info.VendorId + info.ProductId + info.Manufacturer + info.Product + info.Serial, "");
}

TEST(TPortInfo, WhatIsNoDeviceIsNotKnownButKeepsItsPath) {
  char pattern[] = "/tmp/kx470-portinfo-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  const TPortInfo missing = DescribePort((dir / "ttyUSB0").string());
  EXPECT_EQ(missing.Path, (dir / "ttyUSB0").string());
  ExpectNothingKnown(missing);
  std::ofstream(dir / "file") << "not a device";
  ExpectNothingKnown(DescribePort((dir / "file").string()));
  ExpectNothingKnown(DescribePort(dir.string()));
  fs::remove_all(dir);
  ExpectNothingKnown(DescribePort(""));
  // A name without a folder stands for a device under /dev.
  EXPECT_EQ(DescribePort("ttyKX470-none").Path, "/dev/ttyKX470-none");
  ExpectNothingKnown(DescribePort("ttyKX470-none"));
}

TEST(TPortInfo, APseudoTerminalHasNoUsbDevice) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  const TPortInfo info = DescribePort(name);
  EXPECT_EQ(info.Path, name);
  EXPECT_FALSE(info.Usb);
  EXPECT_EQ(info.VendorId + info.ProductId + info.Serial, "");
  ::close(slave);
  ::close(master);
}

// Devices every Linux system has: the null device and, where present, the first UART.
TEST(TPortInfo, DevicesWithAnEntryAreKnownByTheirSubsystem) {
  const TPortInfo null = DescribePort("/dev/null");
  EXPECT_TRUE(null.Known);
  EXPECT_EQ(null.Subsystem, "mem");
  EXPECT_FALSE(null.Usb);
  // By its name under /dev as well.
  EXPECT_EQ(DescribePort("null").Subsystem, "mem");

  struct stat status {};
  if (::stat("/dev/ttyS0", &status) != 0 || !S_ISCHR(status.st_mode))
    GTEST_SKIP() << "this machine has no /dev/ttyS0";
  const TPortInfo uart = DescribePort("ttyS0");
  EXPECT_TRUE(uart.Known);
  EXPECT_EQ(uart.Path, "/dev/ttyS0");
  EXPECT_EQ(uart.Subsystem, "tty");
  EXPECT_FALSE(uart.Usb);
  EXPECT_EQ(uart.VendorId, "");
  EXPECT_NE(uart.Driver, "port") << "the serial core's own devices are passed over";
}

} // namespace
