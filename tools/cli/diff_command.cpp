// `kx470-cli diff`: two configurations compared field by field.

#include "cli.h"
#include "config_json.h"
#include "image/table_file.h"

namespace {

const char* const kDiffHelp = R"(Usage: kx470-cli diff A B [--json]

Compares two configurations field by field. A and B are each a table file or port:DEVICE,
the configuration read from the encoder on DEVICE. Prints each field that differs with A's
value and B's, for example
  entries[2].capcode: 1234562 -> 1234563
  registers[1]: 0x092943 -> 0x492943 (RF_P 0 -> 1)
and each differing byte that no differing field accounts for, by its offset:
  byte 0x05F: 0x00 -> 0x01
Nothing is printed when the two are the same 2048 bytes.
Exit status: 0 equal, 1 different, 2 when a configuration cannot be read (as with cmp and
diff) or on a usage error.
)";

constexpr const char* kPortPrefix = "port:";

struct TDiffOptions {
  std::string A, B;
};

// A table file, whatever its checksum (the difference shows it), or an encoder's configuration.
std::optional<TImageBytes> Configuration(const std::string& source, TResult& failure) {
  if (source.rfind(kPortPrefix, 0) == 0)
    return ReadEncoderImage(source.substr(std::string(kPortPrefix).size()), failure);
  const TTableRead read = ReadTableFile(source);
  if (read.Ok)
    return read.Block;
  failure = TResult::Failure("file", source, source + ": " + read.Error);
  failure.Add("reason", QString::fromStdString(read.Error));
  return std::nullopt;
}

int RunDiff(const TDiffOptions& options, TReport& report) {
  TResult failure;
  const std::optional<TImageBytes> a = Configuration(options.A, failure);
  const std::optional<TImageBytes> b = a ? Configuration(options.B, failure) : std::nullopt;
  if (!b) {
    report.Print(failure);
    return kExitUsage;
  }
  const bool equal = *a == *b;
  TResult result = TResult::Success("", "", equal ? "Equal" : "Different");
  result.Add("a", QString::fromStdString(options.A)).Add("b", QString::fromStdString(options.B));
  result.Add("equal", equal);
  if (!equal)
    AddDifference(result, *a, *b);
  if (report.Options().Json)
    report.Print(result);
  else if (!equal && !report.Options().Quiet)
    for (const std::string& line : result.Details)
      std::printf("%s\n", line.c_str());
  return equal ? kExitOk : kExitFailed;
}

} // namespace

void AddDifference(TResult& result, const TImageBytes& a, const TImageBytes& b) {
  const TImageDifference difference = DiffImages(a, b, Big5Codec());
  const std::vector<std::string> lines = DifferenceLines(difference);
  result.Details.insert(result.Details.end(), lines.begin(), lines.end());
  result.Add("differences", DifferenceAsJson(difference));
}

void RegisterDiffCommand(TCli& cli) {
  auto options = std::make_shared<TDiffOptions>();
  CLI::App* diff =
      AddCommand(cli, "diff", "A B", "what differs between two tables or port:DEVICE, by field",
                 kDiffHelp, [options](TReport& report) { return RunDiff(*options, report); });
  diff->add_option("A", options->A, "a table file or port:DEVICE")->required();
  diff->add_option("B", options->B, "a table file or port:DEVICE")->required();
}
