#include "image/table_file.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

// Faults of the file system, on demand: these stand in for the C library's calls of the same
// names, for the whole test program, and pass every call through unless a test set an error.
namespace {
int gRenameError = 0;     // rename() fails with this
int gLinkError = 0;       // link() fails with this, as on FAT and exFAT (EPERM)
int gFolderSyncError = 0; // fsync() of a folder fails with this

template <typename TFunction> TFunction* Real(const char* name) {
  return reinterpret_cast<TFunction*>(::dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" int rename(const char* from, const char* to) noexcept {
  static auto* real = Real<int(const char*, const char*)>("rename");
  if (gRenameError != 0) {
    errno = gRenameError;
    return -1;
  }
  return real(from, to);
}

extern "C" int link(const char* from, const char* to) noexcept {
  static auto* real = Real<int(const char*, const char*)>("link");
  if (gLinkError != 0) {
    errno = gLinkError;
    return -1;
  }
  return real(from, to);
}

extern "C" int fsync(int fd) {
  static auto* real = Real<int(int)>("fsync");
  struct stat info {};
  if (gFolderSyncError != 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    errno = gFolderSyncError;
    return -1;
  }
  return real(fd);
}

namespace {

class TableFile : public ::testing::Test {
protected:
  void SetUp() override {
    previous = fs::current_path();
    char pattern[] = "/tmp/kx470-table-XXXXXX";
    dir = mkdtemp(pattern);
    fs::current_path(dir);
  }
  void TearDown() override {
    gRenameError = gLinkError = gFolderSyncError = 0;
    fs::current_path(previous);
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(dir, ignored))
      if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir, ignored);
  }
  static void Write(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static TImageBytes Pattern(std::uint8_t seed) {
    TImageBytes bytes;
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return bytes;
  }
  static std::string AsText(const TImageBytes& bytes) { return {bytes.begin(), bytes.end()}; }
  static struct stat Status(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
  }
  // Names in a folder that a save leaves behind by mistake.
  static std::vector<std::string> Temporaries(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().extension() == ".tmp")
        found.push_back(entry.path().filename().string());
    return found;
  }
  fs::path previous, dir;
};

// --- Reading ---------------------------------------------------------------------------------

TEST_F(TableFile, WriteThenReadGivesTheSameBytes) {
  const TImageBytes bytes = Pattern(3);
  const TTableWrite written = WriteTableFileSafely(dir / "site1.tbl", bytes);
  ASSERT_TRUE(written.Ok) << written.Error;
  EXPECT_TRUE(written.Replaced);
  EXPECT_FALSE(written.BackedUp);
  EXPECT_EQ(fs::file_size(dir / "site1.tbl"), kImageSize);
  const TTableRead read = ReadTableFile(dir / "site1.tbl");
  ASSERT_TRUE(read.Ok);
  EXPECT_EQ(read.FileSize, kImageSize);
  EXPECT_EQ(read.Block, bytes);
  EXPECT_TRUE(Temporaries(dir).empty());
}

TEST_F(TableFile, LongerFilesAreReadUpTo2048Bytes) {
  const TImageBytes bytes = Pattern(9);
  Write("long.tbl", AsText(bytes) + "trailing data");
  const TTableRead read = ReadTableFile("long.tbl");
  ASSERT_TRUE(read.Ok);
  EXPECT_EQ(read.FileSize, kImageSize + 13);
  EXPECT_EQ(read.Block, bytes);
}

TEST_F(TableFile, ShortAndEmptyFilesAreRefusedWithTheirSize) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{100}, kImageSize - 1}) {
    Write("short.tbl", std::string(size, '\x11'));
    const TTableRead read = ReadTableFile("short.tbl");
    EXPECT_FALSE(read.Ok) << size;
    EXPECT_TRUE(read.TooShort) << size;
    EXPECT_EQ(read.FileSize, size);
    EXPECT_EQ(read.Error, "it holds " + std::to_string(size) + " bytes; a table file holds 2048");
  }
}

