// kx470-cli's commands that talk to encoders: ports, probe, read, write, verify. Every
// command that links runs on each of its ports at once, one thread per port.

#include "cli.h"
#include "config_json.h"
#include "image/table_file.h"
#include "image_difference.h"
#include "link/link_operations.h"
#include "link/port_info.h"
#include "link/port_list.h"
#include "port_jobs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <unistd.h>

namespace {

// One bar on stderr over a whole command, drawn only when stderr is a terminal and only when
// its percentage changes. The link moves its own progress position byte by byte through each
// frame it receives and back to 0 between frames and operations; the bar adds up every step
// forward of every port against the steps the command's frames make in all, so it fills once,
// left to right. The ports' threads move it together.
class TProgressBar {
public:
  explicit TProgressBar(bool terminal) : FTerminal(terminal) {}
  ~TProgressBar() { Clear(); }
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;

  // The forward steps a part of the command makes.
  void Expect(int steps) {
    const std::lock_guard lock(FMutex);
    FTotal += steps;
  }
  void Advance(int steps) {
    const std::lock_guard lock(FMutex);
    FDone += steps;
    // Full only when the command says it is done.
    Draw(FTotal > 0 ? std::min(99, FDone * 100 / FTotal) : 0);
  }
  void Finish() {
    const std::lock_guard lock(FMutex);
    if (FShown >= 0)
      Draw(100);
    ClearLocked();
  }
  void Clear() {
    const std::lock_guard lock(FMutex);
    ClearLocked();
  }

private:
  void ClearLocked() {
    if (FShown >= 0)
      std::fputs("\r\033[K", stderr);
    FShown = -1;
  }
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

  std::mutex FMutex;
  bool FTerminal;
  int FTotal = 0, FDone = 0;
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

// One port's side of the link: its last message, its share of the progress bar.
struct TConsole {
  TLinkHost Host;
  std::string LastMessage;
  int Position = 0;

