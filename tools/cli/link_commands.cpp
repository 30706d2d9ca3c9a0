// kx470-cli's commands that talk to the encoder.

#include "cli.h"
#include "image/table_file.h"
#include "link/link_operations.h"

#include <cstdio>
#include <unistd.h>

namespace {

// Console side of the link: messages on stderr (successes on stdout), a progress bar on stderr
// when it is a terminal.
struct TConsole {
  TLinkHost Host;
  std::string LastMessage;
  int Maximum = 1, Position = 0;
  bool Terminal = ::isatty(2) == 1;
  bool Drawn = false;

  TConsole() {
    Host.Message = [this](const std::string& text) { LastMessage = text; };
    Host.SetProgressRange = [this](int maximum) { Maximum = maximum > 0 ? maximum : 1; };
    Host.SetProgress = [this](int position) {
      Position = position;
      Draw();
    };
    Host.Progress = [this] { return Position; };
    CompleteHost(Host);
  }
  ~TConsole() { Clear(); }
  void Draw() {
    if (!Terminal || Position <= 0)
      return;
    const int width = 30;
    const int filled = std::min(width, Position * width / Maximum);
    std::fprintf(stderr, "\r[%s%s] %3d%%",
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(),
                 std::min(100, Position * 100 / Maximum));
    Drawn = true;
  }
  void Clear() {
    if (Drawn)
      std::fputs("\r\033[K", stderr);
    Drawn = false;
  }
};

// Links to the encoder on the one port given.
bool Link(TLinkState& state, TConsole& console, const std::string& device) {
  state.Ports.Slots[0] = device;
  state.Ports.Count = 1;
  state.SelectedPort = 0;
  const TOutcome outcome = LinkEncoder(state, console.Host);
  console.Clear();
  if (outcome == TOutcome::Success)
    return true;
  Fail(console.LastMessage.empty() ? "Link failed" : console.LastMessage);
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
  state.Ports.Slots[0] = *line.Port;
  state.Ports.Count = 1;
  const TOutcome outcome = LinkEncoder(state, console.Host);
  console.Clear();
  if (outcome == TOutcome::Success || outcome == TOutcome::WrongModel)
    std::printf("%s\n", IdentificationLine(state.Identification).c_str());
  if (outcome == TOutcome::Success)
    return kExitOk;
  return Fail(console.LastMessage.empty() ? "Link failed" : console.LastMessage);
}

int RunRead(const TCommandLine& line) {
  TLinkState state;
  TConsole console;
  if (!Link(state, console, *line.Port))
    return kExitFailed;
  TConfigImage image;
  const TOutcome outcome = ReadEncoder(state, console.Host, image, {});
  console.Clear();
  if (outcome != TOutcome::Success)
    return Fail(console.LastMessage);
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
  if (!Link(state, console, *line.Port))
    return kExitFailed;
  TConfigImage image;
  image.Assign(*bytes);
  const TOutcome outcome =
      write ? WriteEncoder(state, console.Host, image) : VerifyEncoder(state, console.Host, image);
  console.Clear();
  if (outcome != TOutcome::Success)
    return Fail(console.LastMessage);
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
