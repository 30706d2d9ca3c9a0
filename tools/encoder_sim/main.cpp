// kx470-sim: the encoder on a pseudo terminal, for tests, benchmarks and the demo.

#include "app/version.h"
#include "image/config_image.h"
#include "image/table_file.h"
#include "pocsag/entry_page.h"
#include "tools/encoder_sim/encoder_model.h"
#include "tools/encoder_sim/pty_line.h"
#include "tools/encoder_sim/sim_options.h"
#include "tools/encoder_sim/transmitter.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
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
    if (!options.AirPath.empty()) {
      FTransmitter = std::make_unique<sim::TTransmitter>(options.AirPath);
      FPresses = options.Presses;
      FWatchInput = true;
    }
    if (!options.SavePath.empty() || !FPresses.empty())
      FModel.SetSaveHook([this](const TImageBytes& bytes) { return Written(bytes); });
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

  // A write of all eight blocks has completed: keep the image, then press what waits for it.
  bool Written(const TImageBytes& bytes) {
    const bool kept = FOptions.SavePath.empty() || Save(bytes);
    for (const int key : FPresses)
      FTransmitter->Press(key, bytes);
    FPresses.clear();
    return kept;
  }

  void ReadInput();
  void Command(const std::string& line);
  bool ReadFromTool(std::string& error);
  bool Feed(const std::uint8_t* bytes, std::size_t count, std::string& error);
  bool EndStall(std::string& error);
  void HangUp();

  const sim::TSimOptions& FOptions;
  sim::TEncoderModel FModel;
  sim::TSender FSender;
  sim::TPtyLine FLine;
  sim::TClock::time_point FStart;
  std::uint64_t FReceived = 0;
  // A stall holds back the rest of an answer and the tool's bytes not yet taken in.
  std::optional<sim::TClock::time_point> FStallEnd;
  sim::TBytes FHeldOut, FHeldIn;
  std::unique_ptr<sim::TTransmitter> FTransmitter;
  std::vector<int> FPresses; // pressed after the next completed write
  bool FWatchInput = false;  // standard input carries "press K" lines
  std::string FInput;        // a line not yet complete
};

void TSimulator::ReadInput() {
  char buffer[256];
  const ssize_t got = ::read(0, buffer, sizeof buffer);
  if (got < 0 && (errno == EINTR || errno == EAGAIN))
    return;
  if (got <= 0) {
    // The end of the input, or a terminal that is not ours to read (a background job).
    FWatchInput = false;
    return;
  }
  FInput.append(buffer, static_cast<std::size_t>(got));
  for (std::size_t end; (end = FInput.find('\n')) != std::string::npos;) {
    std::string line = FInput.substr(0, end);
    FInput.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    Command(line);
  }
}

void TSimulator::Command(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos)
    return;
  const std::string text = line.substr(first, line.find_last_not_of(" \t") + 1 - first);
  const std::string verb = "press ";
  if (text.rfind(verb, 0) == 0) {
    const std::string key = text.substr(verb.size());
    if (key.size() == 1 && key[0] >= '1' && key[0] < '1' + kKeyInputs) {
      FTransmitter->Press(key[0] - '0', FModel.Image());
      return;
    }
  }
  Complain("standard input: \"" + text + "\" is no command; say \"press K\" with K from 1 to " +
           std::to_string(kKeyInputs));
}

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
  return Feed(buffer, static_cast<std::size_t>(got), error);
}

bool TSimulator::Feed(const std::uint8_t* bytes, std::size_t count, std::string& error) {
  // The speed is taken as the bytes arrive: the tool changes it between the entry sequence and
  // the commands, with a pause in between that is long against this loop's reaction.
  const int baud = FLine.Baud();
  const auto now = sim::TClock::now();
  sim::TBytes out;
  for (std::size_t i = 0; i < count; ++i) {
    FModel.Receive(bytes[i], baud, now, out);
    ++FReceived;
    if (FOptions.HangupAfter && FReceived >= *FOptions.HangupAfter) {
      HangUp();
      return true;
    }
    if (const std::optional<std::size_t> stall = FModel.TakeStall()) {
      const auto split = out.begin() + static_cast<std::ptrdiff_t>(*stall);
      FHeldOut.assign(split, out.end());
      FHeldIn.assign(bytes + i + 1, bytes + count);
      out.erase(split, out.end());
      FStallEnd = now + FOptions.Faults.StallTime;
      break;
    }
  }
  FSender.Queue(out, now, baud);
  return FSender.Send(FLine.Master(), sim::TClock::now(), baud, error);
}

bool TSimulator::EndStall(std::string& error) {
  FStallEnd.reset();
  if (FOptions.Verbose)
    Log("stall over");
  const sim::TBytes in = std::move(FHeldIn);
  FHeldIn.clear();
  FSender.Queue(FHeldOut, sim::TClock::now(), FLine.Baud());
  FHeldOut.clear();
  if (!FSender.Send(FLine.Master(), sim::TClock::now(), FLine.Baud(), error))
    return false;
  return in.empty() || Feed(in.data(), in.size(), error);
}

int TSimulator::Run(const sigset_t& waitMask) {
  while (gStopSignal == 0) {
    if (!FLine.IsOpen()) {
      // The cable is pulled: nothing to serve until we are told to stop.
      ::ppoll(nullptr, 0, nullptr, &waitMask);
      continue;
    }
    const auto now = sim::TClock::now();
    std::string error;
    if (FStallEnd && now >= *FStallEnd) {
      if (!EndStall(error)) {
        Complain(error);
        return kExitFailure;
      }
      continue;
    }
    // A stalled encoder takes nothing in; what it sent before the stall still goes out.
    pollfd fds[2] = {{FLine.Master(), static_cast<short>(FStallEnd ? 0 : POLLIN), 0},
                     {FWatchInput ? 0 : -1, POLLIN, 0}};
    pollfd& fd = fds[0];
    if (FSender.WantsWritable())
      fd.events |= POLLOUT;
    auto wait = FSender.Timeout(now);
    if (FStallEnd && (!wait || *FStallEnd - now < *wait))
      wait = *FStallEnd - now;
    timespec timeout{};
    if (wait)
      timeout = ToTimespec(*wait);
    const int ready = ::ppoll(fds, 2, wait ? &timeout : nullptr, &waitMask);
    if (ready < 0) {
      if (errno == EINTR)
        continue;
      Complain(std::string("poll: ") + std::strerror(errno));
      return kExitFailure;
    }
    if (FWatchInput && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
      ReadInput();
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
  // Started in the background of a shell, reading the terminal would stop the simulator; the
  // read fails instead, and the simulator stops listening to its input.
  std::signal(SIGTTIN, SIG_IGN);

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
