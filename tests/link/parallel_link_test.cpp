// Several links at once, each in its own thread on its own port and state, as the
// command-line tool runs them: none disturbs another, and one that fails leaves the others.

#include "image/table_file.h"
#include "link/link_operations.h"
#include "sim_process.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

namespace fs = std::filesystem;

TImageBytes Sample(std::uint32_t capcode) {
  TConfigImage image;
  image.WriteU32(TConfigImage::CapcodeRecordOffset(0), capcode);
  image.StoreChecksum();
  return image.Bytes();
}

struct TPortRun {
  std::vector<std::string> Messages;
  TOutcome Linked = TOutcome::Refused, Read = TOutcome::Refused, Written = TOutcome::Refused,
           Verified = TOutcome::Refused;
  TImageBytes ReadBack{}, VerifiedBack{};
};

// Link, read, write `next`, verify it: the whole round on one port, up to the first failure.
void Round(const std::string& port, const TImageBytes& next, TPortRun& run) {
  TLinkState state;
  state.Ports.Slots[0] = port;
  state.Ports.Count = 1;
  TLinkHost host;
  host.Message = [&run](const std::string& text) { run.Messages.push_back(text); };
  CompleteHost(host);
  run.Linked = LinkEncoder(state, host);
  if (run.Linked != TOutcome::Success)
    return;
  TConfigImage image;
  run.Read = ReadEncoder(state, host, image, {});
  run.ReadBack = image.Bytes();
  if (run.Read != TOutcome::Success)
    return;
  image.Assign(next);
  run.Written = WriteEncoder(state, host, image);
  if (run.Written != TOutcome::Success)
    return;
  run.Verified = VerifyEncoder(state, host, image, &run.VerifiedBack);
}

class TParallelLink : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/kx470-parallel-XXXXXX";
    dir = mkdtemp(pattern);
  }
  void TearDown() override {
    sims.clear();
    fs::remove_all(dir);
  }
  std::string File(const std::string& name, const TImageBytes& bytes) {
    const TTableWrite written = WriteFileAtomically(dir / name, bytes);
    EXPECT_TRUE(written.Ok) << written.Error;
    return (dir / name).string();
  }
  fs::path dir;
  std::vector<std::unique_ptr<TSimProcess>> sims;
};

TEST_F(TParallelLink, FourPortsAtOnceEachGetTheirOwnImage) {
  constexpr std::size_t kPorts = 4;
  std::vector<std::string> ports;
  for (std::size_t i = 0; i < kPorts; ++i) {
    const auto n = static_cast<std::uint32_t>(i);
    std::vector<std::string> options{"--image", File("in" + std::to_string(i), Sample(10 + n)),
                                     "--save", (dir / ("out" + std::to_string(i))).string()};
    // The last encoder stalls in the read, past the link's time-out.
    if (i == kPorts - 1)
      options.insert(options.end(), {"--stall-block", "6"});
    sims.push_back(std::make_unique<TSimProcess>(options));
    ASSERT_FALSE(sims.back()->Path.empty());
    ports.push_back(sims.back()->Path);
  }
  std::vector<TPortRun> runs(kPorts);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < kPorts; ++i)
    threads.emplace_back(Round, ports[i], Sample(500 + static_cast<std::uint32_t>(i)),
                         std::ref(runs[i]));
  for (auto& thread : threads)
    thread.join();

  for (std::size_t i = 0; i < kPorts; ++i) {
    const auto n = static_cast<std::uint32_t>(i);
    const TPortRun& run = runs[i];
    ASSERT_EQ(run.Linked, TOutcome::Success) << i;
    if (i == kPorts - 1) {
      EXPECT_EQ(run.Read, TOutcome::Failed);
      EXPECT_EQ(run.Messages, (std::vector<std::string>{"Link Success", "Read Timeout !"}));
      EXPECT_FALSE(fs::exists(dir / ("out" + std::to_string(i))));
      continue;
    }
    EXPECT_EQ(run.Read, TOutcome::Success) << i;
    EXPECT_EQ(run.ReadBack, Sample(10 + n)) << "each thread read its own encoder";
    EXPECT_EQ(run.Written, TOutcome::Success) << i;
    EXPECT_EQ(run.Verified, TOutcome::Success) << i;
    EXPECT_EQ(run.VerifiedBack, Sample(500 + n)) << "verify hands back what the encoder holds";
    EXPECT_EQ(ReadTableFile(dir / ("out" + std::to_string(i))).Block, Sample(500 + n));
    EXPECT_EQ(run.Messages, (std::vector<std::string>{"Link Success", "Read Success",
                                                      "Write Success", "Verify success !"}));
  }
}

TEST_F(TParallelLink, AFailedVerifyStillHandsBackTheEncodersImage) {
  sims.push_back(
      std::make_unique<TSimProcess>(std::vector<std::string>{"--image", File("in", Sample(42))}));
  TLinkState state;
  state.Ports.Slots[0] = sims[0]->Path;
  state.Ports.Count = 1;
  TLinkHost host;
  CompleteHost(host);
  ASSERT_EQ(LinkEncoder(state, host), TOutcome::Success);
  TConfigImage image;
  image.Assign(Sample(43));
  TImageBytes back{};
  EXPECT_EQ(VerifyEncoder(state, host, image, &back), TOutcome::Failed);
  EXPECT_EQ(back, Sample(42));
  EXPECT_EQ(image.Bytes(), Sample(43));
}

} // namespace
