#include "link/comm_port.h"
#include "link/port_list.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

class TPty : public ::testing::Test {
protected:
  void SetUp() override {
    char name[128];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    path = name;
    ::close(slave);
  }
  void TearDown() override {
    if (master >= 0)
      ::close(master);
  }
  int master = -1, slave = -1;
  std::string path;
};

std::uint8_t CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ECommError& error) {
    return error.Code;
  }
  return 0;
}

TEST_F(TPty, OpensWithTheLineSettingsAndMovesBytes) {
  TCommPort port;
  EXPECT_EQ(port.PortName(), "COM1");
  port.Reconfigure(19200, path, kDataFormat8N1);
  ASSERT_TRUE(port.IsOpen());
  termios line{};
  ASSERT_EQ(::tcgetattr(master, &line), 0);
  EXPECT_EQ(::cfgetospeed(&line), B19200);
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(line.c_cflag & PARENB);
  EXPECT_FALSE(line.c_cflag & CSTOPB);
  EXPECT_FALSE(line.c_cflag & CRTSCTS);
  EXPECT_FALSE(line.c_iflag & (IXON | IXOFF));

  const std::uint8_t out[] = {1, 2, 3};
  port.Transmit(out, 3);
  port.Transmit(nullptr, 5);
  port.Transmit(out, 0);
  std::uint8_t got[8] = {};
  EXPECT_EQ(::read(master, got, sizeof got), 3);
  EXPECT_EQ(got[2], 3);

  const std::uint8_t in[] = {0xAA, 0xBB};
  ASSERT_EQ(::write(master, in, 2), 2);
  EXPECT_TRUE(port.WaitForInput(500000));
  ::usleep(10000);
  EXPECT_EQ(port.PendingInput(), 2u);
  EXPECT_EQ(port.ReceiveByte(), 0xAA);
  port.DiscardBuffers();
  EXPECT_EQ(port.PendingInput(), 0u);

  port.Reconfigure(9600, path, kDataFormat7E2);
  ASSERT_EQ(::tcgetattr(master, &line), 0);
  EXPECT_EQ(::cfgetospeed(&line), B9600);
  // Pseudo terminals always keep 8 bits without parity; the stop bits follow the format.
  EXPECT_TRUE(line.c_cflag & CSTOPB);
}

TEST_F(TPty, ErrorCodes) {
  TCommPort port;
  EXPECT_EQ(CodeOf([&] { port.PendingInput(); }), 7);
  EXPECT_EQ(CodeOf([&] { port.ReceiveByte(); }), 7);
  EXPECT_EQ(CodeOf([&] { port.Transmit(nullptr, 0); }), 7);
  EXPECT_EQ(CodeOf([&] { port.DiscardBuffers(); }), 7);
  port.ChangeBaud(19200);
  EXPECT_EQ(port.BaudRate(), 19200u) << "a closed port only stores the rate";
  port.AssignPortName(path);
  port.Open();
  EXPECT_EQ(CodeOf([&] { port.AssignPortName("ttyS0"); }), 6);
  EXPECT_EQ(CodeOf([&] { port.ChangeBaud(12345); }), 1);
  EXPECT_EQ(port.BaudRate(), 19200u) << "the previous rate is put back";
  port.Close();
  port.AssignPortName("/dev/kx470-no-such-port");
  ECommError error;
  try {
    port.Open();
  } catch (const ECommError& e) {
    error = e;
  }
  EXPECT_EQ(error.Code, 8);
  EXPECT_NE(error.SystemError, 0u);
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(TPty, APortHeldByAnotherProgramFailsWithCode8) {
  TCommPort first, second;
  first.Reconfigure(9600, path, kDataFormat8N1);
  EXPECT_EQ(CodeOf([&] { second.Reconfigure(9600, path, kDataFormat8N1); }), 8);
  EXPECT_FALSE(second.IsOpen());
  first.Close();
  EXPECT_EQ(CodeOf([&] { second.Reconfigure(9600, path, kDataFormat8N1); }), 0);
}

TEST_F(TPty, ExclusiveUseEndsWithThePort) {
  TCommPort port;
  port.Reconfigure(19200, path, kDataFormat8N1);
  // Root passes exclusive mode; the lock above is what stops a second program run as root.
  const int other = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  int exclusive = -1;
  ASSERT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1);
  port.Close();
  ASSERT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0) << "the device stays usable by others after we let it go";
  ::close(other);
}

