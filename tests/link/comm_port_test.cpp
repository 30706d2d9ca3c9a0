#include "link/comm_port.h"
#include "link/port_list.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
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
  EXPECT_EQ(CodeOf([&] { port.PendingInput(); }), ECommError::NotOpen);
  EXPECT_EQ(CodeOf([&] { port.ReceiveByte(); }), ECommError::NotOpen);
  EXPECT_EQ(CodeOf([&] { port.Transmit(nullptr, 0); }), ECommError::NotOpen);
  EXPECT_EQ(CodeOf([&] { port.DiscardBuffers(); }), ECommError::NotOpen);
  port.ChangeBaud(19200);
  EXPECT_EQ(port.BaudRate(), 19200u) << "a closed port only stores the rate";
  port.AssignPortName(path);
  port.Open();
  EXPECT_EQ(CodeOf([&] { port.AssignPortName("ttyS0"); }), ECommError::NameWhileOpen);
  EXPECT_EQ(CodeOf([&] { port.ChangeBaud(12345); }), ECommError::BaudRefused);
  EXPECT_EQ(port.BaudRate(), 19200u) << "the previous rate is put back";
  port.Close();
  port.AssignPortName("/dev/kx470-no-such-port");
  ECommError error;
  try {
    port.Open();
  } catch (const ECommError& e) {
    error = e;
  }
  EXPECT_EQ(error.Code, ECommError::OpenFailed);
  EXPECT_NE(error.SystemError, 0u);
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(TPty, APortHeldByAnotherProgramFailsWithCode8) {
  TCommPort first, second;
  first.Reconfigure(9600, path, kDataFormat8N1);
  EXPECT_EQ(CodeOf([&] { second.Reconfigure(9600, path, kDataFormat8N1); }),
            ECommError::OpenFailed);
  EXPECT_FALSE(second.IsOpen());
  first.Close();
  EXPECT_EQ(CodeOf([&] { second.Reconfigure(9600, path, kDataFormat8N1); }), 0);
}

