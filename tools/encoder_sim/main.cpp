// kx470-sim: the encoder on a pseudo terminal, for tests, benchmarks and the demo.

#include "app/version.h"
#include "image/config_image.h"
#include "image/table_file.h"
#include "tools/encoder_sim/encoder_model.h"
#include "tools/encoder_sim/pty_line.h"
#include "tools/encoder_sim/sim_options.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kProgram = "kx470-sim";

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void OnStopSignal(int signal) {
  gStopSignal = signal;
}

void Complain(const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
}

// Only a real, complete table file is served (a short one is refused by the read); anything
// else is most likely the wrong file.
bool LoadImage(const std::string& path, TImageBytes& image) {
  const TTableRead read = ReadTableFile(path);
  if (!read.Ok) {
    Complain("cannot read the image " + path + ": " + read.Error);
    return false;
  }
  if (!ChecksumValid(read.Block))
    Complain("note: the image " + path + " has a wrong checksum; it is served as it is");
  image = read.Block;
  return true;
}

timespec ToTimespec(sim::TClock::duration d) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
  return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

class TSimulator {
public:
  TSimulator(const sim::TSimOptions& options, const TImageBytes& image)
      : FOptions(options), FModel(image, options.Identity, options.Faults), FSender(options.Pace) {
    FStart = sim::TClock::now();
    if (options.Verbose)
      FModel.SetLogHook([this](const std::string& text) { Log(text); });
    if (!options.SavePath.empty())
      FModel.SetSaveHook([this](const TImageBytes& bytes) { return Save(bytes); });
  }

  int Run(const sigset_t& waitMask);

  bool Open(std::string& error) { return FLine.Open(error); }
  const std::string& SlavePath() const { return FLine.SlavePath(); }

private:
  void Log(const std::string& text) const {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(sim::TClock::now() - FStart);
    std::fprintf(stderr, "%s %7.3f %s\n", kProgram, static_cast<double>(ms.count()) / 1000.0,
                 text.c_str());
  }

  bool Save(const TImageBytes& bytes) const {
    const TTableWrite written = WriteFileAtomically(FOptions.SavePath, bytes);
    if (!written.Ok) {
      Complain("cannot save the image to " + FOptions.SavePath + ": " + written.Error);
      return false;
    }
    if (FOptions.Verbose)
      Log("image saved to " + FOptions.SavePath);
    return true;
  }

  bool ReadFromTool(std::string& error);
  void HangUp();

  const sim::TSimOptions& FOptions;
  sim::TEncoderModel FModel;
  sim::TSender FSender;
  sim::TPtyLine FLine;
  sim::TClock::time_point FStart;
  std::uint64_t FReceived = 0;
};

void TSimulator::HangUp() {
  if (FOptions.Verbose)
    Log("hanging up after " + std::to_string(FReceived) + " bytes");
  FSender.Clear();
  FLine.Close();
}

bool TSimulator::ReadFromTool(std::string& error) {
  std::uint8_t buffer[1024];
  const ssize_t got = ::read(FLine.Master(), buffer, sizeof buffer);
  if (got < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
      return true;
    error = std::string("read from the terminal: ") + std::strerror(errno);
    return false;
  }
  // The speed is taken as the bytes arrive: the tool changes it between the entry sequence and
  // the commands, with a pause in between that is long against this loop's reaction.
  const int baud = FLine.Baud();
  const auto now = sim::TClock::now();
  sim::TBytes out;
  for (ssize_t i = 0; i < got; ++i) {
    FModel.Receive(buffer[i], baud, now, out);
    ++FReceived;
    if (FOptions.HangupAfter && FReceived >= *FOptions.HangupAfter) {
      HangUp();
      return true;
    }
  }
  FSender.Queue(out, now, baud);
  return FSender.Send(FLine.Master(), sim::TClock::now(), baud, error);
}

int TSimulator::Run(const sigset_t& waitMask) {
  while (gStopSignal == 0) {
    if (!FLine.IsOpen()) {
      // The cable is pulled: nothing to serve until we are told to stop.
      ::ppoll(nullptr, 0, nullptr, &waitMask);
      continue;
    }
    const auto now = sim::TClock::now();
    pollfd fd{FLine.Master(), POLLIN, 0};
    if (FSender.WantsWritable())
      fd.events |= POLLOUT;
    const auto wait = FSender.Timeout(now);
    timespec timeout{};
    if (wait)
      timeout = ToTimespec(*wait);
    const int ready = ::ppoll(&fd, 1, wait ? &timeout : nullptr, &waitMask);
    if (ready < 0) {
      if (errno == EINTR)
        continue;
      Complain(std::string("poll: ") + std::strerror(errno));
      return kExitFailure;
    }
    std::string error;
    if ((fd.revents & POLLIN) != 0 && !ReadFromTool(error)) {
      Complain(error);
      return kExitFailure;
    }
    if (!FLine.IsOpen())
      continue;
    if ((fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (fd.revents & POLLIN) == 0) {
      // Nothing should hang up the master while we hold the slave; if something did, stop
      // serving rather than wake up for ever.
      Complain("the terminal was hung up");
      HangUp();
      continue;
    }
    if (!FSender.Empty() &&
        !FSender.Send(FLine.Master(), sim::TClock::now(), FLine.Baud(), error)) {
      Complain(error);
      return kExitFailure;
    }
  }
  if (FOptions.Verbose)
    Log(std::string("stopped by ") + strsignal(gStopSignal));
  return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const sim::TParsedOptions parsed = sim::ParseSimOptions(arguments);
  if (parsed.ShowHelp) {
    std::fputs(sim::SimHelpText(kProgram).c_str(), stdout);
    return kExitOk;
  }
  if (parsed.ShowVersion) {
    std::printf("%s %s\n", kProgram, kProgramVersion);
    return kExitOk;
  }
  if (!parsed.Error.empty()) {
    Complain(parsed.Error);
    std::fprintf(stderr, "Try '%s --help' for the options.\n", kProgram);
    return kExitUsage;
  }
  const sim::TSimOptions& options = parsed.Options;

  TImageBytes image{};
  if (options.ImagePath.empty()) {
    TConfigImage builtIn;
    builtIn.StoreChecksum();
    image = builtIn.Bytes();
  } else if (!LoadImage(options.ImagePath, image)) {
    return kExitUsage;
  }

  // The stop signals are blocked except while waiting, so none can slip in between a check of
  // the flag and the wait.
  sigset_t stopSignals, waitMask;
  sigemptyset(&stopSignals);
  for (int s : {SIGTERM, SIGINT, SIGHUP})
    sigaddset(&stopSignals, s);
  sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(s, &action, nullptr);
  }
  for (int s : {SIGTERM, SIGINT, SIGHUP})
    sigdelset(&waitMask, s);
  std::signal(SIGPIPE, SIG_IGN);

  TSimulator simulator(options, image);
  std::string error;
  if (!simulator.Open(error)) {
    Complain(error);
    return kExitFailure;
  }
  sim::TLinkPath link;
  if (!options.LinkPath.empty() && !link.Create(options.LinkPath, simulator.SlavePath(), error)) {
    Complain(error);
    return kExitUsage;
  }
  std::printf("%s\n", simulator.SlavePath().c_str());
  std::fflush(stdout);
  return simulator.Run(waitMask);
}
