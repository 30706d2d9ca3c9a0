// `kx470-cli build`: a table file from a JSON description of its fields.

#include "cli.h"
#include "config_json.h"
#include "image/table_file.h"

#include <QFile>
#include <QJsonDocument>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

const char* const kBuildHelp = R"(Usage: kx470-cli build CONFIG.json [--base FILE] --out FILE

Writes the table file FILE from CONFIG.json, a JSON object with the members `show --json`
prints (CONFIG.json - reads it from standard input). A field the object leaves out, and every
byte no field covers, comes from the base: the table file given with --base (its checksum must
be valid), or else the built-in image. A value equal to the base's leaves the base's bytes as
they are, so that the JSON `show --json` prints for a table builds that table again.

Every value is checked as the window checks it; a refused value is told with the field's name
and the window's message, for example
  entries[2].capcode: Please insert a number between 8 to 2097151!
and nothing is written. "frequency_hz" is planned as the Frequency box plans it; when the
registers R0, R1 or R5 change as well, they must describe that frequency. A change of
"capcode_set" lays the messages out for the new number of entries. The checksum is computed
and stored; the "checksum" member is not read. FILE is written whole and at once; --out -
writes the 2048 bytes to standard output.
)";

struct TBuildOptions {
  std::string Config;
  std::string Base;
  std::string Out;
};

// The JSON text of CONFIG, from a file or standard input.
bool ReadConfig(const std::string& path, QByteArray& text, std::string& error) {
  QFile file;
  const bool opened = path == "-" ? file.open(stdin, QIODevice::ReadOnly)
                                  : (file.setFileName(QString::fromStdString(path)),
                                     file.open(QIODevice::ReadOnly));
  if (!opened) {
    error = path + ": " + file.errorString().toStdString();
    return false;
  }
  text = file.readAll();
  return true;
}

int RunBuild(const TBuildOptions& options, TReport& report) {
  if (options.Out == "-" && ::isatty(1) == 1)
    throw EUsage("--out - would write 2048 binary bytes to the terminal; redirect standard output");
  if (options.Out != "-")
    if (const std::string problem = SaveTargetProblem(options.Out); !problem.empty())
      return report.Fail(options.Out + ": " + problem);

  QByteArray text;
  std::string error;
  if (!ReadConfig(options.Config, text, error))
    return report.Fail(error);
  QJsonParseError parsed;
  const QJsonDocument document = QJsonDocument::fromJson(text, &parsed);
  if (parsed.error != QJsonParseError::NoError)
    return report.Fail(options.Config + ": not JSON: " + parsed.errorString().toStdString() +
                       " at byte " + std::to_string(parsed.offset));
  if (!document.isObject())
    return report.Fail(options.Config + ": the configuration is a JSON object, as show --json "
                                        "prints it");

  TImageBytes base = TConfigImage::DefaultBytes();
  if (!options.Base.empty()) {
    const std::optional<TImageBytes> file = LoadTableFile(options.Base, error);
    if (!file)
      return report.Fail(error);
    base = *file;
  }
  QJsonObject root = document.object();
  root.remove(kChecksumName);
  std::vector<TAssignment> values;
  Flatten(root, "", values);
  const TBuildOutcome built = BuildImage(base, values, Big5Codec());
  if (!built.Ok()) {
    report.Print(RefusedValues(options.Config, built.Errors));
    return report.ExitStatus();
  }

  if (options.Out == "-") {
    if (std::fwrite(built.Image.data(), 1, built.Image.size(), stdout) != built.Image.size() ||
        std::fflush(stdout) != 0)
      return report.Fail(std::string("standard output: ") + std::strerror(errno));
    return kExitOk;
  }
  const TTableWrite written = WriteFileAtomically(options.Out, built.Image);
  if (!written.Ok)
    return report.Fail(options.Out + ": " + written.Error);
  report.Print(TResult::Success("file", options.Out, "Build Success"));
  return report.ExitStatus();
}

} // namespace

void RegisterBuildCommand(TCli& cli) {
  auto options = std::make_shared<TBuildOptions>();
  CLI::App* build = AddCommand(cli, "build", "CONFIG --out FILE",
                               "a table file from show's JSON, over --base FILE", kBuildHelp,
                               [options](TReport& report) { return RunBuild(*options, report); });
  build->add_option("CONFIG", options->Config, "the JSON configuration")->required();
  build->add_option("--base", options->Base, "the table file the configuration is built over");
  build->add_option("--out", options->Out, "the table file to write")->required();
}
