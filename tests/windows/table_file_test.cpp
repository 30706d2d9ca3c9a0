// Table files on a Windows file system: reading, the complete-or-nothing save with its backup,
// and what a save that fails leaves behind.

#include "image/table_file.h"

#include "portable.h"

#include <windows.h>

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

TImageBytes Sample(std::uint8_t fill) {
  TImageBytes bytes{};
  bytes.fill(fill);
  return bytes;
}

std::string Content(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string AsText(const TImageBytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class TWindowsTable : public ::testing::Test {
protected:
  void SetUp() override {
    dir = MakeTemporaryFolder("kx470-table");
    previous = fs::current_path();
    // The backup goes to the working directory, as the file dialogs leave it.
    fs::current_path(dir);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(dir);
  }
  // Everything in the folder but the files named.
  std::vector<std::string> Others(std::initializer_list<const char*> known) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      if (std::find(known.begin(), known.end(), name) == known.end())
        others.push_back(name);
    }
    return others;
  }
  fs::path dir, previous;
};

TEST_F(TWindowsTable, SaveReplacesAndKeepsTheFirstBackup) {
  const fs::path table = dir / "plant.tbl";
  TTableWrite first = WriteTableFileSafely(table, Sample(1));
  ASSERT_TRUE(first.Ok) << first.Error;
  EXPECT_FALSE(first.BackedUp) << "nothing to back up yet";
  EXPECT_EQ(Content(table), AsText(Sample(1)));

  TTableWrite second = WriteTableFileSafely(table, Sample(2));
  ASSERT_TRUE(second.Ok) << second.Error;
  EXPECT_TRUE(second.BackedUp);
  EXPECT_EQ(Content(table), AsText(Sample(2)));
  EXPECT_EQ(Content(dir / "plant.BAK"), AsText(Sample(1)));

  TTableWrite third = WriteTableFileSafely(table, Sample(3));
  ASSERT_TRUE(third.Ok) << third.Error;
  EXPECT_FALSE(third.BackedUp) << "an existing backup is kept";
  EXPECT_EQ(Content(dir / "plant.BAK"), AsText(Sample(1)));
  EXPECT_EQ(Content(table), AsText(Sample(3)));
  EXPECT_EQ(Others({"plant.tbl", "plant.BAK"}), std::vector<std::string>{})
      << "no temporary file is left";

  const TTableRead read = ReadTableFile(table);
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_EQ(read.Block, Sample(3));
  EXPECT_EQ(read.FileSize, kImageSize);
}

TEST_F(TWindowsTable, WhatIsNoTableFileIsRefusedWithItsReason) {
  fs::create_directory(dir / "folder.tbl");
  EXPECT_EQ(ReadTableFile(dir / "folder.tbl").Error, "it is a folder, not a table file");
  EXPECT_EQ(SaveTargetProblem(dir / "folder.tbl"), "it is a folder, not a table file");
  EXPECT_FALSE(WriteTableFileSafely(dir / "folder.tbl", Sample(1)).Ok);
  EXPECT_TRUE(fs::is_directory(dir / "folder.tbl"));

  std::ofstream(dir / "short.tbl", std::ios::binary) << std::string(100, 'x');
  const TTableRead shortRead = ReadTableFile(dir / "short.tbl");
  EXPECT_FALSE(shortRead.Ok);
  EXPECT_TRUE(shortRead.TooShort);
  EXPECT_EQ(shortRead.Error, "it holds 100 bytes; a table file holds 2048");
  EXPECT_EQ(shortRead.Block, TImageBytes{}) << "nothing of a short file is used";

  const TTableRead missing = ReadTableFile(dir / "missing.tbl");
  EXPECT_FALSE(missing.Ok);
  EXPECT_FALSE(missing.Error.empty());
  EXPECT_EQ(missing.Error.find('\n'), std::string::npos) << missing.Error;
  EXPECT_EQ(SaveTargetProblem(dir / "missing.tbl"), "") << "a new file can be saved";

  std::ofstream(dir / "long.tbl", std::ios::binary) << AsText(Sample(7)) << "tail";
  const TTableRead longRead = ReadTableFile(dir / "long.tbl");
  ASSERT_TRUE(longRead.Ok) << longRead.Error;
  EXPECT_EQ(longRead.Block, Sample(7));
  EXPECT_EQ(longRead.FileSize, kImageSize + 4);
}

TEST_F(TWindowsTable, AFailedReplaceLosesNothing) {
  const fs::path table = dir / "held.tbl";
  ASSERT_TRUE(WriteFileAtomically(table, Sample(1)).Ok);
  // Another program holds the file open without sharing it: it cannot be replaced.
  HANDLE held = CreateFileW(table.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const TTableWrite write = WriteTableFileSafely(table, Sample(2));
  CloseHandle(held);
  EXPECT_FALSE(write.Ok);
  EXPECT_FALSE(write.Replaced);
  EXPECT_FALSE(write.BackedUp);
  EXPECT_FALSE(write.Error.empty());
  EXPECT_EQ(Content(table), AsText(Sample(1)));
  EXPECT_EQ(Others({"held.tbl"}), std::vector<std::string>{})
      << "neither the temporary file nor a backup is left";

  // A read-only file is not replaced, and nothing is added beside it.
  ASSERT_TRUE(SetFileAttributesW(table.c_str(), FILE_ATTRIBUTE_READONLY));
  const TTableWrite readOnly = WriteTableFileSafely(table, Sample(3));
  SetFileAttributesW(table.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(readOnly.Ok);
  EXPECT_FALSE(readOnly.Error.empty());
  EXPECT_EQ(Content(table), AsText(Sample(1)));
  EXPECT_EQ(Others({"held.tbl"}), std::vector<std::string>{});

  // A folder that does not exist takes no temporary file either.
  const TTableWrite nowhere = WriteTableFileSafely(dir / "none" / "x.tbl", Sample(3));
  EXPECT_FALSE(nowhere.Ok);
  EXPECT_FALSE(nowhere.Error.empty());
}

} // namespace
