// kx470-cli's commands on table files: check and show.

#include "cli.h"
#include "image/table_file.h"
#include "show_command.h"

#include <cstdio>

namespace {

const char* const kCheckHelp = R"(Usage: kx470-cli check FILE

Prints "Checksum OK" and exits 0 when FILE's checksum is valid; prints "Checksum error !" and
exits 1 otherwise. A FILE shorter than 2048 bytes is refused with its size.
)";

const char* const kShowHelp = R"(Usage: kx470-cli show FILE [--json]

Prints the whole configuration held in FILE: paging parameters, entries with their messages,
keys, synthesizer registers and the transmit frequency. With --json, one JSON object.
A FILE whose checksum is wrong is printed all the same, then "Checksum error !" goes to
standard error and the exit status is 1. A FILE shorter than 2048 bytes is refused; with
--json that refusal is a JSON object on standard output. With --quiet nothing is printed:
the exit status tells whether the checksum is valid.
)";

int RunCheck(const std::string& file, TReport& report) {
  const TTableRead read = ReadTableFile(file);
  if (!read.Ok)
    report.Print(TResult::Failure("file", file, file + ": " + read.Error)
                     .Add("reason", QString::fromStdString(read.Error)));
  else if (!ChecksumValid(read.Block))
    report.Print(TResult::Failure("file", file, "Checksum error !"));
  else
    report.Print(TResult::Success("file", file, "Checksum OK"));
  return report.ExitStatus();
}

// A wrong checksum does not stop the listing: what the file holds is what one wants to see.
int RunShow(const std::string& file, TReport& report) {
  const TTableRead read = ReadTableFile(file);
  if (!read.Ok) {
    report.Print(TResult::Failure("file", file, file + ": " + read.Error)
                     .Add("reason", QString::fromStdString(read.Error)));
    return report.ExitStatus();
  }
  if (!report.Options().Quiet) {
    const bool json = report.Options().Json;
    std::fputs((json ? ImageAsJson(read.Block) : DescribeImage(read.Block)).c_str(), stdout);
    std::fflush(stdout);
  }
  // The JSON document says so itself ("valid": false); people read it here.
  if (!ChecksumValid(read.Block)) {
    std::fputs("Checksum error !\n", stderr);
    return kExitFailed;
  }
  return kExitOk;
}

} // namespace

void RegisterFileCommands(TCli& cli) {
  auto checked = std::make_shared<std::string>();
  AddCommand(cli, "check", "FILE", "test the checksum of a table file", kCheckHelp,
             [checked](TReport& report) { return RunCheck(*checked, report); })
      ->add_option("FILE", *checked, "the table file")
      ->required();
  auto shown = std::make_shared<std::string>();
  AddCommand(cli, "show", "FILE [--json]", "print the configuration held in a table file",
             kShowHelp, [shown](TReport& report) { return RunShow(*shown, report); })
      ->add_option("FILE", *shown, "the table file")
      ->required();
}