  explicit TConsole(TProgressBar* bar) {
    Host.Message = [this](const std::string& text) { LastMessage = text; };
    // The bar's scale is the whole command's, not that of the link's single steps.
    Host.SetProgressRange = [](int) {};
    Host.SetProgress = [this, bar](int position) {
      if (bar && position > Position)
        bar->Advance(position - Position);
      Position = position;
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

// How the results of one command are told.
struct TTelling {
  bool Several = false; // several ports: each line starts with its port
};

// What a failed operation on `device` tells: the link's last message, and for a port that
// could not be opened the system's reason under it.
TResult OperationFailure(const TConsole& console, TOutcome outcome, const std::string& device,
                         const TTelling& telling) {
  TResult result = TResult::Failure(
      "port", device, console.LastMessage.empty() ? "Link failed" : console.LastMessage);
  if (outcome == TOutcome::PortFailed)
    if (const std::string reason = OpenFailureReason(device); !reason.empty()) {
      // With several ports the line already starts with the port.
      result.Details.push_back(telling.Several ? reason
                                               : TCommPort::DevicePath(device) + ": " + reason);
      result.Add("reason", QString::fromStdString(reason));
    }
  return result;
}

void AddIdentification(TResult& result, const std::array<std::uint8_t, kIdentificationSize>& id) {
  result.Add("identification", QString::fromStdString(IdentificationLine(id)))
      .Add("pid", id[0])
      .Add("mcu_type", id[1])
      .Add("iap_version", QString("%1.%2").arg(id[2]).arg(id[3]))
      .Add("user_version", QString("%1.%2").arg(id[4]).arg(id[5]));
}

// Links to the encoder on `device`; a failure is told in `failure`.
bool Link(TLinkState& state, TConsole& console, const std::string& device, const TTelling& telling,
          TResult& failure, TOutcome* outcomeSeen = nullptr) {
  state.Ports.Slots[0] = device;
  state.Ports.Count = 1;
  state.SelectedPort = 0;
  const TOutcome outcome = LinkEncoder(state, console.Host);
  if (outcomeSeen)
    *outcomeSeen = outcome;
  if (outcome == TOutcome::Success)
    return true;
  // The link keeps the identification of a KX470U only: another model's is not told.
  failure = OperationFailure(console, outcome, device, telling);
  return false;
}

enum class TOperation { Probe, Read, Write, Verify };

struct TLinkOptions {
  std::vector<std::string> Ports;
  std::vector<std::string> Out;
  std::string File;
  bool Probe = false; // ports --probe
};

// Whether an encoder answers on each of `ports`, all asked at once.
std::vector<bool> Answering(const std::vector<std::string>& ports) {
  std::vector<char> answered(ports.size(), 0);
  RunInParallel(
      ports.size(),
      [&](std::size_t i) {
        TLinkState state;
        TConsole console(nullptr);
        TResult ignored;
        TOutcome outcome = TOutcome::Failed;
        Link(state, console, ports[i], {}, ignored, &outcome);
        // Another model answers as well: the command then tells it is not a KX470U.
        answered[i] = outcome == TOutcome::Success || outcome == TOutcome::WrongModel;
      },
      [](std::size_t, const std::string&) {});
  return {answered.begin(), answered.end()};
}

// The ports the command runs on: those given, with `auto` replaced by the ports of the port
// list (not given by name as well) on which an encoder answers.
std::vector<std::string> ResolvePorts(const std::vector<std::string>& given) {
  if (!HasAutoPort(given))
    return given;
  TPortList list;
  RefreshPortList(list);
  std::vector<std::string> candidates;
  for (int slot = 0; slot < list.Count; ++slot) {
    const std::string& name = list.Slots[static_cast<std::size_t>(slot)];
    const auto same = [&](const std::string& port) {
      return TCommPort::DevicePath(port) == TCommPort::DevicePath(name);
    };
    if (!name.empty() && std::none_of(given.begin(), given.end(), same) &&
        std::none_of(candidates.begin(), candidates.end(), same))
      candidates.push_back(name);
  }
  const std::vector<bool> answered = Answering(candidates);
  std::vector<std::string> ports;
  for (const std::string& port : given) {
    if (port != kAutoPort) {
      ports.push_back(port);
      continue;
    }
    for (std::size_t i = 0; i < candidates.size(); ++i)
      if (answered[i])
        ports.push_back(candidates[i]);
  }
  return ports;
}

// The one job of a command on one port.
struct TJob {
  TOperation Operation = TOperation::Probe;
  std::string Port;
  std::string Out;                   // read: the file, or "-" for standard output
  const TImageBytes* File = nullptr; // write and verify: the table file's bytes
  TTelling Telling;
  TProgressBar* Bar = nullptr;
  TImageBytes ReadBytes{}; // read to standard output: what the encoder held
};

TResult RunJob(TJob& job) {
  const bool toStandardOutput = job.Operation == TOperation::Read && job.Out == "-";
  // A file that cannot take the result is refused before the encoder is asked for it.
  if (job.Operation == TOperation::Read && !toStandardOutput)
    if (const std::string problem = SaveTargetProblem(job.Out); !problem.empty())
      return TResult::Failure("port", job.Port, job.Out + ": " + problem)
          .Add("file", QString::fromStdString(job.Out));
  TLinkState state;
  TConsole console(job.Bar);
  TResult failure;
  if (!Link(state, console, job.Port, job.Telling, failure))
    return failure;
  TConfigImage image;
  TOutcome outcome = TOutcome::Success;
  TImageBytes encoder{};
  switch (job.Operation) {
  case TOperation::Probe: {
    TResult result = TResult::Success("port", job.Port, IdentificationLine(state.Identification));
    AddIdentification(result, state.Identification);
    return result;
  }
  case TOperation::Read:
    outcome = ReadEncoder(state, console.Host, image, {});
    break;
  case TOperation::Write:
    image.Assign(*job.File);
    outcome = WriteEncoder(state, console.Host, image);
    break;
  case TOperation::Verify:
    image.Assign(*job.File);
    encoder.fill(0);
    outcome = VerifyEncoder(state, console.Host, image, &encoder);
    break;
  }
  if (outcome != TOutcome::Success) {
    TResult result = OperationFailure(console, outcome, job.Port, job.Telling);
    // The encoder was read and holds something else: what differs, under "Verify error !",
    // the file's values first, the encoder's second.
    if (job.Operation == TOperation::Verify && console.LastMessage == "Verify error !") {
      AddImageDifference(result, *job.File, encoder);
      AddDifference(result, *job.File, encoder);
    }
    return result;
  }
  switch (job.Operation) {
  case TOperation::Read: {
    if (toStandardOutput) {
      job.ReadBytes = image.Bytes();
      return TResult::Success("port", job.Port, "Read Success");
    }
    const TTableWrite written = WriteFileAtomically(job.Out, image.Bytes());
    if (!written.Ok)
      return TResult::Failure("port", job.Port, job.Out + ": " + written.Error)
          .Add("file", QString::fromStdString(job.Out));
    TResult result = TResult::Success("port", job.Port, "Read Success");
    if (job.Telling.Several)
      result.Details.push_back("saved as " + job.Out);
    return result.Add("file", QString::fromStdString(job.Out));
  }
  case TOperation::Write:
    return TResult::Success("port", job.Port, "Write Success");
  default:
    return TResult::Success("port", job.Port, "Verify success !");
  }
}

} // namespace

std::optional<TImageBytes> ReadEncoderImage(const std::string& device, TResult& failure) {
  TJob job;
  job.Operation = TOperation::Read;
  job.Port = device;
  job.Out = "-"; // kept in the job, written nowhere
  TResult result = RunJob(job);
  if (!result.Ok) {
    failure = std::move(result);
    return std::nullopt;
  }
  return job.ReadBytes;
}

namespace {

int LinkSteps(TOperation operation) {
  switch (operation) {
  case TOperation::Probe:
    return kLinkSteps;
  case TOperation::Write:
    return kLinkSteps + kWriteSteps;
  default:
    return kLinkSteps + kReadSteps;
  }
}

int RunOnPorts(TOperation operation, const TLinkOptions& options, TReport& report) {
  const std::vector<std::string> given = GivenPorts(options.Ports);
  const bool several = given.size() > 1 || HasAutoPort(given);
  std::string out;
  if (operation == TOperation::Read) {
    if (options.Out.empty())
      throw EUsage("--out FILE is required");
    if (options.Out.size() > 1)
      throw EUsage("--out was given twice; one output at a time");
    out = options.Out.front();
    if (out == "-" && several)
      throw EUsage("--out - takes one port; several ports need a file name pattern with {port}");
    if (out == "-" && report.Options().Json)
      throw EUsage("--out - and --json would both write to standard output");
    if (out == "-" && ::isatty(1) == 1)
      throw EUsage(
          "--out - would write 2048 binary bytes to the terminal; redirect standard output");
    if (several && !HasPortPlaceholder(out))
      throw EUsage("several ports need one file each: put {port} into --out, for example "
                   "--out 'site-{port}.tbl'");
  }
  std::optional<TImageBytes> file;
  if (operation == TOperation::Write || operation == TOperation::Verify) {
    std::string error;
    file = LoadTableFile(options.File, error);
    if (!file)
      return report.Fail(error);
  }

  const std::vector<std::string> ports = ResolvePorts(given);
  if (ports.empty())
    return report.Fail("No encoder answered on any port");
  TTelling telling{several};
  std::vector<TJob> jobs(ports.size());
  for (std::size_t i = 0; i < ports.size(); ++i) {
    jobs[i].Operation = operation;
    jobs[i].Port = ports[i];
    jobs[i].Telling = telling;
    jobs[i].File = file ? &*file : nullptr;
    if (operation == TOperation::Read)
      jobs[i].Out = several ? ExpandPortPattern(out, ports[i]) : out;
  }
  // Two ports that would write one file.
  for (std::size_t i = 0; i < jobs.size(); ++i)
    for (std::size_t j = i + 1; operation == TOperation::Read && j < jobs.size(); ++j)
      if (jobs[i].Out == jobs[j].Out)
        throw EUsage(jobs[i].Port + " and " + jobs[j].Port + " would both be read into " +
                     jobs[i].Out);

  TProgressBar bar(!report.Options().Quiet && ::isatty(2) == 1);
  bar.Expect(LinkSteps(operation) * static_cast<int>(jobs.size()));
  std::vector<TResult> results(jobs.size());
  RunInParallel(
      jobs.size(),
      [&](std::size_t i) {
        jobs[i].Bar = &bar;
        results[i] = RunJob(jobs[i]);
      },
      [&](std::size_t i, const std::string& what) {
        results[i] = TResult::Failure("port", ports[i], what);
      });
  if (std::all_of(results.begin(), results.end(), [](const TResult& r) { return r.Ok; }))
    bar.Finish();
  bar.Clear();

  if (operation == TOperation::Read && out == "-" && results.front().Ok) {
    const TImageBytes& bytes = jobs.front().ReadBytes;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0)
      return report.Fail("standard output: " + std::generic_category().message(errno));
    // Standard output holds the configuration: the success goes to standard error.
    if (!report.Options().Quiet)
      std::fputs("Read Success\n", stderr);
    return kExitOk;
  }
  for (const TResult& result : results)
    report.Print(result, several);
  return report.ExitStatus();
}

// One port's line of `ports`: what the system knows of it, and with --probe whether an
// encoder answers there.
TResult DescribeSlot(int slot, const std::string& name, const TPortInfo& info, bool probed,
                     const TResult* probe, bool json) {
  std::vector<std::string> columns{std::to_string(slot), name, info.Path};
  TResult result = TResult::Success("port", name, "");
  result.Add("slot", slot).Add("path", QString::fromStdString(info.Path));
  const auto text = [](const std::string& value) {
    return value.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(value));
  };
  if (info.Usb) {
    columns.push_back("USB " + info.VendorId + ":" + info.ProductId);
    std::string product = info.Manufacturer;
    if (!info.Product.empty())
      product += (product.empty() ? "" : " ") + info.Product;
    if (!product.empty())
      columns.push_back(product);
    if (!info.Serial.empty())
      columns.push_back("serial " + info.Serial);
  }
  if (!info.Driver.empty())
    columns.push_back("driver " + info.Driver);
  result.Add("driver", text(info.Driver));
  result.Add("usb", info.Usb);
  result.Add("vendor_id", text(info.VendorId))
      .Add("product_id", text(info.ProductId))
      .Add("manufacturer", text(info.Manufacturer))
      .Add("product", text(info.Product))
      .Add("serial", text(info.Serial));
  if (probed) {
    result.Add("encoder", probe->Ok);
    if (probe->Ok) {
      columns.push_back("encoder " + probe->Message);
      for (const auto& field : probe->Fields)
        result.Fields.push_back(field);
    } else {
      columns.push_back("no encoder (" + probe->Message + ")");
      result.Add("link_error", QString::fromStdString(probe->Message));
    }
  }
  // People get a line of columns; machines the columns after the three named fields.
  const std::size_t first = json ? 3 : 0;
  for (std::size_t i = first; i < columns.size(); ++i)
    result.Message += (i == first ? "" : json ? ", " : "\t") + columns[i];
  return result;
}

int RunPorts(const TLinkOptions& options, TReport& report) {
  TPortList list;
  RefreshPortList(list);
  std::vector<std::string> names;
  for (int slot = 0; slot < list.Count; ++slot)
    names.push_back(list.Slots[static_cast<std::size_t>(slot)]);
  std::vector<TPortInfo> infos(names.size());
  std::vector<TResult> probes(names.size());
  RunInParallel(
      names.size(),
      [&](std::size_t i) {
        infos[i] = DescribePort(names[i]);
        if (!options.Probe)
          return;
        TJob job;
        job.Port = names[i];
        job.Telling.Several = true;
        probes[i] = RunJob(job);
      },
      [&](std::size_t i, const std::string& what) {
        probes[i] = TResult::Failure("port", names[i], what);
      });
  for (std::size_t i = 0; i < names.size(); ++i)
    report.Print(DescribeSlot(static_cast<int>(i), names[i], infos[i], options.Probe, &probes[i],
                              report.Options().Json));
  return report.ExitStatus();
}

const char* const kPortsHelp = R"help(Usage: kx470-cli ports [--probe]

Lists the serial port slots the tool would probe, one line each, tab-separated: slot, name,
device path, then what the system knows of the port: for a USB adapter "USB VVVV:PPPP" (its
vendor and product ids), its maker and product name and "serial NUMBER"; for any port with a
device entry "driver NAME". Ports the system knows nothing of (pseudo terminals) show the
first three only. With --probe every port is also asked, all at once, whether an encoder
answers: "encoder PID:8, ..." or "no encoder (WHY)".
KX470_PORTS (device paths separated by ':') replaces the discovered ports.
)help";

const char* const kPortsOption = R"(
--port DEVICE may be given more than once: the command runs on every port at once, one line
per port, each starting with its port. --port auto stands for every port of the port list
(see 'kx470-cli ports') on which an encoder answers. A port that fails never stops the others;
the exit status is 1 when any of them failed.
)";

const std::string kProbeHelp = std::string(R"(Usage: kx470-cli probe --port DEVICE...

Brings the encoder on DEVICE into its programming mode and prints its identification:
  PID:8,  MCU Type:1,  IAP Ver:1.0,  User Ver:1.27
Exit status 0 when the encoder is a KX470U (PID 8 or 10), 1 otherwise.
)") + kPortsOption;

const std::string kReadHelp = std::string(R"(Usage: kx470-cli read --port DEVICE... --out FILE

Links to the encoder on DEVICE and reads its 2048-byte configuration. FILE is written, whole
and at once, only when the read succeeded and the configuration's checksum is valid; a failed
read never creates or changes FILE. A symbolic link FILE is followed and stays a link; a FILE
that is a folder, a device or a FIFO is refused. With --out - the 2048 bytes go to standard
output and "Read Success" to standard error.
With several ports (or --port auto) FILE is a pattern holding {port}, which each port
replaces with its device path less "/dev/", "/" made "-" and any character other than
letters, digits, ".", "_" and "-" made "_": --out 'site-{port}.tbl' reads /dev/ttyUSB0 into
site-ttyUSB0.tbl and /dev/pts/5 into site-pts-5.tbl.
)") + kPortsOption;

const std::string kWriteHelp = std::string(R"(Usage: kx470-cli write --port DEVICE... FILE

Checks FILE's checksum as File > Open does, links to the encoder on DEVICE and programs the
configuration into it (the checksum is stored first). Prints "Write Success".
)") + kPortsOption;

const std::string kVerifyHelp = std::string(R"(Usage: kx470-cli verify --port DEVICE... FILE

Links to the encoder on DEVICE, reads its configuration and compares all 2048 bytes with FILE.
Prints "Verify success !" or fails with "Verify error !", followed by what differs as
`kx470-cli diff FILE port:DEVICE` prints it: each field with the file's value and the
encoder's, and each differing byte no field accounts for.
)") + kPortsOption;

} // namespace