TEST_F(TableFile, WhatIsNoRegularFileIsRefusedByItsKindAndAFifoIsNotWaitedOn) {
  fs::create_directory("folder.tbl");
  ASSERT_EQ(::mkfifo("pipe.tbl", 0600), 0);
  fs::create_symlink("pipe.tbl", "link-to-pipe.tbl");
  // Opening a FIFO for reading waits for a writer; none comes. A hang ends the test here.
  ::alarm(20);
  const TTableRead fifo = ReadTableFile("pipe.tbl");
  const TTableRead linked = ReadTableFile("link-to-pipe.tbl");
  ::alarm(0);
  EXPECT_FALSE(fifo.Ok);
  EXPECT_EQ(fifo.Error, "it is a FIFO, not a table file");
  EXPECT_EQ(linked.Error, "it is a FIFO, not a table file");
  EXPECT_EQ(ReadTableFile("folder.tbl").Error, "it is a folder, not a table file");
  EXPECT_EQ(ReadTableFile("/dev/null").Error, "it is a device, not a table file");
  const TTableRead missing = ReadTableFile("absent.tbl");
  EXPECT_FALSE(missing.Ok);
  EXPECT_FALSE(missing.TooShort);
  EXPECT_EQ(missing.Error, "No such file or directory");
}

TEST_F(TableFile, AnUnreadableFileGivesTheSystemsReason) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root reads files without read permission; run as a normal user";
  Write("locked.tbl", AsText(Pattern(1)));
  fs::permissions("locked.tbl", fs::perms::none);
  EXPECT_EQ(ReadTableFile("locked.tbl").Error, "Permission denied");
}

TEST_F(TableFile, BackupNameDropsFolderAndExtension) {
  EXPECT_EQ(BackupName("/data/site1.tbl"), "site1.BAK");
  EXPECT_EQ(BackupName("C:\\data\\site1.tbl"), "site1.BAK");
  EXPECT_EQ(BackupName("default.tbl"), "default.BAK");
  EXPECT_EQ(BackupName("noext"), "noext.BAK");
  EXPECT_EQ(BackupName("/a.b/c.d.tbl"), "c.d.BAK");
}

// --- Backups ---------------------------------------------------------------------------------

TEST_F(TableFile, TheBackupIsASecondNameOfTheOldFileInTheWorkingDirectory) {
  fs::create_directory("data");
  Write("data/site1.tbl", "old content");
  const ino_t old = Status("data/site1.tbl").st_ino;
  const TTableWrite written = WriteTableFileSafely(dir / "data" / "site1.tbl", Pattern(1));
  ASSERT_TRUE(written.Ok) << written.Error;
  EXPECT_TRUE(written.BackedUp);
  EXPECT_EQ(Read(dir / "site1.BAK"), "old content") << "the backup lands in the working directory";
  EXPECT_EQ(Status("site1.BAK").st_ino, old) << "the old file itself, never copied or removed";
  EXPECT_EQ(Status("site1.BAK").st_nlink, 1u);
  EXPECT_EQ(ReadTableFile(dir / "data" / "site1.tbl").Block, Pattern(1));
  EXPECT_TRUE(Temporaries(dir / "data").empty());
}

TEST_F(TableFile, AnExistingBackupIsKeptAndTheFileOverwritten) {
  Write("default.BAK", "first backup");
  Write("default.tbl", "second");
  const TTableWrite written = WriteTableFileSafely("default.tbl", Pattern(2));
  ASSERT_TRUE(written.Ok);
  EXPECT_FALSE(written.BackedUp);
  EXPECT_EQ(Read("default.BAK"), "first backup");
  EXPECT_EQ(ReadTableFile("default.tbl").Block, Pattern(2));
}

TEST_F(TableFile, WithoutHardLinksTheBackupIsACopyThatNeverReplacesAnOldOne) {
  Write("site.tbl", "old content");
  fs::permissions("site.tbl",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  struct timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, "site.tbl", times, 0), 0);
  gLinkError = EPERM; // what FAT and exFAT answer
  const TTableWrite written = WriteTableFileSafely("site.tbl", Pattern(3));
  ASSERT_TRUE(written.Ok) << written.Error;
  EXPECT_TRUE(written.BackedUp);
  EXPECT_EQ(Read("site.BAK"), "old content");
  EXPECT_EQ(Status("site.BAK").st_mtim.tv_sec, 1200000000) << "the copy keeps the old file's time";
  EXPECT_EQ(Status("site.BAK").st_mode & 0777, 0640u);
  EXPECT_EQ(ReadTableFile("site.tbl").Block, Pattern(3));

  const TTableWrite again = WriteTableFileSafely("site.tbl", Pattern(4));
  ASSERT_TRUE(again.Ok) << again.Error;
  EXPECT_FALSE(again.BackedUp);
  EXPECT_EQ(Read("site.BAK"), "old content") << "an existing backup stays";
  EXPECT_EQ(ReadTableFile("site.tbl").Block, Pattern(4));
}

