// `kx470-cli page`: the POCSAG transmission a key or an entry of a table file sends.

#include "cli.h"
#include "editors/config_fields.h"
#include "pocsag/entry_page.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>
#include <unistd.h>

namespace {

const char* const kPageHelp =
    R"(Usage: kx470-cli page FILE (--key K | --entry N) [--codewords | --wav OUT | --raw OUT]

Gives the POCSAG page that the configuration in the table file FILE sends: for --key K the
entry that push-button input K (1 to 8, "KEY_SK") is assigned to in the key map, for --entry N
entry N (1 to 8, as "CapCode #N"). The page goes out at the configured bit rate and polarity,
repeat count + 1 times with the repeat wait between. FILE's checksum must be valid, as for
write: a configuration the encoder would not take sends nothing.

Output:
  --codewords   (the default) the codewords of one transmission in hex, one batch per line:
                the sync codeword and the 16 codewords of the eight frames
  --wav OUT     the baseband audio of the whole air time as a WAV file: NRZ at the bit rate,
                16-bit mono at 22050 Hz, with the polarity applied ("Normal": a 1 bit is the
                low level), silence during the repeat waits
  --raw OUT     the same audio as raw 16-bit little-endian samples, as multimon-ng -t raw
                reads them
                For both, OUT - writes to standard output, and the summary goes to stderr

What POCSAG cannot carry is warned about on standard error, and the page is given all the
same (exit status 0): an Alpha or Binary byte of 0x80 or above goes out as its low 7 bits
only; a character of a digit type outside its numeric set is left out; a key assigned to
several entries sends the first. A key assigned to no entry, an entry outside the capcode set,
or a stored value that names no bit rate, message type or function is an error (exit 1).
The transmission rules are our model of the encoder: pocsag/transmission-rules.md.
)";

struct TPageOptions {
  std::string File;
  int Key = 0;
  int Entry = 0;
  bool Codewords = false;
  std::string Wav;
  std::string Raw;
};

QString Hex32(std::uint32_t word) {
  return QString("%1").arg(word, 8, 16, QChar('0')).toUpper();
}

int RunPage(const TPageOptions& options, TReport& report) {
  const bool toStdout = options.Raw == "-" || options.Wav == "-";
  if (toStdout && ::isatty(1) == 1)
    throw EUsage("- would write binary samples to the terminal; redirect standard output");
  if (toStdout && report.Options().Json)
    throw EUsage("--json and the samples cannot share standard output; give a file for the audio");
  std::string error;
  const std::optional<TImageBytes> image = LoadTableFile(options.File, error);
  if (!image) {
    report.Print(TResult::Failure("file", options.File, error));
    return report.ExitStatus();
  }
  const TPageLookup lookup =
      options.Key ? PageOfKey(*image, options.Key) : PageOfEntry(*image, options.Entry - 1);
  if (!lookup.Page) {
    report.Print(TResult::Failure("file", options.File, options.File + ": " + lookup.Error));
    return report.ExitStatus();
  }
  const TEntryPage& page = *lookup.Page;
  for (const std::string& warning : page.Warnings)
    std::fprintf(stderr, "kx470-cli page: warning: %s\n", warning.c_str());
  std::fflush(stderr);

  const TTransmission& t = page.Transmission;
  QJsonArray batches, warnings;
  std::vector<std::string> lines;
  for (const TBatch& batch : t.Batches) {
    QJsonArray words;
    QStringList line;
    for (const std::uint32_t word : batch) {
      words.append(Hex32(word));
      line << Hex32(word);
    }
    batches.append(words);
    lines.push_back(line.join(' ').toStdString());
  }
  for (const std::string& warning : page.Warnings)
    warnings.append(QString::fromStdString(warning));

  const bool audio = !options.Wav.empty() || !options.Raw.empty();
  const std::string out = !options.Wav.empty() ? options.Wav : options.Raw;
  if (audio) {
    const bool wav = !options.Wav.empty();
    const bool ok = out == "-" ? WriteAudio(1, wav, t, error) : WriteAudioFile(out, wav, t, error);
    if (!ok) {
      report.Print(TResult::Failure("file", options.File, error));
      return report.ExitStatus();
    }
  }
  TResult result = TResult::Success("file", options.File, PageSummary(page));
  if (page.Key)
    result.Add("key", page.Key.value());
  result.Add("entry", page.Entry + 1)
      .Add("capcode", static_cast<qint64>(page.Capcode))
      .Add("function", kFunctionItems[page.Function])
      .Add("type", kMessageTypeItems[static_cast<int>(page.Type)])
      .Add("bit_rate", t.BitRate)
      .Add("polarity", kPolarityItems[t.Inverted ? 1 : 0])
      .Add("transmissions", t.Transmissions)
      .Add("repeat_wait", t.RepeatWait)
      .Add("preamble_bits", kPreambleBits)
      .Add("batches", batches)
      .Add("warnings", warnings);
  if (audio) {
    const auto samples = static_cast<qint64>(AudioSampleCount(t));
    result.Add("audio", QString::fromStdString(out))
        .Add("samples", samples)
        .Add("seconds", static_cast<double>(samples) / kSampleRate);
    result.Message = (out == "-" ? std::string("standard output") : out) + ": " +
                     std::to_string(samples) + " samples at " + std::to_string(kSampleRate) +
                     " Hz; " + result.Message;
  }
  if (!report.Options().Json && !audio) {
    // People and scripts get the codewords alone, one batch per line.
    if (!report.Options().Quiet)
      for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return kExitOk;
  }
  // Samples on standard output leave no room for the summary there.
  if (out == "-" && !report.Options().Json) {
    if (!report.Options().Quiet)
      std::fprintf(stderr, "%s\n", result.Message.c_str());
    return kExitOk;
  }
  report.Print(result);
  return report.ExitStatus();
}

} // namespace

void RegisterPageCommand(TCli& cli) {
  auto options = std::make_shared<TPageOptions>();
  CLI::App* app = AddCommand(cli, "page", "FILE (--key K | --entry N) [OUTPUT]",
                             "the POCSAG page a key or an entry sends", kPageHelp,
                             [options](TReport& report) { return RunPage(*options, report); });
  app->add_option("FILE", options->File, "the table file")->required();
  CLI::Option* key = app->add_option("--key", options->Key, "push-button input 1..8")
                         ->check(CLI::Range(1, kKeyInputs));
  CLI::Option* entry =
      app->add_option("--entry", options->Entry, "entry 1..8")->check(CLI::Range(1, kMaxCapcodes));
  key->excludes(entry);
  CLI::Option* codewords = app->add_flag("--codewords", options->Codewords, "codewords in hex");
  CLI::Option* wav = app->add_option("--wav", options->Wav, "WAV file");
  CLI::Option* raw = app->add_option("--raw", options->Raw, "raw samples");
  codewords->excludes(wav)->excludes(raw);
  wav->excludes(raw);
  app->callback([key, entry]() {
    if (key->count() == 0 && entry->count() == 0)
      throw CLI::RequiredError("--key or --entry");
  });
}
