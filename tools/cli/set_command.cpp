// `kx470-cli set`: fields of a table file changed in place.

#include "cli.h"
#include "config_json.h"
#include "image/table_file.h"

namespace {

const char* const kSetHelp = R"(Usage: kx470-cli set FILE FIELD=VALUE...

Changes fields of the table file FILE in place, for example
  kx470-cli set site.tbl 'entries[1].text=Call 2201' 'bit_rate=1200 bps' frequency_hz=462500000
FIELD is a field's path as `show --json` nests it: bit_rate, entries[2].capcode, keys[0],
registers[5], frequency_hz. VALUE is read as JSON when it is JSON (a number, true, false,
null, a quoted text, or an object or array for a group of fields, as in
'entries[0]={"capcode": 1234, "text": "Gate"}'), and is taken as text otherwise. Header and
trailer codes given as text are hexadecimal, as the window's boxes take them (1F, 0x1F).

Every value is checked as build checks it; when one is refused, FILE is not touched. FILE's
checksum must be valid. The new content replaces FILE at once, and the file it replaces is
kept as <name>.BAK in the working directory, as File > Save keeps it (an existing .BAK is kept
instead). Prints each field that changed, with its old and new value.
)";

struct TSetOptions {
  std::string File;
  std::vector<std::string> Assignments;
};

int RunSet(const TSetOptions& options, TReport& report) {
  std::vector<TAssignment> values;
  for (const std::string& argument : options.Assignments) {
    std::string problem;
    const auto parsed = ParseAssignment(argument, problem);
    if (!parsed)
      throw EUsage(problem);
    values.insert(values.end(), parsed->begin(), parsed->end());
  }
  std::string error;
  const std::optional<TImageBytes> old = LoadTableFile(options.File, error);
  if (!old)
    return report.Fail(error);
  const TBuildOutcome built = BuildImage(*old, values, Big5Codec());
  if (!built.Ok()) {
    report.Print(RefusedValues(options.File, built.Errors));
    return report.ExitStatus();
  }
  if (built.Image == *old) {
    report.Print(TResult::Success("file", options.File, "No change"));
    return report.ExitStatus();
  }
  const TTableWrite written = WriteTableFileSafely(options.File, built.Image);
  if (!written.Ok)
    return report.Fail(options.File + ": " + written.Error);
  TResult result = TResult::Success("file", options.File, "Set Success");
  AddDifference(result, *old, built.Image);
  if (written.BackedUp)
    result.Add("backup", QString::fromStdString(BackupName(options.File)));
  report.Print(result);
  return report.ExitStatus();
}

} // namespace

void RegisterSetCommand(TCli& cli) {
  auto options = std::make_shared<TSetOptions>();
  CLI::App* set = AddCommand(cli, "set", "FILE FIELD=VALUE...",
                             "change fields of a table file in place (a .BAK is kept)", kSetHelp,
                             [options](TReport& report) { return RunSet(*options, report); });
  set->add_option("FILE", options->File, "the table file")->required();
  set->add_option("FIELD=VALUE", options->Assignments, "the fields to change")->required();
}
