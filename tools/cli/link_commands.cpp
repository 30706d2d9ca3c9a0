// kx470-cli's commands that talk to the encoder.

#include "cli.h"
#include "config_json.h"
#include "image/table_file.h"
#include "link/link_operations.h"
#include "link/port_list.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
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
    return code == EWOULDBLOCK
               ? std::generic_category().message(EBUSY) + " (locked by another program)"
               : std::generic_category().message(code);
  }
}

// What a failed operation on `device` tells: the link's last message, and for a port that
// could not be opened the system's reason under it.
TResult PortFailure(TConsole& console, TOutcome outcome, const std::string& device) {
  console.Bar.Clear();
  TResult result = TResult::Failure(
      "port", device, console.LastMessage.empty() ? "Link failed" : console.LastMessage);
  if (outcome == TOutcome::PortFailed)
    if (const std::string reason = OpenFailureReason(device); !reason.empty()) {
      result.Details.push_back(TCommPort::DevicePath(device) + ": " + reason);
      result.Add("reason", QString::fromStdString(reason));
    }
  return result;
}

// Links to the encoder on the one port given; a failure is told in `failure`.
bool Link(TLinkState& state, TConsole& console, const std::string& device, TResult& failure) {
  state.Ports.Slots[0] = device;
  state.Ports.Count = 1;
  state.SelectedPort = 0;
  const TOutcome outcome = LinkEncoder(state, console.Host);
  if (outcome == TOutcome::Success)
    return true;
  failure = PortFailure(console, outcome, device);
  if (outcome == TOutcome::WrongModel)
    failure.Add("identification", QString::fromStdString(IdentificationLine(state.Identification)));
  return false;
}

struct TLinkOptions {
  std::vector<std::string> Ports;
  std::vector<std::string> Out;
  std::string File;
};

std::string OnePort(const TLinkOptions& options) {
  if (options.Ports.empty())
    throw EUsage("--port DEVICE is required");
  if (options.Ports.size() > 1)
    throw EUsage("--port was given twice; one port at a time");
  return options.Ports.front();
}

int RunPorts(TReport& report) {
  TPortList list;
  RefreshPortList(list);
  for (int slot = 0; slot < list.Count; ++slot) {
    const std::string& name = list.Slots[static_cast<std::size_t>(slot)];
    if (report.Options().Json) {
      TResult result = TResult::Success("port", name, "present");
      result.Add("slot", slot).Add("path", QString::fromStdString(TCommPort::DevicePath(name)));
      report.Print(result);
    } else if (!report.Options().Quiet) {
      std::printf("%d\t%s\t%s\n", slot, name.c_str(), TCommPort::DevicePath(name).c_str());
    }
  }
  return kExitOk;
}

int RunProbe(const TLinkOptions& options, TReport& report) {
  const std::string port = OnePort(options);
  TLinkState state;
  TConsole console;
  console.Bar.Expect(kLinkSteps);
  TResult failure;
  if (!Link(state, console, port, failure)) {
    report.Print(failure);
    return report.ExitStatus();
  }
  console.Bar.Finish();
  TResult result = TResult::Success("port", port, IdentificationLine(state.Identification));
  report.Print(result);
  return report.ExitStatus();
}

int RunRead(const TLinkOptions& options, TReport& report) {
  const std::string port = OnePort(options);
  if (options.Out.empty())
    throw EUsage("--out FILE is required");
  if (options.Out.size() > 1)
    throw EUsage("--out was given twice; one output at a time");
  const std::string out = options.Out.front();
  const bool toStandardOutput = out == "-";
  if (toStandardOutput && ::isatty(1) == 1)
    throw EUsage("--out - would write 2048 binary bytes to the terminal; redirect standard output");
  // A file that cannot take the result is refused before the encoder is asked for it.
  if (!toStandardOutput)
    if (const std::string problem = SaveTargetProblem(out); !problem.empty())
      return report.Fail(out + ": " + problem);
  TLinkState state;
  TConsole console;
  console.Bar.Expect(kLinkSteps + kReadSteps);
  TResult failure;
  if (!Link(state, console, port, failure)) {
    report.Print(failure);
    return report.ExitStatus();
  }
  TConfigImage image;
  const TOutcome outcome = ReadEncoder(state, console.Host, image, {});
  if (outcome != TOutcome::Success) {
    report.Print(PortFailure(console, outcome, port));
    return report.ExitStatus();
  }
  console.Bar.Finish();
  if (toStandardOutput) {
    const TImageBytes& bytes = image.Bytes();
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0)
      return report.Fail(std::string("standard output: ") + std::strerror(errno));
    std::fputs("Read Success\n", stderr);
    return kExitOk;
  }
  const TTableWrite written = WriteFileAtomically(out, image.Bytes());
  if (!written.Ok)
    return report.Fail(out + ": " + written.Error);
  report.Print(TResult::Success("port", port, "Read Success"));
  return report.ExitStatus();
}

} // namespace

