#include "tools/encoder_sim/pty_line.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace sim {

namespace {

struct TSpeed {
  speed_t Code;
  int Baud;
};

constexpr TSpeed kSpeeds[] = {
    {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
    {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

std::string SystemText(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

bool TPtyLine::Open(std::string& error) {
  FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (FMaster < 0) {
    error = SystemText("posix_openpt");
    return false;
  }
  const char* name = nullptr;
  if (::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0 || !(name = ::ptsname(FMaster))) {
    error = SystemText("pseudo terminal setup");
    Close();
    return false;
  }
  FSlavePath = name;
  FSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (FSlave < 0) {
    error = SystemText(("open " + FSlavePath).c_str());
    Close();
    return false;
  }
  // A fresh terminal echoes and edits lines; until the tool sets its own mode, nothing it does
  // must bounce our replies back to us.
  termios mode{};
  if (::tcgetattr(FSlave, &mode) == 0) {
    ::cfmakeraw(&mode);
    ::tcsetattr(FSlave, TCSANOW, &mode);
  }
  const int flags = ::fcntl(FMaster, F_GETFL);
  if (flags < 0 || ::fcntl(FMaster, F_SETFL, flags | O_NONBLOCK) != 0) {
    error = SystemText("fcntl");
    Close();
    return false;
  }
  return true;
}

void TPtyLine::Close() {
  if (FMaster >= 0)
    ::close(FMaster);
  if (FSlave >= 0)
    ::close(FSlave);
  FMaster = FSlave = -1;
}

int TPtyLine::Baud() const {
  // Linux keeps one set of settings for the pair; the tool's tcsetattr on its own descriptor
  // shows here at once.
  termios mode{};
  if (FSlave < 0 || ::tcgetattr(FSlave, &mode) != 0)
    return 0;
  const speed_t speed = ::cfgetospeed(&mode);
  for (const TSpeed& s : kSpeeds)
    if (s.Code == speed)
      return s.Baud;
  return 0;
}

bool TLinkPath::Create(const std::string& path, const std::string& target, std::string& error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
    error = path + " exists and is not a symbolic link; it is left alone";
    return false;
  }
  // Build the link under a temporary name and rename it over the old one, so that the path
  // never points nowhere while a tool may be opening it.
  std::random_device random;
  const std::string temporary = path + ".sim" + std::to_string(random()) + ".tmp";
  if (::symlink(target.c_str(), temporary.c_str()) != 0) {
    error = SystemText(("cannot create a link at " + path).c_str());
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = SystemText(("cannot create a link at " + path).c_str());
    ::unlink(temporary.c_str());
    return false;
  }
  FPath = path;
  FTarget = target;
  return true;
}

void TLinkPath::Remove() {
  if (FPath.empty())
    return;
  // Someone may have pointed the path elsewhere meanwhile; that link is not ours to remove.
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t length = ::readlink(FPath.c_str(), buffer.data(), buffer.size() - 1);
  if (length >= 0 && std::string(buffer.data(), static_cast<std::size_t>(length)) == FTarget)
    ::unlink(FPath.c_str());
  FPath.clear();
}

TClock::duration TSender::ByteTime(int baud) {
  // Unknown speeds are paced as the command speed rather than not at all.
  const long long rate = baud > 0 ? baud : kCommandBaud;
  return std::chrono::duration_cast<TClock::duration>(
      std::chrono::nanoseconds(10'000'000'000LL / rate));
}

void TSender::Queue(const TBytes& bytes, TClock::time_point now, int baud) {
  if (bytes.empty())
    return;
  if (FPace && FPending.empty()) {
    // A burst starts when the line is free: now, or when the last byte sent is through.
    const TClock::time_point lastDone = FNextDue - ByteTime(baud);
    FNextDue = std::max(lastDone, now) + ByteTime(baud);
  }
  FPending.insert(FPending.end(), bytes.begin(), bytes.end());
}

bool TSender::Send(int fd, TClock::time_point now, int baud, std::string& error) {
  FBlocked = false;
  while (!FPending.empty()) {
    std::uint8_t chunk[512];
    std::size_t count = 0;
    if (FPace) {
      // Everything whose deadline has passed goes out in one write.
      TClock::time_point due = FNextDue;
      while (count < FPending.size() && count < sizeof chunk && due <= now) {
        chunk[count] = FPending[count];
        ++count;
        due += ByteTime(baud);
      }
    } else {
      while (count < FPending.size() && count < sizeof chunk) {
        chunk[count] = FPending[count];
        ++count;
      }
    }
    if (count == 0)
      return true;
    const ssize_t written = ::write(fd, chunk, count);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        FBlocked = true;
        return true;
      }
      error = SystemText("write to the terminal");
      return false;
    }
    FPending.erase(FPending.begin(), FPending.begin() + written);
    if (FPace)
      FNextDue += ByteTime(baud) * written;
  }
  return true;
}

std::optional<TClock::duration> TSender::Timeout(TClock::time_point now) const {
  if (!FPace || FPending.empty() || FBlocked)
    return std::nullopt;
  return FNextDue > now ? FNextDue - now : TClock::duration::zero();
}

} // namespace sim
