#include "image/table_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string SystemText(int error) {
  return std::strerror(error);
}

// rename() that fails when the target exists, like the rename the backup rule was made for.
bool RenameNoReplace(const fs::path& from, const fs::path& to) {
  if (::link(from.c_str(), to.c_str()) != 0)
    return false;
  if (::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t length, int& error) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      error = errno;
      return false;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

} // namespace

TTableRead ReadTableFile(const fs::path& path) {
  TTableRead result;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    result.Error = SystemText(errno);
    return result;
  }
  struct stat info {};
  if (::fstat(::fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
    result.Error = S_ISDIR(info.st_mode) ? "is a folder" : SystemText(errno);
    std::fclose(file);
    return result;
  }
  result.FileSize = static_cast<std::uintmax_t>(info.st_size);
  const std::size_t got = std::fread(result.Block.data(), 1, kImageSize, file);
  const bool failed = std::ferror(file) != 0;
  const int readError = errno;
  std::fclose(file);
  if (failed || (got < kImageSize && got < result.FileSize)) {
    result.Error = SystemText(readError ? readError : EIO);
    result.Block.fill(0);
    return result;
  }
  result.Ok = true;
  return result;
}

std::string BackupName(const std::string& name) {
  // Both separators count: names typed on the other system still get a plain base name.
  const std::size_t slash = name.find_last_of("/\\");
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  const std::size_t dot = base.find_last_of('.');
  if (dot != std::string::npos)
    base.erase(dot);
  return base + kBackupExtension;
}

namespace {

TTableWrite WriteReplacing(const fs::path& path, const TImageBytes& bytes, bool backup) {
  TTableWrite result;
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::random_device random;
  fs::path temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temporary = folder / ("." + path.filename().string() + "." + std::to_string(random()) + ".tmp");
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST)
      break;
  }
  if (fd < 0) {
    result.Error = SystemText(errno);
    return result;
  }
  int error = 0;
  bool ok = WriteAll(fd, bytes.data(), bytes.size(), error);
  if (ok && ::fsync(fd) != 0) {
    error = errno;
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    error = errno;
    ok = false;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    result.Error = SystemText(error);
    return result;
  }

  std::error_code exists;
  if (backup && fs::is_regular_file(path, exists))
    result.BackedUp = RenameNoReplace(path, fs::path(BackupName(path.string())));

  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    result.Error = SystemText(error);
    return result;
  }
  result.Ok = true;
  return result;
}

} // namespace

TTableWrite WriteTableFileSafely(const fs::path& path, const TImageBytes& bytes) {
  return WriteReplacing(path, bytes, true);
}

TTableWrite WriteFileAtomically(const fs::path& path, const TImageBytes& bytes) {
  return WriteReplacing(path, bytes, false);
}
