// Times kx470-cli writing and verifying one configuration on one paced simulator and on four
// at once (--port given four times), and compares the two: the four run in parallel, so
// they should take hardly longer than one.
//   build/bench/parallel_bench [rounds] [ports]

#include "image/config_image.h"
#include "image/table_file.h"
#include "tests/link/sim_process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs kx470-cli on `ports`; false when it fails.
bool Cli(const std::string& command, const std::vector<std::string>& ports,
         const std::string& file) {
  std::string line = KX470_BINARY_DIR "/tools/cli/kx470-cli " + command + " --quiet";
  for (const std::string& port : ports)
    line += " --port '" + port + "'";
  line += " '" + file + "' </dev/null";
  return std::system(line.c_str()) == 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int many = argc > 2 ? std::max(2, std::atoi(argv[2])) : 4;
  char pattern[] = "/tmp/kx470-parallel-bench-XXXXXX";
  const fs::path dir = ::mkdtemp(pattern);
  TConfigImage image;
  image.WriteU32(TConfigImage::CapcodeRecordOffset(0), 1234567);
  image.StoreChecksum();
  const std::string file = (dir / "site.tbl").string();
  if (!WriteFileAtomically(file, image.Bytes()).Ok) {
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return 1;
  }
  std::vector<std::unique_ptr<TSimProcess>> sims;
  std::vector<std::string> ports;
  for (int i = 0; i < many; ++i) {
    sims.push_back(std::make_unique<TSimProcess>(std::vector<std::string>{"--pace"}));
    if (sims.back()->Path.empty()) {
      std::fprintf(stderr, "the simulator did not start\n");
      return 1;
    }
    ports.push_back(sims.back()->Path);
  }
  const std::vector<std::string> one{ports.front()};
  std::vector<double> single, parallel;
  bool ok = true;
  // Alternating the two spreads any drift of the machine over both.
  for (int round = 0; round < rounds && ok; ++round) {
    for (const bool all : {false, true}) {
      const std::vector<std::string>& used = all ? ports : one;
      const double start = Now();
      ok = Cli("write", used, file) && Cli("verify", used, file);
      const double took = Now() - start;
      (all ? parallel : single).push_back(took);
      std::printf("round %d  %d port%s  write + verify %6.3f s\n", round + 1,
                  static_cast<int>(used.size()), all ? "s" : " ", took);
      if (!ok)
        std::fprintf(stderr, "kx470-cli failed on %d port(s)\n", static_cast<int>(used.size()));
    }
  }
  fs::remove_all(dir);
  if (!ok)
    return 1;
  const double ratio = Median(parallel) / Median(single);
  std::printf("median: 1 port %.3f s, %d ports %.3f s, ratio %.3f (at most 1.15: %s)\n",
              Median(single), many, Median(parallel), ratio, ratio <= 1.15 ? "yes" : "NO");
  return ratio <= 1.15 ? 0 : 2;
}
