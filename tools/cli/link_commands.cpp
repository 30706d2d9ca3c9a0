// kx470-cli's commands that talk to the encoder.

#include "cli.h"
#include "image/table_file.h"
#include "link/link_operations.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// One bar on stderr over a whole command, drawn only when stderr is a terminal and only when
// its percentage changes. The link moves its own progress position byte by byte through each
// frame it receives and back to 0 between frames and operations; this bar adds up every step
// forward against the steps the command's frames make in all, so it fills once, left to right.
class TProgressBar {
public:
  explicit TProgressBar(bool terminal) : FTerminal(terminal) {}
  ~TProgressBar() { Clear(); }
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;

  // The forward steps a part of the command makes.
  void Expect(int steps) { FTotal += steps; }
  void Follow(int position) {
    if (position > FLast)
      FDone += position - FLast;
    FLast = position;
    // Full only when the command says it is done.
    Draw(FTotal > 0 ? std::min(99, FDone * 100 / FTotal) : 0);
  }
  void Finish() {
    if (FShown >= 0)
      Draw(100);
    Clear();
  }
  void Clear() {
    if (FShown >= 0)
      std::fputs("\r\033[K", stderr);
    FShown = -1;
  }

private:
  void Draw(int percent) {
    if (!FTerminal || percent == FShown || (FShown < 0 && percent == 0))
      return;
    const int width = 30;
    const int filled = percent * width / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%",
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), percent);
    std::fflush(stderr);
    FShown = percent;
  }

  bool FTerminal;
  int FTotal = 0, FDone = 0, FLast = 0;
  int FShown = -1; // the percentage on screen, -1 for none
};

// A data frame: five bytes before its payload, a two-byte sum after it. The link's position
// runs from 0 to the frame's length less one while it is received.
constexpr int kFrameOverhead = 7;
constexpr int kLinkSteps = static_cast<int>(kIdentificationSize) + kFrameOverhead - 1;
// After each block the link adds block - 1 to its position: 0 + 1 + ... + 7 in all.
constexpr int kBlockSteps = kBlockCount * (kBlockCount - 1) / 2;
constexpr int kReadSteps =
    kBlockCount * (static_cast<int>(kBlockSize) + kFrameOverhead - 1) + kBlockSteps;
// The frame answering each written block carries one byte.
constexpr int kWriteSteps = kBlockCount * (1 + kFrameOverhead - 1) + kBlockSteps;

// Console side of the link: messages on stderr (successes on stdout), the progress bar.
struct TConsole {
  TLinkHost Host;
  std::string LastMessage;
  TProgressBar Bar{::isatty(2) == 1};
  int Position = 0;

  TConsole() {
    Host.Message = [this](const std::string& text) { LastMessage = text; };
    // The bar's scale is the whole command's, not that of the link's single steps.
    Host.SetProgressRange = [](int) {};
    Host.SetProgress = [this](int position) {
      Position = position;
      Bar.Follow(position);
    };
    Host.Progress = [this] { return Position; };
    CompleteHost(Host);
  }
};

// The system's reason why `device` cannot be opened, found by opening it the way the link does:
// the link's own message keeps to the encoder's wording. Empty when it opens now.
std::string OpenFailureReason(const std::string& device) {
  TCommPort port;
  try {
    port.Reconfigure(kEntryBaud, device, kDataFormat8N1);
    port.Close();
    return "";
  } catch (const ECommError& error) {
    if (error.SystemError == 0)
      return "";
    const int code = static_cast<int>(error.SystemError);
    // The lock another program holds answers "would block", which says nothing to a user.
    const std::string reason =
        code == EWOULDBLOCK ? std::string(std::strerror(EBUSY)) + " (locked by another program)"
                            : std::strerror(code);
    return TCommPort::DevicePath(device) + ": " + reason;
  }
}