void RegisterLinkCommands(TCli& cli) {
  auto options = std::make_shared<TLinkOptions>();
  const auto portOption = [&](CLI::App* command) {
    command->add_option("--port", options->Ports, "the encoder's serial port, or auto");
  };
  AddCommand(cli, "ports", "[--probe]", "list the serial ports and what they are", kPortsHelp,
             [options](TReport& report) { return RunPorts(*options, report); })
      ->add_flag("--probe", options->Probe, "ask every port whether an encoder answers");
  portOption(AddCommand(
      cli, "probe", "--port DEVICE", "link to the encoder and print its identification", kProbeHelp,
      [options](TReport& report) { return RunOnPorts(TOperation::Probe, *options, report); }));
  CLI::App* read = AddCommand(
      cli, "read", "--port DEVICE --out FILE",
      "read the encoder's configuration into FILE (- for stdout)", kReadHelp,
      [options](TReport& report) { return RunOnPorts(TOperation::Read, *options, report); });
  portOption(read);
  read->add_option("--out", options->Out, "the table file to write, or a pattern with {port}");
  for (const TOperation operation : {TOperation::Write, TOperation::Verify}) {
    const bool write = operation == TOperation::Write;
    CLI::App* command =
        AddCommand(cli, write ? "write" : "verify", "--port DEVICE FILE",
                   write ? "program the configuration in FILE into the encoder"
                         : "compare the encoder's configuration with FILE",
                   write ? kWriteHelp : kVerifyHelp, [options, operation](TReport& report) {
                     return RunOnPorts(operation, *options, report);
                   });
    portOption(command);
    command->add_option("FILE", options->File, "the table file")->required();
  }
}
