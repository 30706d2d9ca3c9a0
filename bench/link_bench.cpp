// Times link, read, write and verify against the simulator sending at the real line rate, and
// compares each with the time its bytes need on the wire.
//   build/bench/link_bench [rounds]

#include "link/link_operations.h"
#include "tests/link/sim_process.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Cpu() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

constexpr double kByte19200 = 10.0 / 19200;
constexpr double kByte9600 = 10.0 / 9600;

struct TResult {
  double Wall = 0, Cpu = 0;
};

template <typename F> TResult Measure(F operation) {
  const double wall = Now(), cpu = Cpu();
  operation();
  return {Now() - wall, Cpu() - cpu};
}

// `wire`: every byte exchanged, one after the other, at the line rate (plus the entry
// sequence at 9600 baud and the 200 ms wait of a link). `paced`: the part of it that really
// passes on a pseudo terminal, where only the simulator's bytes are held to the line rate and
// the tool's own go through at once.
void Report(const char* name, const TResult& r, double wire, double paced) {
  std::printf("%-7s wall %7.3f s  cpu %6.3f s (%4.1f %% of wall)  wire %6.3f s  x%.3f"
              "  paced %6.3f s  x%.3f\n",
              name, r.Wall, r.Cpu, 100.0 * r.Cpu / r.Wall, wire, r.Wall / wire, paced,
              r.Wall / paced);
}

} // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  TSimProcess sim({"--pace"});
  if (sim.Path.empty()) {
    std::fprintf(stderr, "the simulator did not start\n");
    return 1;
  }
  TLinkState state;
  state.Ports.Slots[0] = sim.Path;
  state.Ports.Count = 1;
  TLinkHost host;
  bool ok = true;
  host.Message = [&](const std::string& text) {
    if (text.find("Success") == std::string::npos && text.find("success") == std::string::npos) {
      std::fprintf(stderr, "failed: %s\n", text.c_str());
      ok = false;
    }
  };
  CompleteHost(host);
  // Bytes on the wire: commands, 8-byte replies, data frames.
  constexpr double kCommand = kFrameOverhead, kReply = kReplyLength;
  constexpr double kIdentFrame = kIdentificationSize + kFrameOverhead;
  constexpr double kBlockFrame = kBlockSize + kFrameOverhead;
  constexpr double kResultFrame = 1 + kFrameOverhead;
  constexpr double kBlocks = kBlockCount;
  const double entryWait = static_cast<double>(kEntryWaitMicroseconds) * 1e-6;
  const double entry = sizeof kEntrySequence * kByte9600 + entryWait;
  const double linkWire = entry + (kCommand + kReply + kIdentFrame) * kByte19200;
  const double readWire = kBlocks * (kCommand + kReply + kBlockFrame) * kByte19200;
  const double writeWire = kBlocks * (kBlockFrame + kReply + kResultFrame) * kByte19200;
  const double linkPaced = entryWait + (kReply + kIdentFrame) * kByte19200;
  const double readPaced = kBlocks * (kReply + kBlockFrame) * kByte19200;
  const double writePaced = kBlocks * (kReply + kResultFrame) * kByte19200;
  TConfigImage image;
  for (int round = 0; round < rounds && ok; ++round) {
    std::printf("round %d\n", round + 1);
    Report("link", Measure([&] { ok &= LinkEncoder(state, host) == TOutcome::Success; }), linkWire,
           linkPaced);
    Report("read", Measure([&] { ok &= ReadEncoder(state, host, image, {}) == TOutcome::Success; }),
           readWire, readPaced);
    Report("write", Measure([&] { ok &= WriteEncoder(state, host, image) == TOutcome::Success; }),
           writeWire, writePaced);
    Report("verify", Measure([&] { ok &= VerifyEncoder(state, host, image) == TOutcome::Success; }),
           readWire, readPaced);
  }
  return ok ? 0 : 1;
}
