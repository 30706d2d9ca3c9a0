// kx470-cli: read, write, verify and inspect KX470U configurations from scripts.

#include "app/version.h"
#include "cli.h"
#include "image/table_file.h"

#include <cstdio>
#include <cstring>

// Each command file registers its commands with one function; a new command file adds its
// function here.
void RegisterLinkCommands(TCli& cli); // ports, probe, read, write, verify
void RegisterFileCommands(TCli& cli); // check, show
void RegisterBuildCommand(TCli& cli);
void RegisterSetCommand(TCli& cli);
void RegisterDiffCommand(TCli& cli);
void RegisterPageCommand(TCli& cli);

namespace {

const std::vector<void (*)(TCli&)> kRegistrations{RegisterLinkCommands, RegisterFileCommands,
                                                  RegisterBuildCommand, RegisterSetCommand,
                                                  RegisterDiffCommand,  RegisterPageCommand};

const char* const kCommonOptions = R"(
Options of every command:
  --json       one JSON object per result on standard output, failures included
  --quiet      print nothing on success; failures are still told
  -h, --help   this text
)";

std::string ToolHelp(const TCli& cli) {
  std::string text = "Usage: kx470-cli COMMAND [OPTIONS]\n\nCommands:\n";
  for (const auto& command : cli.Commands) {
    std::string left = command->Name;
    if (!command->Synopsis.empty())
      left += std::string(left.size() < 7 ? 7 - left.size() : 1, ' ') + command->Synopsis;
    left.resize(std::max<std::size_t>(left.size() + 1, 34), ' ');
    text += "  " + left + command->Summary + "\n";
  }
  text += R"(
Run 'kx470-cli COMMAND --help' for one command, 'kx470-cli --version' for the version.
Every command takes --json (one JSON object per result on standard output, failures included)
and --quiet (nothing printed on success).
Exit status: 0 success, 1 the operation failed (the reason is on stderr, or in the JSON
output), 2 usage error.

Environment:
  KX470_PORTS   device paths separated by ':' that replace the discovered serial ports
)";
  return text;
}

const TCommand* CommandOf(const TCli& cli, const CLI::App* app) {
  for (const auto& command : cli.Commands)
    if (command->App == app)
      return command.get();
  return nullptr;
}

const TCommand* ParsedCommand(const TCli& cli) {
  for (const auto& command : cli.Commands)
    if (command->App->parsed())
      return command.get();
  return nullptr;
}

bool WantsJson(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--json") == 0)
      return true;
  return false;
}

// A usage error: the problem and the help of the command (or of the tool) on stderr, and with
// --json a failure object on stdout as well.
int Usage(const TCli& cli, const TCommand* command, const std::string& problem, bool json) {
  if (json) {
    TResult result = TResult::Failure("", "", problem);
    result.Add("usage", true);
    std::printf("%s\n", ResultAsJson(result).c_str());
    std::fflush(stdout);
  }
  if (command)
    std::fprintf(stderr, "kx470-cli %s: %s\n\n%s", command->Name.c_str(), problem.c_str(),
                 command->Help.c_str());
  else
    std::fprintf(stderr, "kx470-cli: %s\n\n%s", problem.c_str(), ToolHelp(cli).c_str());
  return kExitUsage;
}

} // namespace

TCli::TCli() : App("Reads, writes, verifies and inspects KX470U configurations", "kx470-cli") {
  App.formatter_fn([this](const CLI::App* app, const std::string&, CLI::AppFormatMode) {
    const TCommand* command = CommandOf(*this, app);
    return command ? command->Help : ToolHelp(*this);
  });
  App.set_version_flag("--version", std::string("kx470-cli ") + kProgramVersion);
  App.require_subcommand(1);
}

CLI::App* AddCommand(TCli& cli, const std::string& name, const std::string& synopsis,
                     const std::string& summary, const std::string& help,
                     std::function<int(TReport&)> run) {
  auto command = std::make_unique<TCommand>();
  command->Name = name;
  command->Synopsis = synopsis;
  command->Summary = summary;
  command->Help = help + kCommonOptions;
  command->Run = std::move(run);
  command->App = cli.App.add_subcommand(name, summary);
  command->App->add_flag("--json", cli.Output.Json);
  command->App->add_flag("--quiet", cli.Output.Quiet);
  cli.Commands.push_back(std::move(command));
  return cli.Commands.back()->App;
}

std::optional<TImageBytes> LoadTableFile(const std::string& path, std::string& error) {
  const TTableRead read = ReadTableFile(path);
  if (!read.Ok) {
    error = path + ": " + read.Error;
    return std::nullopt;
  }
  if (!ChecksumValid(read.Block)) {
    error = "Checksum error !";
    return std::nullopt;
  }
  return read.Block;
}

int main(int argc, char** argv) {
  TCli cli;
  for (const auto registration : kRegistrations)
    registration(cli);
  const bool json = WantsJson(argc, argv);
  if (argc < 2)
    return Usage(cli, nullptr, "no command given", json);
  const std::string first = argv[1];
  if (first == "help") {
    std::fputs(ToolHelp(cli).c_str(), stdout);
    return kExitOk;
  }
  const auto known = [&](const std::string& name) {
    for (const auto& command : cli.Commands)
      if (command->Name == name)
        return true;
    return false;
  };
  if (first[0] != '-' && !known(first))
    return Usage(cli, nullptr, "unknown command '" + first + "'", json);
  try {
    cli.App.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(cli.App.help().c_str(), stdout);
    return kExitOk;
  } catch (const CLI::CallForVersion& version) {
    std::printf("%s\n", version.what());
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    return Usage(cli, ParsedCommand(cli), error.what(), json);
  }
  const TCommand* command = ParsedCommand(cli);
  TReport report(cli.Output);
  try {
    return command->Run(report);
  } catch (const EUsage& error) {
    return Usage(cli, command, error.what(), cli.Output.Json);
  }
}