std::optional<TImageBytes> ReadEncoderImage(const std::string& device, TResult& failure) {
  TLinkState state;
  TConsole console;
  console.Bar.Expect(kLinkSteps + kReadSteps);
  if (!Link(state, console, device, failure))
    return std::nullopt;
  TConfigImage image;
  const TOutcome outcome = ReadEncoder(state, console.Host, image, {});
  if (outcome != TOutcome::Success) {
    failure = PortFailure(console, outcome, device);
    return std::nullopt;
  }
  console.Bar.Finish();
  return image.Bytes();
}

namespace {

// Write and verify: a checked table file, a link, then the operation on its image.
int SendOrCompare(const TLinkOptions& options, TReport& report, bool write) {
  const std::string port = OnePort(options);
  std::string error;
  const std::optional<TImageBytes> bytes = LoadTableFile(options.File, error);
  if (!bytes)
    return report.Fail(error);
  TLinkState state;
  TConsole console;
  console.Bar.Expect(kLinkSteps + (write ? kWriteSteps : kReadSteps));
  TResult failure;
  if (!Link(state, console, port, failure)) {
    report.Print(failure);
    return report.ExitStatus();
  }
  TConfigImage image;
  image.Assign(*bytes);
  TImageBytes found{};
  const TOutcome outcome = write ? WriteEncoder(state, console.Host, image)
                                 : VerifyEncoder(state, console.Host, image, &found);
  if (outcome != TOutcome::Success) {
    TResult result = PortFailure(console, outcome, port);
    // The encoder was read and holds something else: what differs, under "Verify error !",
    // the file's values first, the encoder's second.
    if (!write && console.LastMessage == kVerifyError)
      AddDifference(result, *bytes, found);
    report.Print(result);
    return report.ExitStatus();
  }
  console.Bar.Finish();
  report.Print(TResult::Success("port", port, write ? "Write Success" : "Verify success !"));
  return report.ExitStatus();
}

const char* const kPortsHelp = R"(Usage: kx470-cli ports

Lists the serial port slots the tool would probe, one line each: slot, name, device path.
KX470_PORTS (device paths separated by ':') replaces the discovered ports.
)";

const char* const kProbeHelp = R"(Usage: kx470-cli probe --port DEVICE

Brings the encoder on DEVICE into its programming mode and prints its identification:
  PID:8,  MCU Type:1,  IAP Ver:1.0,  User Ver:1.27
Exit status 0 when the encoder is a KX470U (PID 8 or 10), 1 otherwise.
)";

const char* const kReadHelp = R"(Usage: kx470-cli read --port DEVICE --out FILE

Links to the encoder on DEVICE and reads its 2048-byte configuration. FILE is written, whole
and at once, only when the read succeeded and the configuration's checksum is valid; a failed
read never creates or changes FILE. A symbolic link FILE is followed and stays a link; a FILE
that is a folder, a device or a FIFO is refused. With --out - the 2048 bytes go to standard
output and "Read Success" to standard error.
)";

const char* const kWriteHelp = R"(Usage: kx470-cli write --port DEVICE FILE

Checks FILE's checksum as File > Open does, links to the encoder on DEVICE and programs the
configuration into it (the checksum is stored first). Prints "Write Success".
)";

const char* const kVerifyHelp = R"(Usage: kx470-cli verify --port DEVICE FILE

Links to the encoder on DEVICE, reads its configuration and compares all 2048 bytes with FILE.
Prints "Verify success !" or fails with "Verify error !", followed by what differs as
`kx470-cli diff FILE port:DEVICE` prints it: each field with the file's value and the
encoder's, and each differing byte no field accounts for.
)";

} // namespace

void RegisterLinkCommands(TCli& cli) {
  auto options = std::make_shared<TLinkOptions>();
  const auto portOption = [&](CLI::App* command) {
    command->add_option("--port", options->Ports, "the encoder's serial port");
  };
  AddCommand(cli, "ports", "", "list the serial port slots: slot, name, device path", kPortsHelp,
             [](TReport& report) { return RunPorts(report); });
  portOption(AddCommand(cli, "probe", "--port DEVICE",
                        "link to the encoder and print its identification", kProbeHelp,
                        [options](TReport& report) { return RunProbe(*options, report); }));
  CLI::App* read =
      AddCommand(cli, "read", "--port DEVICE --out FILE",
                 "read the encoder's configuration into FILE (- for stdout)", kReadHelp,
                 [options](TReport& report) { return RunRead(*options, report); });
  portOption(read);
  read->add_option("--out", options->Out, "the table file to write");
  for (const bool write : {true, false}) {
    CLI::App* command =
        AddCommand(cli, write ? "write" : "verify", "--port DEVICE FILE",
                   write ? "program the configuration in FILE into the encoder"
                         : "compare the encoder's configuration with FILE",
                   write ? kWriteHelp : kVerifyHelp, [options, write](TReport& report) {
                     return SendOrCompare(*options, report, write);
                   });
    portOption(command);
    command->add_option("FILE", options->File, "the table file")->required();
  }
}