TEST_F(TableFile, AFailedRenameAfterTheBackupRemovesTheBackupNameAndKeepsTheFile) {
  for (const int linkError : {0, EPERM}) { // a second name, then a copy
    SCOPED_TRACE(linkError ? "backup copied" : "backup linked");
    Write("site.tbl", "precious");
    const ino_t old = Status("site.tbl").st_ino;
    gLinkError = linkError;
    gRenameError = EIO;
    const TTableWrite written = WriteTableFileSafely("site.tbl", Pattern(5));
    gRenameError = gLinkError = 0;
    EXPECT_FALSE(written.Ok);
    EXPECT_FALSE(written.Replaced);
    EXPECT_FALSE(written.BackedUp);
    EXPECT_EQ(written.Error, "Input/output error");
    EXPECT_EQ(Read("site.tbl"), "precious");
    EXPECT_EQ(Status("site.tbl").st_ino, old);
    EXPECT_EQ(Status("site.tbl").st_nlink, 1u);
    EXPECT_FALSE(fs::exists("site.BAK")) << "the backup name added is taken back";
    EXPECT_TRUE(Temporaries(dir).empty());
  }
  Write("site.BAK", "an older backup");
  gRenameError = EIO;
  EXPECT_FALSE(WriteTableFileSafely("site.tbl", Pattern(5)).Ok);
  gRenameError = 0;
  EXPECT_EQ(Read("site.BAK"), "an older backup") << "a backup that was there before stays";
}

TEST_F(TableFile, ABackupThatCannotBeMadeStopsTheSave) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root writes into read-only folders; run as a normal user";
  fs::create_directory("data");
  Write("data/site.tbl", "precious");
  fs::create_directory("work");
  fs::current_path("work");
  fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec);
  const TTableWrite written = WriteTableFileSafely(dir / "data" / "site.tbl", Pattern(6));
  EXPECT_FALSE(written.Ok);
  EXPECT_FALSE(written.Replaced);
  EXPECT_EQ(written.Error, "the backup site.BAK could not be made (Permission denied)");
  EXPECT_EQ(Read(dir / "data" / "site.tbl"), "precious");
  EXPECT_TRUE(Temporaries(dir / "data").empty());
}

// --- What is replaced, and how ---------------------------------------------------------------

TEST_F(TableFile, TheNewFileKeepsThePermissionBitsOfTheOldOne) {
  Write("shared.tbl", "old");
  fs::permissions("shared.tbl", fs::perms::owner_read | fs::perms::owner_write |
                                    fs::perms::group_read | fs::perms::group_write);
  ASSERT_TRUE(WriteTableFileSafely("shared.tbl", Pattern(1)).Ok);
  EXPECT_EQ(Status("shared.tbl").st_mode & 07777, 0660u);
  fs::permissions("shared.tbl", fs::perms::owner_read);
  ASSERT_TRUE(WriteFileAtomically("shared.tbl", Pattern(2)).Ok);
  EXPECT_EQ(Status("shared.tbl").st_mode & 07777, 0400u);

  const mode_t mask = ::umask(027);
  const TTableWrite fresh = WriteFileAtomically("fresh.tbl", Pattern(3));
  ::umask(mask);
  ASSERT_TRUE(fresh.Ok);
  EXPECT_EQ(Status("fresh.tbl").st_mode & 07777, 0640u) << "a new file follows the umask";
}

