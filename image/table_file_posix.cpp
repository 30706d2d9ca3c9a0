// Table files on a POSIX file system: descriptors, hard links, rename and fsync.

#include "image/table_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// strerror may share one buffer between threads; the category's message does not.
std::string SystemText(int error) {
  return std::generic_category().message(error);
}

// Why a path that exists is no table file.
std::string KindText(mode_t mode) {
  if (S_ISDIR(mode))
    return "it is a folder, not a table file";
  if (S_ISFIFO(mode))
    return "it is a FIFO, not a table file";
  if (S_ISCHR(mode) || S_ISBLK(mode))
    return "it is a device, not a table file";
  if (S_ISSOCK(mode))
    return "it is a socket, not a table file";
  return "it is not a regular file";
}

std::string SizeText(std::uintmax_t size) {
  return "it holds " + std::to_string(size) + " bytes; a table file holds " +
         std::to_string(kImageSize);
}

// Closes a descriptor when it goes out of scope.
class TDescriptor {
public:
  explicit TDescriptor(int fd) : FFd(fd) {}
  ~TDescriptor() {
    if (FFd >= 0)
      ::close(FFd);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Get() const { return FFd; }
  // Closes now, so that the error of the close is seen; 0 or errno.
  int Close() {
    const int fd = FFd;
    FFd = -1;
    return ::close(fd) == 0 ? 0 : errno;
  }

private:
  int FFd;
};

// 0 or errno.
int WriteAll(int fd, const std::uint8_t* data, std::size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return 0;
}

// Reads up to `length` bytes; the count read, or -1 with errno set.
ssize_t ReadUpTo(int fd, std::uint8_t* data, std::size_t length) {
  std::size_t got = 0;
  while (got < length) {
    const ssize_t n = ::read(fd, data + got, length - got);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return -1;
    }
    if (n == 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

} // namespace

TTableRead ReadTableFile(const fs::path& path) {
  TTableRead result;
  // Without O_NONBLOCK opening a FIFO waits for a writer that may never come; the descriptor of
  // a regular file reads the same either way.
  TDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.Get() < 0) {
    result.Error = SystemText(errno);
    return result;
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) {
    result.Error = SystemText(errno);
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.Error = KindText(info.st_mode);
    return result;
  }
  const ssize_t got = ReadUpTo(file.Get(), result.Block.data(), kImageSize);
  if (got < 0) {
    result.Error = SystemText(errno);
    result.Block.fill(0);
    return result;
  }
  result.FileSize = static_cast<std::uintmax_t>(info.st_size);
  if (static_cast<std::size_t>(got) < kImageSize) {
    // The size read counts: a file that shrank while it was read is as short as what came.
    result.FileSize = static_cast<std::uintmax_t>(got);
    result.TooShort = true;
    result.Error = SizeText(result.FileSize);
    result.Block.fill(0);
    return result;
  }
  result.Ok = true;
  return result;
}

namespace {

// Where a save really writes.
struct TTarget {
  fs::path Path;       // the file to replace: the path given, or the end of its symbolic links
  bool Exists = false; // a regular file is there now
  struct stat Info {}; // its status when it exists
};

// Follows symbolic links to the file they name, which need not exist yet (a link to a file
// still to be made is kept as well). Refuses what is not a regular file.
bool ResolveTarget(const fs::path& path, TTarget& target, std::string& error) {
  // stat() sees through every kind of link, the ones /proc shows for descriptors included.
  struct stat seen {};
  if (::stat(path.c_str(), &seen) == 0 && !S_ISREG(seen.st_mode)) {
    error = KindText(seen.st_mode);
    return false;
  }
  target.Path = path;
  for (int hops = 0;; ++hops) {
    if (::lstat(target.Path.c_str(), &target.Info) != 0) {
      if (errno != ENOENT) {
        error = SystemText(errno);
        return false;
      }
      return true;
    }
    if (!S_ISLNK(target.Info.st_mode))
      break;
    // The same limit as the kernel's.
    if (hops == 40) {
      error = SystemText(ELOOP);
      return false;
    }
    std::error_code failed;
    const fs::path next = fs::read_symlink(target.Path, failed);
    if (failed) {
      error = failed.message();
      return false;
    }
    target.Path = next.is_absolute() ? next : target.Path.parent_path() / next;
  }
  if (!S_ISREG(target.Info.st_mode)) {
    error = KindText(target.Info.st_mode);
    return false;
  }
  target.Exists = true;
  return true;
}

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// Makes the renames and links in a folder durable. 0 or errno; a file system that cannot
// flush a folder (EINVAL) has nothing more to give.
int SyncFolder(const fs::path& folder) {
  TDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() < 0)
    return errno;
  if (::fsync(fd.Get()) != 0 && errno != EINVAL)
    return errno;
  return 0;
}

enum class TBackup { Added, AlreadyThere, Failed };

// The backup as a copy, for file systems without hard links (FAT, exFAT) and for a working
// directory on another file system than the table. Like the rename of old, it fails when the
// name is taken; a partial copy is removed.
TBackup CopyBackup(const fs::path& original, const struct stat& info, const fs::path& backup,
                   int& error) {
  TDescriptor from(::open(original.c_str(), O_RDONLY | O_CLOEXEC));
  if (from.Get() < 0) {
    error = errno;
    return TBackup::Failed;
  }
  TDescriptor to(::open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (to.Get() < 0) {
    error = errno;
    return error == EEXIST ? TBackup::AlreadyThere : TBackup::Failed;
  }
  std::uint8_t buffer[16384];
  error = 0;
  for (;;) {
    const ssize_t got = ReadUpTo(from.Get(), buffer, sizeof buffer);
    if (got < 0) {
      error = errno;
      break;
    }
    if (got == 0)
      break;
    error = WriteAll(to.Get(), buffer, static_cast<std::size_t>(got));
    if (error != 0)
      break;
  }
  if (error == 0 && ::fchmod(to.Get(), info.st_mode & 07777) != 0)
    error = errno;
  if (error == 0) {
    // The backup tells when the old content was saved, as the renamed file did.
    const timespec times[2] = {info.st_atim, info.st_mtim};
    ::futimens(to.Get(), times);
    if (::fsync(to.Get()) != 0)
      error = errno;
  }
  const int closed = to.Close();
  if (error == 0)
    error = closed;
  if (error != 0) {
    ::unlink(backup.c_str());
    return TBackup::Failed;
  }
  return TBackup::Added;
}

// Gives the file that is about to be replaced its backup name, without ever removing it.
TBackup AddBackup(const TTarget& target, const fs::path& backup, int& error) {
  if (::link(target.Path.c_str(), backup.c_str()) == 0)
    return TBackup::Added;
  error = errno;
  if (error == EEXIST)
    return TBackup::AlreadyThere;
  return CopyBackup(target.Path, target.Info, backup, error);
}

TTableWrite WriteReplacing(const fs::path& path, const TImageBytes& bytes, bool backup) {
  TTableWrite result;
  TTarget target;
  if (!ResolveTarget(path, target, result.Error))
    return result;
  const fs::path folder = FolderOf(target.Path);

  std::random_device random;
  fs::path temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    // Appended, not added: GCC 12 warns wrongly (-Wrestrict) about "." + a temporary string.
    std::string name(1, '.');
    name.append(target.Path.filename().string()).append(".");
    name.append(std::to_string(random())).append(".tmp");
    temporary = folder / name;
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST)
      break;
  }
  if (fd < 0) {
    result.Error = SystemText(errno);
    return result;
  }
  TDescriptor file(fd);
  int error = 0;
  if (target.Exists) {
    // The owner can only be kept by root (or when it is ours already); the permission bits
    // always, and they go after the owner, as changing the owner clears set-id bits.
    if (::fchown(file.Get(), target.Info.st_uid, target.Info.st_gid) != 0) {
      // Not ours to give away: the file becomes the saver's, as any new file would.
    }
    if (::fchmod(file.Get(), target.Info.st_mode & 07777) != 0)
      error = errno;
  }
  if (error == 0)
    error = WriteAll(file.Get(), bytes.data(), bytes.size());
  if (error == 0 && ::fsync(file.Get()) != 0)
    error = errno;
  const int closed = file.Close();
  if (error == 0)
    error = closed;
  if (error != 0) {
    ::unlink(temporary.c_str());
    result.Error = SystemText(error);
    return result;
  }

