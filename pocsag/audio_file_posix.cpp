// Audio files on the POSIX systems: a FIFO or a device gets the samples as they come, a file is
// replaced whole or not at all.

#include "pocsag/transmission.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

bool WriteAudioFile(const std::string& path, bool wav, const TTransmission& transmission,
                    std::string& error) {
  if (wav && AudioSampleCount(transmission) * 2 > std::numeric_limits<std::uint32_t>::max() - 36u)
    return WriteAudio(-1, wav, transmission, error); // refused before the file is touched
  struct stat target {};
  const bool exists = ::stat(path.c_str(), &target) == 0;
  // A FIFO or a device takes the samples as they come; a file is replaced only once the whole
  // page is written beside it, so that a failure leaves what was there.
  if (exists && !S_ISREG(target.st_mode)) {
    if (S_ISDIR(target.st_mode)) {
      error = path + ": is a folder";
      return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
      error = path + ": " + std::strerror(errno);
      return false;
    }
    const bool ok = WriteAudio(fd, wav, transmission, error);
    ::close(fd);
    if (!ok)
      error = path + ": " + error;
    return ok;
  }
  std::error_code ignored;
  // A symbolic link stays and its target is replaced.
  const std::filesystem::path real =
      exists ? std::filesystem::canonical(path, ignored) : std::filesystem::path(path);
  const std::filesystem::path file = real.empty() ? std::filesystem::path(path) : real;
  std::string temporary = file.string() + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  mode_t mode = 0;
  if (exists) {
    mode = target.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = ::fchmod(fd, mode) == 0 || (error = std::strerror(errno), false);
  ok = ok && WriteAudio(fd, wav, transmission, error);
  if (::close(fd) != 0 && ok) {
    error = std::strerror(errno);
    ok = false;
  }
  if (ok && ::rename(temporary.c_str(), file.c_str()) != 0) {
    error = std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    error = path + ": " + error;
  }
  return ok;
}
