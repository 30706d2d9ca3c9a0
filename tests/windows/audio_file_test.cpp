// A page's audio written to a file on a Windows file system: the whole WAV file, a file
// replaced whole, and a refused write that leaves the old file as it was.

#include "pocsag/transmission.h"

#include "portable.h"

#include <windows.h>

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string Content(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TTransmission OnePage() {
  const std::uint32_t data[] = {0x12345};
  TTransmission page;
  page.BitRate = 1200;
  page.Batches = BuildBatches(8, 3, data);
  return page;
}

TEST(TWindowsAudioFile, AWavFileHoldsEverySampleAndReplacesTheOldFileWhole) {
  const fs::path dir = MakeTemporaryFolder("kx470-audio");
  const fs::path file = dir / "page.wav";
  { std::ofstream(file, std::ios::binary) << "old"; }
  const TTransmission page = OnePage();
  std::string error;
  ASSERT_TRUE(WriteAudioFile(file.string(), true, page, error)) << error;
  const std::string wav = Content(file);
  // A text-mode write would have turned some sample bytes 0x0A into 0x0D 0x0A.
  ASSERT_EQ(wav.size(), 44 + AudioSampleCount(page) * 2);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(8, 4), "WAVE");
  // Nothing is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  ASSERT_TRUE(WriteAudioFile(file.string(), false, page, error)) << error;
  EXPECT_EQ(Content(file).size(), AudioSampleCount(page) * 2);
  fs::remove_all(dir);
}

TEST(TWindowsAudioFile, AReadOnlyFileOrAFolderIsRefusedAndKeptAsItWas) {
  const fs::path dir = MakeTemporaryFolder("kx470-audio");
  const fs::path file = dir / "page.raw";
  { std::ofstream(file, std::ios::binary) << "old"; }
  ASSERT_TRUE(SetFileAttributesA(file.string().c_str(), FILE_ATTRIBUTE_READONLY));
  std::string error;
  EXPECT_FALSE(WriteAudioFile(file.string(), false, OnePage(), error));
  EXPECT_NE(error.find("page.raw"), std::string::npos) << error;
  EXPECT_EQ(Content(file), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  SetFileAttributesA(file.string().c_str(), FILE_ATTRIBUTE_NORMAL);

  error.clear();
  EXPECT_FALSE(WriteAudioFile(dir.string(), false, OnePage(), error));
  EXPECT_NE(error.find("folder"), std::string::npos) << error;
  fs::remove_all(dir);
}

} // namespace
