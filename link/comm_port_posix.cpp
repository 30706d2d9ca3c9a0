// The serial port over termios.

#include "link/comm_port.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void Raise(std::uint8_t code, int error = errno) {
  throw ECommError{code, static_cast<std::uint32_t>(error)};
}

speed_t SpeedOf(std::uint32_t rate, bool& known) {
  known = true;
  switch (rate) {
  case 1200:
    return B1200;
  case 2400:
    return B2400;
  case 4800:
    return B4800;
  case 9600:
    return B9600;
  case 19200:
    return B19200;
  case 38400:
    return B38400;
  case 57600:
    return B57600;
  case 115200:
    return B115200;
  default:
    known = false;
    return B9600;
  }
}

} // namespace

TCommPort::TCommPort() = default;

TCommPort::~TCommPort() {
  if (FOpen) {
    // See Close: exclusive mode would outlive the descriptor.
    ::ioctl(FHandle, TIOCNXCL);
    ::close(FHandle);
  }
}

std::string TCommPort::DevicePath(const std::string& name) {
  return !name.empty() && name[0] == '/' ? name : "/dev/" + name;
}

void TCommPort::Open() {
  if (FOpen)
    return;
  // An empty slot of the port list names no device at all.
  if (FPortName.empty())
    Raise(ECommError::OpenFailed, ENOENT);
  const std::string path = DevicePath(FPortName);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    Raise(ECommError::OpenFailed);
  // Exclusive use: TIOCEXCL keeps other programs from opening the device (root excepted), the
  // lock keeps out every program that asks for one, root included.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
    // Neither took hold, so there is no exclusive mode to give back.
    const int error = errno;
    ::close(fd);
    Raise(ECommError::OpenFailed, error);
  }
  // Past this point a failure gives the device back as it found it.
  const auto abandon = [fd](std::uint8_t code, int error) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    Raise(code, error);
  };
  termios line{};
  if (::tcgetattr(fd, &line) != 0)
    abandon(ECommError::GetStateFailed, errno);
  ::cfmakeraw(&line);
  line.c_cflag |= CLOCAL | CREAD;
  line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  line.c_cflag |= FByteSize == 7 ? CS7 : CS8;
  if (FEvenParity)
    line.c_cflag |= PARENB;
  if (FTwoStopBits)
    line.c_cflag |= CSTOPB;
  line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  bool known = false;
  const speed_t speed = SpeedOf(FBaudRate, known);
  if (!known)
    abandon(ECommError::SetStateFailed, EINVAL);
  if (::cfsetispeed(&line, speed) != 0 || ::cfsetospeed(&line, speed) != 0 ||
      ::tcsetattr(fd, TCSANOW, &line) != 0)
    abandon(ECommError::SetStateFailed, errno);
  // Linux has no driver queue sizes to ask for; the descriptor goes back to blocking reads,
  // which are only issued for bytes already waiting.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    abandon(ECommError::SetupFailed, errno);
  // DTR on, RTS off. Pseudo terminals have no modem lines and refuse: that is fine.
  int dtr = TIOCM_DTR, rts = TIOCM_RTS;
  ::ioctl(fd, TIOCMBIS, &dtr);
  ::ioctl(fd, TIOCMBIC, &rts);
  FHandle = fd;
  FOpen = true;
}

void TCommPort::Close() {
  if (!FOpen)
    return;
  // Exclusive mode belongs to the device, not to our descriptor: on a pseudo terminal, whose
  // other side stays open, it would outlast us and lock out every later open but root's, our
  // own reopening at another speed included.
  ::ioctl(FHandle, TIOCNXCL);
  // Linux releases the descriptor even when close() reports an error (EINTR and EIO
  // included): the port is closed either way, and a later Open must not find it still "open"
  // on a number that may already belong to another file.
  const int result = ::close(FHandle);
  const int error = errno;
  FHandle = -1;
  FOpen = false;
  if (result != 0 && error != EINTR)
    Raise(ECommError::CloseFailed, error);
}

void TCommPort::ChangeBaud(std::uint32_t rate) {
  const std::uint32_t previous = FBaudRate;
  FBaudRate = rate;
  if (!FOpen)
    return;
  termios line{};
  bool known = false;
  const speed_t speed = SpeedOf(rate, known);
  if (!known || ::tcgetattr(FHandle, &line) != 0 || ::cfsetispeed(&line, speed) != 0 ||
      ::cfsetospeed(&line, speed) != 0 || ::tcsetattr(FHandle, TCSANOW, &line) != 0) {
    const int error = known ? errno : EINVAL;
    FBaudRate = previous;
    Raise(ECommError::BaudRefused, error);
  }
}

void TCommPort::AssignPortName(const std::string& name) {
  if (FOpen)
    Raise(ECommError::NameWhileOpen, 0);
  FPortName = name;
}

void TCommPort::Reconfigure(std::uint32_t rate, const std::string& name, int format) {
  FByteSize = format == kDataFormat7E2 ? 7 : 8;
  FEvenParity = format == kDataFormat7E2;
  FTwoStopBits = format != kDataFormat8N1;
  Close();
  ChangeBaud(rate);
  AssignPortName(name);
  Open();
}

std::size_t TCommPort::PendingInput() {
  if (!FOpen)
    Raise(ECommError::NotOpen, 0);
  int waiting = 0;
  if (::ioctl(FHandle, FIONREAD, &waiting) != 0)
    Raise(ECommError::InputCountFailed);
  return waiting > 0 ? static_cast<std::size_t>(waiting) : 0;
}

std::uint8_t TCommPort::ReceiveByte() {
  if (!FOpen)
    Raise(ECommError::NotOpen, 0);
  std::uint8_t byte = 0;
  for (;;) {
    const ssize_t got = ::read(FHandle, &byte, 1);
    if (got == 1)
      return byte;
    if (got < 0 && errno == EINTR)
      continue;
    Raise(ECommError::ReadFailed, got == 0 ? EIO : errno);
  }
}

void TCommPort::Transmit(const std::uint8_t* buffer, std::size_t length) {
  if (!FOpen)
    Raise(ECommError::NotOpen, 0);
  if (length == 0 || buffer == nullptr)
    return;
  while (length > 0) {
    const ssize_t written = ::write(FHandle, buffer, length);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      Raise(ECommError::WriteFailed);
    }
    buffer += written;
    length -= static_cast<std::size_t>(written);
  }
}

void TCommPort::DiscardBuffers() {
  if (!FOpen)
    Raise(ECommError::NotOpen, 0);
  if (::tcflush(FHandle, TCIFLUSH) != 0 || ::tcflush(FHandle, TCOFLUSH) != 0)
    Raise(ECommError::DiscardFailed);
}

bool TCommPort::WaitForInput(std::uint32_t microseconds) {
  if (!FOpen)
    return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
  for (;;) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
      return false;
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec timeout{static_cast<time_t>(nanoseconds / 1'000'000'000),
                           static_cast<long>(nanoseconds % 1'000'000'000)};
    pollfd watch{FHandle, POLLIN, 0};
    const int ready = ::ppoll(&watch, 1, &timeout, nullptr);
    if (ready > 0)
      // A hung-up or failing line reports at once and for ever: no input, however long we wait.
      return (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
    if (ready < 0 && errno != EINTR)
      return false;
  }
}

std::string DescribeCommError(const ECommError& error) {
  std::string text = "Serial port error " + std::to_string(error.Code);
  if (error.SystemError != 0)
    // strerror may share one buffer between threads; the category's message does not.
    text += " (" + std::generic_category().message(static_cast<int>(error.SystemError)) + ")";
  return text;
}
