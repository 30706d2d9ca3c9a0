#pragma once
// Runs kx470-cli for a test, and the fixture its tests share.

#include "../link/sim_process.h"
#include "image/config_image.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

// A program's output as its lines, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

struct TRun {
  int Exit = -1;
  std::string Out, Err;
};

// Runs a shell command line with standard input from /dev/null; gives its exit status and what
// it wrote.
inline TRun RunShell(std::string command) {
  static int serial = 0;
  const std::string base =
      "/tmp/kx470-run-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
  command = "{ " + command + "; } >" + base + ".out 2>" + base + ".err </dev/null";
  TRun run;
  const int status = std::system(command.c_str());
  run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto slurp = [](const std::string& path) {
    std::ifstream in(path);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    fs::remove(path);
    return text;
  };
  run.Out = slurp(base + ".out");
  run.Err = slurp(base + ".err");
  return run;
}

// `environment`: NAME=value settings for this run only.
inline TRun Cli(const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment = {}) {
  // A command that hangs (on a FIFO, say) fails instead of holding up the suite.
  std::string command = "timeout 60 ";
  if (!environment.empty()) {
    command += "env";
    for (const auto& setting : environment)
      command += " '" + setting + "'";
    command += " ";
  }
  command += KX470_BINARY_DIR "/tools/cli/kx470-cli";
  for (const auto& a : arguments)
    command += " '" + a + "'";
  return RunShell(command);
}

class TCliBase : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/kx470-clitest-XXXXXX";
    dir = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Table(const std::string& name, const TImageBytes& bytes) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path.string();
  }
  static TImageBytes Valid(std::uint32_t capcode = 1234) {
    TConfigImage image;
    image.WriteU32(TConfigImage::CapcodeRecordOffset(0), capcode);
    image.StoreChecksum();
    return image.Bytes();
  }
  fs::path dir;
};