TEST_F(TPty, ExclusiveUseEndsWithThePort) {
  TCommPort port;
  port.Reconfigure(19200, path, kDataFormat8N1);
  const int other = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  const int openError = errno;
  if (::geteuid() == 0) {
    // Root passes exclusive mode (the lock is what stops a second program run as root), and
    // can look at it.
    ASSERT_GE(other, 0);
    int exclusive = -1;
    ASSERT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    ::close(other);
  } else {
    EXPECT_LT(other, 0) << "a second program opened the port we hold";
    EXPECT_EQ(openError, EBUSY);
    if (other >= 0)
      ::close(other);
  }
  port.Close();
  const int after = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(after, 0) << "the device stays usable by others after we let it go: "
                      << std::strerror(errno);
  int exclusive = -1;
  ASSERT_EQ(::ioctl(after, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  ::close(after);
}

// Opens, closes and reopens the pseudo terminal at both speeds, along every way the port is
// given back: Close, a failed Open, the destructor. Empty when all went well, otherwise what
// went wrong.
std::string ReopenAtBothSpeeds(const std::string& path, int master) {
  const auto speedIs = [master](speed_t expected) {
    termios line{};
    return ::tcgetattr(master, &line) == 0 && ::cfgetospeed(&line) == expected;
  };
  try {
    TCommPort port;
    // Reconfigure closes and opens again, as every link does between its two speeds.
    for (const auto& [rate, speed] : {std::pair{9600u, B9600}, std::pair{19200u, B19200},
                                      std::pair{9600u, B9600}, std::pair{19200u, B19200}}) {
      port.Reconfigure(rate, path, kDataFormat8N1);
      if (!speedIs(speed))
        return "the line did not go to " + std::to_string(rate) + " baud";
    }
    port.Close();
    port.Open();
    if (!port.IsOpen() || !speedIs(B19200))
      return "no reopen after Close";
    // An Open that fails after exclusive mode was set gives the device back too.
    port.Close();
    port.ChangeBaud(12345);
    if (CodeOf([&] { port.Open(); }) != ECommError::SetStateFailed)
      return "an unknown speed did not fail with code 15";
    port.ChangeBaud(9600);
    port.Open();
    if (!speedIs(B9600))
      return "no reopen after a failed Open";
  } catch (const ECommError& error) {
    return DescribeCommError(error);
  }
  // And so does the destructor of a port left open.
  try {
    TCommPort port;
    port.Reconfigure(19200, path, kDataFormat8N1);
    if (!speedIs(B19200))
      return "no open after the destructor";
  } catch (const ECommError& error) {
    return "after the destructor: " + DescribeCommError(error);
  }
  return "";
}

// Exclusive mode outlives a close on a pseudo terminal, and only root is exempt from it: the
// reopening has to be seen by a normal user. Run as root, the test gives up its rights in a
// child process (to the nobody account) and runs there.
TEST_F(TPty, ANormalUserReopensAtBothSpeeds) {
  if (::geteuid() != 0) {
    EXPECT_EQ(ReopenAtBothSpeeds(path, master), "");
    return;
  }
  constexpr uid_t kNobody = 65534;
  ASSERT_EQ(::chown(path.c_str(), kNobody, static_cast<gid_t>(-1)), 0) << std::strerror(errno);
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(report[0]);
    std::string problem;
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 ||
        ::geteuid() == 0)
      problem = std::string("cannot give up root: ") + std::strerror(errno);
    else
      problem = ReopenAtBothSpeeds(path, master);
    const ssize_t written = ::write(report[1], problem.data(), problem.size());
    ::_exit(written == static_cast<ssize_t>(problem.size()) ? 0 : 1);
  }
  ::close(report[1]);
  std::string problem;
  char chunk[256];
  for (ssize_t got; (got = ::read(report[0], chunk, sizeof chunk)) > 0;)
    problem.append(chunk, static_cast<std::size_t>(got));
  ::close(report[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(problem, "");
}

// The descriptor the port holds on `path`, found among the process's own.
int DescriptorOn(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd", error)) {
    std::error_code unreadable;
    if (fs::read_symlink(entry.path(), unreadable) == path)
      return std::stoi(entry.path().filename().string());
  }
  return -1;
}

TEST_F(TPty, AFailedCloseLeavesThePortClosed) {
  TCommPort port;
  port.Reconfigure(19200, path, kDataFormat8N1);
  const int fd = DescriptorOn(path);
  ASSERT_GE(fd, 0);
  // The descriptor goes away under the port, as a close() that reports an error has already
  // released it.
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
  EXPECT_EQ(CodeOf([&] { port.Close(); }), ECommError::CloseFailed);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(CodeOf([&] { port.Close(); }), 0) << "nothing left to close";
  EXPECT_EQ(CodeOf([&] { port.Reconfigure(9600, path, kDataFormat8N1); }), 0)
      << "the next open starts afresh";
  EXPECT_TRUE(port.IsOpen());
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

  // A line whose other side is gone has no input to wait for.
  ::close(master);
  master = -1;
  EXPECT_FALSE(port.WaitForInput(5000000));
  ECommError error;
  try {
    port.PendingInput();
  } catch (const ECommError& e) {
    error = e;
  }
  EXPECT_EQ(error.Code, ECommError::InputCountFailed);
  EXPECT_EQ(DescribeCommError(error), "Serial port error 18 (Input/output error)");
}

TEST(CommPort, FilesThatAreNoPortFailWithCode8) {
  TCommPort port;
  port.AssignPortName("");
  EXPECT_EQ(CodeOf([&] { port.Open(); }), ECommError::OpenFailed)
      << "an empty slot of the port list";
  char pattern[] = "/tmp/kx470-file-XXXXXX";
  const int file = ::mkstemp(pattern);
  ASSERT_GE(file, 0);
  ::close(file);
  port.AssignPortName(pattern);
  EXPECT_EQ(CodeOf([&] { port.Open(); }), ECommError::OpenFailed);
  EXPECT_FALSE(port.IsOpen());
  ::unlink(pattern);
  EXPECT_EQ(DescribeCommError(ECommError{ECommError::NotOpen, 0}), "Serial port error 7");
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