TEST_F(TPty, WaitingForInput) {
  TCommPort port;
  EXPECT_FALSE(port.WaitForInput(1000)) << "closed";
  port.Reconfigure(19200, path, kDataFormat8N1);
  EXPECT_FALSE(port.WaitForInput(20000));
  const std::uint8_t byte = 0x42;
  ASSERT_EQ(::write(master, &byte, 1), 1);
  EXPECT_TRUE(port.WaitForInput(5000000));
  EXPECT_EQ(port.ReceiveByte(), 0x42);

  // A line whose other side is gone reports at once, yet a poll still lasts its interval, so
  // the protocol's time-outs keep their length.
  ::close(master);
  master = -1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.WaitForInput(50000));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(50000));
  ECommError error;
  try {
    port.PendingInput();
  } catch (const ECommError& e) {
    error = e;
  }
  EXPECT_EQ(error.Code, 18);
  EXPECT_EQ(DescribeCommError(error), "Serial port error 18 (Input/output error)");
}

TEST(CommPort, FilesThatAreNoPortFailWithCode8) {
  TCommPort port;
  port.AssignPortName("");
  EXPECT_EQ(CodeOf([&] { port.Open(); }), 8) << "an empty slot of the port list";
  char pattern[] = "/tmp/kx470-file-XXXXXX";
  const int file = ::mkstemp(pattern);
  ASSERT_GE(file, 0);
  ::close(file);
  port.AssignPortName(pattern);
  EXPECT_EQ(CodeOf([&] { port.Open(); }), 8);
  EXPECT_FALSE(port.IsOpen());
  ::unlink(pattern);
  EXPECT_EQ(DescribeCommError(ECommError{7, 0}), "Serial port error 7");
}

TEST(PortList, DevicePaths) {
  EXPECT_EQ(TCommPort::DevicePath("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(TCommPort::DevicePath("/dev/pts/3"), "/dev/pts/3");
}

TEST(PortList, EnvironmentReplacesDiscovery) {
  TPortList list;
  setenv("KX470_PORTS", "/dev/pts/7::/tmp/sim-link:", 1);
  RefreshPortList(list);
  EXPECT_EQ(list.Count, 2);
  EXPECT_EQ(list.Slots[0], "/dev/pts/7");
  EXPECT_EQ(list.Slots[1], "/tmp/sim-link");
  EXPECT_EQ(list.Slots[2], "");

  setenv("KX470_PORTS", "", 1);
  RefreshPortList(list);
  unsetenv("KX470_PORTS");
  EXPECT_EQ(list.Count, 0) << "set and empty: no ports, and no stand-ins either";
}

TEST(PortList, SlotsBeyondTheCountKeepEarlierNames) {
  TPortList list;
  setenv("KX470_PORTS", "/dev/a:/dev/b:/dev/c", 1);
  RefreshPortList(list);
  setenv("KX470_PORTS", "/dev/d", 1);
  RefreshPortList(list);
  unsetenv("KX470_PORTS");
  EXPECT_EQ(list.Count, 1);
  EXPECT_EQ(list.Slots[0], "/dev/d");
  EXPECT_EQ(list.Slots[1], "/dev/b") << "a manual link on slot 1 still reaches it";
  EXPECT_EQ(list.Slots[2], "/dev/c");

  // Devices counted without a name leave their slots empty below the count.
  StorePortNames(list, {"COM4"}, 3);
  EXPECT_EQ(list.Count, 3);
  EXPECT_EQ(list.Slots[0], "COM4");
  EXPECT_EQ(list.Slots[1], "");
  EXPECT_EQ(list.Slots[2], "");
}

TEST(PortList, DiscoveryKeepsRealPortsInNaturalOrder) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/kx470-tty-XXXXXX";
  const fs::path root = mkdtemp(pattern);
  for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "tty0", "console"})
    fs::create_directory(root / name);
  std::ofstream(root / "ttyS0" / "type") << "4\n";
  std::ofstream(root / "ttyS1" / "type") << "0\n"; // no UART behind it
  TPortList list;
  DiscoverPorts(list, root.string());
  ASSERT_EQ(list.Count, 4);
  EXPECT_EQ(list.Slots[0], "ttyACM0");
  EXPECT_EQ(list.Slots[1], "ttyS0");
  EXPECT_EQ(list.Slots[2], "ttyUSB2");
  EXPECT_EQ(list.Slots[3], "ttyUSB10");

  DiscoverPorts(list, (root / "empty").string());
  EXPECT_EQ(list.Count, 16) << "nothing found: the sixteen standard ports stand in";
  EXPECT_EQ(list.Slots[15], "ttyS15");
  fs::remove_all(root);
}

} // namespace
