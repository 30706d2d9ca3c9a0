#include "image/table_file.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

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
    fs::current_path(previous);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
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
  fs::path previous, dir;
};

} // namespace

TEST_F(TableFile, WriteThenReadGivesTheSameBytes) {
  const TImageBytes bytes = Pattern(3);
  const TTableWrite written = WriteTableFileSafely(dir / "site1.tbl", bytes);
  ASSERT_TRUE(written.Ok) << written.Error;
  EXPECT_FALSE(written.BackedUp);
  EXPECT_EQ(fs::file_size(dir / "site1.tbl"), kImageSize);
  const TTableRead read = ReadTableFile(dir / "site1.tbl");
  ASSERT_TRUE(read.Ok);
  EXPECT_EQ(read.FileSize, kImageSize);
  EXPECT_EQ(read.Block, bytes);
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_EQ(entry.path().extension(), ".tbl") << "no temporary file is left behind";
}

TEST_F(TableFile, LongerFilesAreReadUpTo2048Bytes) {
  const TImageBytes bytes = Pattern(9);
  Write("long.tbl", std::string(bytes.begin(), bytes.end()) + "trailing data");
  const TTableRead read = ReadTableFile("long.tbl");
  ASSERT_TRUE(read.Ok);
  EXPECT_EQ(read.FileSize, kImageSize + 13);
  EXPECT_EQ(read.Block, bytes);
}

TEST_F(TableFile, ShortFilesAreZeroFilled) {
  Write("short.tbl", std::string(100, '\x11'));
  const TTableRead read = ReadTableFile("short.tbl");
  ASSERT_TRUE(read.Ok);
  EXPECT_EQ(read.FileSize, 100u);
  EXPECT_EQ(read.Block[99], 0x11);
  EXPECT_EQ(read.Block[100], 0x00);
  EXPECT_EQ(read.Block[kImageSize - 1], 0x00);
}

TEST_F(TableFile, MissingFilesAndFoldersAreReported) {
  EXPECT_FALSE(ReadTableFile("absent.tbl").Ok);
  fs::create_directory("folder.tbl");
  const TTableRead folder = ReadTableFile("folder.tbl");
  EXPECT_FALSE(folder.Ok);
  EXPECT_FALSE(folder.Error.empty());
}

TEST_F(TableFile, BackupNameDropsFolderAndExtension) {
  EXPECT_EQ(BackupName("/data/site1.tbl"), "site1.BAK");
  EXPECT_EQ(BackupName("C:\\data\\site1.tbl"), "site1.BAK");
  EXPECT_EQ(BackupName("default.tbl"), "default.BAK");
  EXPECT_EQ(BackupName("noext"), "noext.BAK");
  EXPECT_EQ(BackupName("/a.b/c.d.tbl"), "c.d.BAK");
}

TEST_F(TableFile, OverwritingKeepsTheOldFileAsBackupInTheWorkingDirectory) {
  fs::create_directory("data");
  Write("data/site1.tbl", "old content");
  const TTableWrite written = WriteTableFileSafely(dir / "data" / "site1.tbl", Pattern(1));
  ASSERT_TRUE(written.Ok);
  EXPECT_TRUE(written.BackedUp);
  EXPECT_EQ(Read(dir / "site1.BAK"), "old content") << "the backup lands in the working directory";
  EXPECT_EQ(ReadTableFile(dir / "data" / "site1.tbl").Block, Pattern(1));
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

TEST_F(TableFile, AFailedWriteLeavesTheOldFileWhole) {
  if (geteuid() == 0)
    GTEST_SKIP() << "root writes into read-only folders";
  fs::create_directory("locked");
  Write("locked/site.tbl", "precious");
  fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec);
  const TTableWrite written = WriteTableFileSafely(dir / "locked" / "site.tbl", Pattern(4));
  fs::permissions("locked", fs::perms::owner_all);
  EXPECT_FALSE(written.Ok);
  EXPECT_FALSE(written.Error.empty());
  EXPECT_EQ(Read("locked/site.tbl"), "precious");
  EXPECT_FALSE(fs::exists("site.BAK"));
}

TEST_F(TableFile, AWriteIntoAMissingFolderFailsWithoutSideEffects) {
  Write("keep.tbl", "unrelated");
  const TTableWrite written = WriteTableFileSafely(dir / "nowhere" / "keep.tbl", Pattern(5));
  EXPECT_FALSE(written.Ok);
  EXPECT_FALSE(written.Error.empty());
  EXPECT_FALSE(fs::exists("keep.BAK")) << "no backup without a new file";
  EXPECT_EQ(Read("keep.tbl"), "unrelated");
}

TEST_F(TableFile, AFullDiskNeverTruncatesTheOldFile) {
  // /dev/full fails every write with ENOSPC; a folder on it is not available, so the same
  // fault is made by writing next to a target that is a folder: the rename fails at the end.
  fs::create_directory("target.tbl");
  Write("target.tbl/inside", "x");
  const TTableWrite written = WriteTableFileSafely(dir / "target.tbl", Pattern(6));
  EXPECT_FALSE(written.Ok);
  EXPECT_TRUE(fs::is_directory("target.tbl"));
  EXPECT_EQ(Read("target.tbl/inside"), "x");
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_NE(entry.path().extension(), ".tmp") << "the temporary file is removed";
}

TEST_F(TableFile, AtomicWriteReplacesWithoutBackup) {
  Write("out.tbl", "old");
  const TTableWrite written = WriteFileAtomically(dir / "out.tbl", Pattern(7));
  ASSERT_TRUE(written.Ok);
  EXPECT_FALSE(written.BackedUp);
  EXPECT_FALSE(fs::exists("out.BAK"));
  EXPECT_EQ(ReadTableFile("out.tbl").Block, Pattern(7));
}