TEST_F(TableFile, ASymbolicLinkIsFollowedAndStaysALink) {
  fs::create_directory("real");
  Write("real/site.tbl", "old");
  fs::create_symlink("real/site.tbl", "site.tbl");
  const TTableWrite written = WriteTableFileSafely("site.tbl", Pattern(1));
  ASSERT_TRUE(written.Ok) << written.Error;
  EXPECT_TRUE(fs::is_symlink("site.tbl"));
  EXPECT_EQ(fs::read_symlink("site.tbl"), "real/site.tbl");
  EXPECT_EQ(ReadTableFile("real/site.tbl").Block, Pattern(1));
  EXPECT_EQ(Read("site.BAK"), "old") << "the backup is named after the name saved to";
  EXPECT_TRUE(Temporaries(dir).empty());
  EXPECT_TRUE(Temporaries(dir / "real").empty());

  // A chain of links, one of them relative to its own folder, and one to a file not made yet.
  fs::create_directory("links");
  fs::create_symlink("../site.tbl", "links/chain.tbl");
  ASSERT_TRUE(WriteFileAtomically("links/chain.tbl", Pattern(2)).Ok);
  EXPECT_TRUE(fs::is_symlink("links/chain.tbl"));
  EXPECT_EQ(ReadTableFile("real/site.tbl").Block, Pattern(2));
  fs::create_symlink("real/new.tbl", "dangling.tbl");
  ASSERT_TRUE(WriteFileAtomically("dangling.tbl", Pattern(3)).Ok);
  EXPECT_TRUE(fs::is_symlink("dangling.tbl"));
  EXPECT_EQ(ReadTableFile("real/new.tbl").Block, Pattern(3));

  fs::create_symlink("loop-b.tbl", "loop-a.tbl");
  fs::create_symlink("loop-a.tbl", "loop-b.tbl");
  const TTableWrite loop = WriteFileAtomically("loop-a.tbl", Pattern(4));
  EXPECT_FALSE(loop.Ok);
  EXPECT_EQ(loop.Error, "Too many levels of symbolic links");
  EXPECT_TRUE(fs::is_symlink("loop-a.tbl"));
}

TEST_F(TableFile, FoldersFifosAndDevicesAreRefusedAndLeftAsTheyAre) {
  fs::create_directory("folder.tbl");
  Write("folder.tbl/inside", "x");
  ASSERT_EQ(::mkfifo("pipe.tbl", 0600), 0);
  fs::create_symlink("pipe.tbl", "to-pipe.tbl");
  // Only root can make a device node, and only root could replace one.
  const bool root = ::geteuid() == 0;
  if (root)
    ASSERT_EQ(::mknod("device.tbl", S_IFCHR | 0600, makedev(1, 3)), 0);
  else
    fs::create_symlink("/dev/null", "device.tbl");
  const std::vector<std::pair<std::string, std::string>> cases{
      {"folder.tbl", "it is a folder, not a table file"},
      {"pipe.tbl", "it is a FIFO, not a table file"},
      {"to-pipe.tbl", "it is a FIFO, not a table file"},
      {"device.tbl", "it is a device, not a table file"}};
  for (const auto& [name, error] : cases) {
    EXPECT_EQ(SaveTargetProblem(name), error) << name;
    for (const bool backup : {true, false}) {
      const TTableWrite written = backup ? WriteTableFileSafely(name, Pattern(6))
                                         : WriteFileAtomically(dir / name, Pattern(6));
      EXPECT_FALSE(written.Ok) << name;
      EXPECT_FALSE(written.Replaced) << name;
      EXPECT_EQ(written.Error, error) << name;
    }
  }
  EXPECT_EQ(Read("folder.tbl/inside"), "x");
  EXPECT_TRUE(fs::is_fifo("pipe.tbl"));
  EXPECT_TRUE(fs::is_symlink("to-pipe.tbl"));
  EXPECT_TRUE(root ? fs::is_character_file(fs::symlink_status("device.tbl"))
                   : fs::is_symlink("device.tbl"));
  EXPECT_FALSE(fs::exists("folder.BAK") || fs::exists("pipe.BAK") || fs::exists("device.BAK"));
  EXPECT_TRUE(Temporaries(dir).empty());
  EXPECT_EQ(SaveTargetProblem("plain.tbl"), "");
}

