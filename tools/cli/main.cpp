// kx470-cli: read, write, verify and inspect KX470U configurations from scripts.

#include "app/version.h"
#include "cli.h"
#include "image/table_file.h"
#include "show_command.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <unistd.h>

namespace {

const char* const kUsage = R"(Usage: kx470-cli COMMAND [OPTIONS]

Commands:
  ports                             list the serial port slots: slot, name, device path
  probe  --port DEVICE              link to the encoder and print its identification
  read   --port DEVICE --out FILE   read the encoder's configuration into FILE (- for stdout)
  write  --port DEVICE FILE         program the configuration in FILE into the encoder
  verify --port DEVICE FILE         compare the encoder's configuration with FILE
  check  FILE                       test the checksum of a table file
  show   FILE [--json]              print the configuration held in a table file

Run 'kx470-cli COMMAND --help' for one command, 'kx470-cli --version' for the version.
Exit status: 0 success, 1 the operation failed (the reason is on stderr), 2 usage error.

Environment:
  KX470_PORTS   device paths separated by ':' that replace the discovered serial ports
)";

const std::map<std::string, const char*> kCommandHelp{
    {"ports", R"(Usage: kx470-cli ports

Lists the serial port slots the tool would probe, one line each: slot, name, device path.
KX470_PORTS (device paths separated by ':') replaces the discovered ports.
)"},
    {"probe", R"(Usage: kx470-cli probe --port DEVICE

Brings the encoder on DEVICE into its programming mode and prints its identification:
  PID:8,  MCU Type:1,  IAP Ver:1.0,  User Ver:1.27
Exit status 0 when the encoder is a KX470U (PID 8 or 10), 1 otherwise.
)"},
    {"read", R"(Usage: kx470-cli read --port DEVICE --out FILE

Links to the encoder on DEVICE and reads its 2048-byte configuration. FILE is written, whole
and at once, only when the read succeeded and the configuration's checksum is valid; a failed
read never creates or changes FILE. A symbolic link FILE is followed and stays a link; a FILE
that is a folder, a device or a FIFO is refused. With --out - the 2048 bytes go to standard
output and "Read Success" to standard error.
)"},
    {"write", R"(Usage: kx470-cli write --port DEVICE FILE

Checks FILE's checksum as File > Open does, links to the encoder on DEVICE and programs the
configuration into it (the checksum is stored first). Prints "Write Success".
)"},
    {"verify", R"(Usage: kx470-cli verify --port DEVICE FILE

Links to the encoder on DEVICE, reads its configuration and compares all 2048 bytes with FILE.
Prints "Verify success !" or fails with "Verify error !".
)"},
    {"check", R"(Usage: kx470-cli check FILE

Prints "Checksum OK" and exits 0 when FILE's checksum is valid; prints "Checksum error !" and
exits 1 otherwise. A FILE shorter than 2048 bytes is refused with its size.
)"},
    {"show", R"(Usage: kx470-cli show FILE [--json]

Prints the whole configuration held in FILE: paging parameters, entries with their messages,
keys, synthesizer registers and the transmit frequency. With --json, one JSON object.
A FILE whose checksum is wrong is printed all the same, then "Checksum error !" goes to
standard error and the exit status is 1. A FILE shorter than 2048 bytes is refused.
)"},
};

int Usage(const std::string& problem) {
  if (!problem.empty())
    std::fprintf(stderr, "kx470-cli: %s\n\n", problem.c_str());
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

int CommandUsage(const std::string& command, const std::string& problem) {
  std::fprintf(stderr, "kx470-cli %s: %s\n\n%s", command.c_str(), problem.c_str(),
               kCommandHelp.at(command));
  return kExitUsage;
}

// Parses the options every command shares; the command checks which it needs.
std::optional<TCommandLine> Parse(int argc, char** argv, std::string& problem) {
  TCommandLine line;
  line.Command = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    // One port and one output at a time: a second one would be silently ignored.
    auto once = [&](std::optional<std::string>& target, const std::string& name,
                    const std::string& given) {
      if (target) {
        problem =
            name + " was given twice; one " + (name == "--port" ? "port" : "output") + " at a time";
        return false;
      }
      target = given;
      return true;
    };
    auto value = [&](std::optional<std::string>& target) {
      if (i + 1 >= argc) {
        problem = argument + " needs a value";
        return false;
      }
      return once(target, argument, argv[++i]);
    };
    if (argument == "--help" || argument == "-h")
      line.Help = true;
    else if (argument == "--json")
      line.Json = true;
    else if (argument == "--port") {
      if (!value(line.Port))
        return std::nullopt;
    } else if (argument.rfind("--port=", 0) == 0) {
      if (!once(line.Port, "--port", argument.substr(7)))
        return std::nullopt;
    } else if (argument == "--out") {
      if (!value(line.Out))
        return std::nullopt;
    } else if (argument.rfind("--out=", 0) == 0) {
      if (!once(line.Out, "--out", argument.substr(6)))
        return std::nullopt;
    } else if (argument.size() > 1 && argument[0] == '-') {
      problem = "unknown option " + argument;
      return std::nullopt;
    } else
      line.Arguments.push_back(argument);
  }
  return line;
}