// Tells why an operation failed; a port that could not be opened also gets its system reason.
int FailOperation(TConsole& console, TOutcome outcome, const std::string& device) {
  console.Bar.Clear();
  std::string text = console.LastMessage.empty() ? "Link failed" : console.LastMessage;
  if (outcome == TOutcome::PortFailed)
    if (const std::string reason = OpenFailureReason(device); !reason.empty())
      text += "\n" + reason;
  return Fail(text);
}

// Links to the encoder on the one port given.
bool Link(TLinkState& state, TConsole& console, const std::string& device) {
  state.Ports.Slots[0] = device;
  state.Ports.Count = 1;
  state.SelectedPort = 0;
  const TOutcome outcome = LinkEncoder(state, console.Host);
  if (outcome == TOutcome::Success)
    return true;
  FailOperation(console, outcome, device);
  return false;
}

} // namespace

int RunPorts(const TCommandLine&) {
  TPortList list;
  RefreshPortList(list);
  for (int slot = 0; slot < list.Count; ++slot) {
    const std::string& name = list.Slots[static_cast<std::size_t>(slot)];
    std::printf("%d\t%s\t%s\n", slot, name.c_str(), TCommPort::DevicePath(name).c_str());
  }
  return kExitOk;
}

int RunProbe(const TCommandLine& line) {
  TLinkState state;
  TConsole console;
  console.Bar.Expect(kLinkSteps);
  state.Ports.Slots[0] = *line.Port;
  state.Ports.Count = 1;
  const TOutcome outcome = LinkEncoder(state, console.Host);
  if (outcome == TOutcome::Success)
    console.Bar.Finish();
  console.Bar.Clear();
  if (outcome == TOutcome::Success || outcome == TOutcome::WrongModel)
    std::printf("%s\n", IdentificationLine(state.Identification).c_str());
  if (outcome == TOutcome::Success)
    return kExitOk;
  return FailOperation(console, outcome, *line.Port);
}

int RunRead(const TCommandLine& line) {
  const bool toStandardOutput = *line.Out == "-";
  // A file that cannot take the result is refused before the encoder is asked for it.
  if (!toStandardOutput)
    if (const std::string problem = SaveTargetProblem(*line.Out); !problem.empty())
      return Fail(*line.Out + ": " + problem);
  TLinkState state;
  TConsole console;
  console.Bar.Expect(kLinkSteps + kReadSteps);
  if (!Link(state, console, *line.Port))
    return kExitFailed;
  TConfigImage image;
  const TOutcome outcome = ReadEncoder(state, console.Host, image, {});
  if (outcome != TOutcome::Success)
    return FailOperation(console, outcome, *line.Port);
  console.Bar.Finish();
  if (toStandardOutput) {
    const TImageBytes& bytes = image.Bytes();
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0)
      return Fail(std::string("standard output: ") + std::strerror(errno));
    std::fputs("Read Success\n", stderr);
    return kExitOk;
  }
  const TTableWrite written = WriteFileAtomically(*line.Out, image.Bytes());
  if (!written.Ok)
    return Fail(*line.Out + ": " + written.Error);
  std::puts("Read Success");
  return kExitOk;
}

namespace {

// Write and verify: a checked table file, a link, then the operation on its image.
int SendOrCompare(const TCommandLine& line, bool write) {
  const std::optional<TImageBytes> bytes = LoadTableFile(line.Arguments[0]);
  if (!bytes)
    return kExitFailed;
  TLinkState state;
  TConsole console;
  console.Bar.Expect(kLinkSteps + (write ? kWriteSteps : kReadSteps));
  if (!Link(state, console, *line.Port))
    return kExitFailed;
  TConfigImage image;
  image.Assign(*bytes);
  const TOutcome outcome =
      write ? WriteEncoder(state, console.Host, image) : VerifyEncoder(state, console.Host, image);
  if (outcome != TOutcome::Success)
    return FailOperation(console, outcome, *line.Port);
  console.Bar.Finish();
  std::puts(write ? "Write Success" : "Verify success !");
  return kExitOk;
}

} // namespace

int RunWrite(const TCommandLine& line) {
  return SendOrCompare(line, true);
}

int RunVerify(const TCommandLine& line) {
  return SendOrCompare(line, false);
}