TEST_F(TableFile, AFailedWriteIntoAReadOnlyFolderLeavesTheOldFileWhole) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root writes into read-only folders; run as a normal user";
  fs::create_directory("locked");
  Write("locked/site.tbl", "precious");
  fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec);
  const TTableWrite written = WriteTableFileSafely(dir / "locked" / "site.tbl", Pattern(4));
  EXPECT_FALSE(written.Ok);
  EXPECT_EQ(written.Error, "Permission denied");
  EXPECT_EQ(Read("locked/site.tbl"), "precious");
  EXPECT_FALSE(fs::exists("site.BAK"));
}

TEST_F(TableFile, AWriteIntoAMissingFolderFailsWithoutSideEffects) {
  Write("keep.tbl", "unrelated");
  const TTableWrite written = WriteTableFileSafely(dir / "nowhere" / "keep.tbl", Pattern(5));
  EXPECT_FALSE(written.Ok);
  EXPECT_EQ(written.Error, "No such file or directory");
  EXPECT_FALSE(fs::exists("keep.BAK")) << "no backup without a new file";
  EXPECT_EQ(Read("keep.tbl"), "unrelated");
}

TEST_F(TableFile, AFolderThatCannotBeFlushedIsReportedAfterTheFileIsInPlace) {
  Write("site.tbl", "old");
  gFolderSyncError = EIO;
  const TTableWrite written = WriteTableFileSafely("site.tbl", Pattern(7));
  gFolderSyncError = 0;
  EXPECT_FALSE(written.Ok);
  EXPECT_TRUE(written.Replaced);
  EXPECT_TRUE(written.BackedUp);
  EXPECT_EQ(written.Error, "the new file is in place, but its folder could not be flushed to "
                           "disk (Input/output error)");
  EXPECT_EQ(ReadTableFile("site.tbl").Block, Pattern(7));
  EXPECT_EQ(Read("site.BAK"), "old");
}

TEST_F(TableFile, AtomicWriteReplacesWithoutBackup) {
  Write("out.tbl", "old");
  const TTableWrite written = WriteFileAtomically(dir / "out.tbl", Pattern(7));
  ASSERT_TRUE(written.Ok);
  EXPECT_FALSE(written.BackedUp);
  EXPECT_FALSE(fs::exists("out.BAK"));
  EXPECT_EQ(ReadTableFile("out.tbl").Block, Pattern(7));
}

// --- On file systems of their own ------------------------------------------------------------

// Runs `body` in a child process that has its own mount namespace (in an unprivileged user
// namespace when not root) with a small tmpfs mounted at `mount`. The body returns what went
// wrong, empty when nothing did. Skips the test where the machine does not allow the mount.
class TableFileOnItsOwnFileSystem : public TableFile {
protected:
  void InNamespace(const fs::path& mount, const std::string& options,
                   const std::function<std::string()>& body) {
    fs::create_directories(mount);
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(channel[0]);
      const auto say = [&](char kind, const std::string& text) {
        const std::string message = kind + text;
        if (::write(channel[1], message.data(), message.size()) < 0)
          ::_exit(3);
        ::_exit(0);
      };
      const auto writeFile = [](const char* path, const std::string& text) {
        std::ofstream out(path);
        out << text;
        out.close();
        return !out.fail();
      };
      if (uid != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
          say('S', std::string("no user namespace: ") + std::strerror(errno));
        if (!writeFile("/proc/self/setgroups", "deny") ||
            !writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
          say('S', "the user namespace's ids could not be mapped");
      } else if (::unshare(CLONE_NEWNS) != 0) {
        say('S', std::string("no mount namespace: ") + std::strerror(errno));
      }
      // Nothing mounted here may reach the machine's own namespace.
      if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        say('S', std::string("mounts cannot be made private: ") + std::strerror(errno));
      if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, options.c_str()) != 0)
        say('S', std::string("tmpfs cannot be mounted: ") + std::strerror(errno));
      say('R', body());
    }
    ::close(channel[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
      report.append(buffer, static_cast<std::size_t>(n));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ASSERT_FALSE(report.empty());
    if (report[0] == 'S')
      GTEST_SKIP() << "this machine cannot mount a test file system: " << report.substr(1);
    EXPECT_EQ(report.substr(1), "");
  }
};