int RunCheck(const TCommandLine& line) {
  const TTableRead read = ReadTableFile(line.Arguments[0]);
  if (!read.Ok)
    return Fail(line.Arguments[0] + ": " + read.Error);
  if (!ChecksumValid(read.Block))
    return Fail("Checksum error !");
  std::puts("Checksum OK");
  return kExitOk;
}

// A wrong checksum does not stop the listing: what the file holds is what one wants to see.
int RunShow(const TCommandLine& line) {
  const TTableRead read = ReadTableFile(line.Arguments[0]);
  if (!read.Ok)
    return Fail(line.Arguments[0] + ": " + read.Error);
  std::fputs((line.Json ? ImageAsJson(read.Block) : DescribeImage(read.Block)).c_str(), stdout);
  std::fflush(stdout);
  if (!ChecksumValid(read.Block))
    return Fail("Checksum error !");
  return kExitOk;
}

} // namespace

int Fail(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return kExitFailed;
}

std::optional<TImageBytes> LoadTableFile(const std::string& path) {
  const TTableRead read = ReadTableFile(path);
  if (!read.Ok) {
    Fail(path + ": " + read.Error);
    return std::nullopt;
  }
  if (!ChecksumValid(read.Block)) {
    Fail("Checksum error !");
    return std::nullopt;
  }
  return read.Block;
}

int main(int argc, char** argv) {
  if (argc < 2)
    return Usage("no command given");
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (command == "--version") {
    std::printf("kx470-cli %s\n", kProgramVersion);
    return kExitOk;
  }
  if (!kCommandHelp.count(command))
    return Usage("unknown command '" + command + "'");
  std::string problem;
  const std::optional<TCommandLine> parsed = Parse(argc, argv, problem);
  if (!parsed)
    return CommandUsage(command, problem);
  const TCommandLine& line = *parsed;
  if (line.Help) {
    std::fputs(kCommandHelp.at(command), stdout);
    return kExitOk;
  }

  const bool needsPort =
      command == "probe" || command == "read" || command == "write" || command == "verify";
  const std::size_t files =
      (command == "write" || command == "verify" || command == "check" || command == "show") ? 1
                                                                                             : 0;
  if (needsPort && !line.Port)
    return CommandUsage(command, "--port DEVICE is required");
  if (!needsPort && line.Port)
    return CommandUsage(command, "--port is not an option of this command");
  if (command == "read" && !line.Out)
    return CommandUsage(command, "--out FILE is required");
  if (command == "read" && *line.Out == "-" && ::isatty(1) == 1)
    return CommandUsage(command, "--out - would write 2048 binary bytes to the terminal; "
                                 "redirect standard output");
  if (command != "read" && line.Out)
    return CommandUsage(command, "--out is not an option of this command");
  if (command != "show" && line.Json)
    return CommandUsage(command, "--json is not an option of this command");
  if (line.Arguments.size() != files)
    return CommandUsage(command, files ? "one FILE is required"
                                       : "unexpected argument '" + line.Arguments.front() + "'");

  if (command == "ports")
    return RunPorts(line);
  if (command == "probe")
    return RunProbe(line);
  if (command == "read")
    return RunRead(line);
  if (command == "write")
    return RunWrite(line);
  if (command == "verify")
    return RunVerify(line);
  if (command == "check")
    return RunCheck(line);
  return RunShow(line);
}