  const fs::path backupName = backup && target.Exists ? BackupName(path.string()) : "";
  if (!backupName.empty()) {
    switch (AddBackup(target, backupName, error)) {
    case TBackup::Added:
      result.BackedUp = true;
      break;
    case TBackup::AlreadyThere:
      break;
    case TBackup::Failed:
      ::unlink(temporary.c_str());
      result.Error =
          "the backup " + backupName.string() + " could not be made (" + SystemText(error) + ")";
      return result;
    }
  }

  if (::rename(temporary.c_str(), target.Path.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    if (result.BackedUp)
      ::unlink(backupName.c_str());
    result.BackedUp = false;
    result.Error = SystemText(error);
    return result;
  }
  result.Replaced = true;
  error = SyncFolder(folder);
  if (error == 0 && result.BackedUp)
    error = SyncFolder(FolderOf(backupName));
  if (error != 0) {
    result.Error = "the new file is in place, but its folder could not be flushed to disk (" +
                   SystemText(error) + ")";
    return result;
  }
  result.Ok = true;
  return result;
}

} // namespace

std::string SaveTargetProblem(const fs::path& path) {
  TTarget target;
  std::string error;
  ResolveTarget(path, target, error);
  return error;
}

TTableWrite WriteTableFileSafely(const fs::path& path, const TImageBytes& bytes) {
  return WriteReplacing(path, bytes, true);
}

TTableWrite WriteFileAtomically(const fs::path& path, const TImageBytes& bytes) {
  return WriteReplacing(path, bytes, false);
}