// Collects what a body finds wrong, one line each.
struct TFindings {
  std::ostringstream Lines;
  void Check(bool ok, const std::string& what) {
    if (!ok)
      Lines << what << "\n";
  }
  std::string Text() const { return Lines.str(); }
};

TEST_F(TableFileOnItsOwnFileSystem, AFullFileSystemLeavesTheOldFileWhole) {
  const fs::path mount = dir / "full";
  InNamespace(mount, "size=64k", [&] {
    TFindings f;
    const std::string old = AsText(Pattern(1));
    Write(mount / "site.tbl", old);
    {
      std::ofstream filler(mount / "filler", std::ios::binary);
      const std::string block(4096, 'f');
      while (filler.write(block.data(), block.size()))
        filler.flush();
    }
    fs::current_path(mount);
    for (const bool backup : {true, false}) {
      const TTableWrite written = backup ? WriteTableFileSafely("site.tbl", Pattern(2))
                                         : WriteFileAtomically(mount / "site.tbl", Pattern(2));
      f.Check(!written.Ok && !written.Replaced, "the save did not fail");
      f.Check(written.Error == "No space left on device", "error: " + written.Error);
    }
    f.Check(Read(mount / "site.tbl") == old, "the old file changed");
    f.Check(!fs::exists(mount / "site.BAK"), "a backup was made without a new file");
    f.Check(Temporaries(mount).empty(), "a temporary file was left behind");
    return f.Text();
  });
}

TEST_F(TableFileOnItsOwnFileSystem, AReadOnlyFileSystemRefusesEvenRoot) {
  const fs::path mount = dir / "ro";
  InNamespace(mount, "size=64k", [&] {
    TFindings f;
    Write(mount / "site.tbl", "precious");
    f.Check(::mount("none", mount.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0,
            std::string("remount: ") + std::strerror(errno));
    const TTableWrite written = WriteTableFileSafely(mount / "site.tbl", Pattern(2));
    f.Check(!written.Ok, "the save did not fail");
    f.Check(written.Error == "Read-only file system", "error: " + written.Error);
    f.Check(Read(mount / "site.tbl") == "precious", "the old file changed");
    f.Check(!fs::exists("site.BAK"), "a backup was made without a new file");
    return f.Text();
  });
}

TEST_F(TableFileOnItsOwnFileSystem, ABackupOnAnotherFileSystemIsACopy) {
  const fs::path mount = dir / "stick";
  InNamespace(mount, "size=64k", [&] {
    TFindings f;
    Write(mount / "site.tbl", "old content");
    // The working directory stays outside the mount: no second name can cross over.
    const TTableWrite written = WriteTableFileSafely(mount / "site.tbl", Pattern(3));
    f.Check(written.Ok, "save: " + written.Error);
    f.Check(written.BackedUp, "no backup");
    f.Check(Read(dir / "site.BAK") == "old content", "backup: " + Read(dir / "site.BAK"));
    f.Check(ReadTableFile(mount / "site.tbl").Block == Pattern(3), "the new file is wrong");
    return f.Text();
  });
}

TEST_F(TableFileOnItsOwnFileSystem, ABackupFollowedByARenameThatFailsOnAMountPoint) {
  const fs::path mount = dir / "busy";
  InNamespace(mount, "size=64k", [&] {
    TFindings f;
    // A file mounted over the table: it can be read and copied, never renamed over.
    Write(mount / "site.tbl", "underneath");
    Write(mount / "cover", "precious");
    f.Check(::mount((mount / "cover").c_str(), (mount / "site.tbl").c_str(), nullptr, MS_BIND,
                    nullptr) == 0,
            std::string("bind: ") + std::strerror(errno));
    fs::current_path(mount);
    const TTableWrite written = WriteTableFileSafely("site.tbl", Pattern(4));
    f.Check(!written.Ok && !written.Replaced, "the save did not fail");
    f.Check(written.Error == "Device or resource busy", "error: " + written.Error);
    f.Check(Read("site.tbl") == "precious", "the file changed");
    f.Check(!fs::exists("site.BAK"), "the backup made for the save is still there");
    f.Check(Temporaries(mount).empty(), "a temporary file was left behind");
    fs::current_path(dir);
    return f.Text();
  });
}

} // namespace
