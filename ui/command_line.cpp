#include "ui/command_line.h"

#include "app/version.h"
#include "image/table_file.h"
#include "synth/synth_ini.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

const char* const kProgram = "kx470u";

const char* const kDescription =
    "The KX470U programming tool: edits the paging encoder's configuration, keeps it in table\n"
    "files (.tbl) and reads, writes and verifies the encoder over a serial line. Every two\n"
    "seconds it looks for the encoder on every serial port present; the Pager menu opens once\n"
    "one answers.";

// Told after the options, as the other programs' help texts tell them.
std::string Epilogue() {
  return std::string("\nQt's own options (-platform, -style, -display, ...) are accepted too.\n"
                     "\nEnvironment:\n"
                     "  KX470_PORTS        device paths separated by ':' that replace the "
                     "discovered serial ports\n"
                     "\nFiles:\n  ./") +
         kDefaultTableName + "        loaded at start-up when present\n  ./" + kSynthIniName +
         "    the synthesizer settings kept between runs\n"
         "The files are read from and written to the directory the tool is started from.\n";
}

struct TParser {
  QCommandLineParser Parser;
  QCommandLineOption Help{{"h", "help"}, "Show this text and exit."};
  QCommandLineOption Version{"version", "Show the program's version and exit."};
  TParser() {
    Parser.setApplicationDescription(kDescription);
    // -platform, -style and the like are single words, as Qt's own parser takes them.
    Parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    Parser.addOption(Help);
    Parser.addOption(Version);
  }
};

std::string HelpText(const QCommandLineParser& parser) {
  // The usage line names the program from the application object. Asked before there is one,
  // a console one under the program's own name gives "kx470u" whatever path started it, and
  // needs no display.
  if (QCoreApplication::instance() != nullptr)
    return parser.helpText().toStdString() + Epilogue();
  int count = 1;
  std::string name = kProgram;
  char* names[] = {name.data(), nullptr};
  const QCoreApplication console(count, names);
  return parser.helpText().toStdString() + Epilogue();
}

} // namespace

TCommandLine AnswerEarly(const QStringList& arguments) {
  TParser p;
  // Unknown options are for the second look, once Qt has taken its own.
  p.Parser.parse(arguments);
  if (p.Parser.isSet(p.Help))
    return {TCommandLine::EAction::Help, HelpText(p.Parser)};
  if (p.Parser.isSet(p.Version))
    return {TCommandLine::EAction::Version, std::string(kProgram) + " " + kProgramVersion + "\n"};
  return {};
}

TCommandLine CheckRemaining(const QStringList& arguments) {
  TParser p;
  std::string problem;
  if (!p.Parser.parse(arguments))
    problem = p.Parser.errorText().toStdString();
  else if (!p.Parser.positionalArguments().isEmpty())
    problem = "unexpected argument \"" + p.Parser.positionalArguments().first().toStdString() +
              "\": the tool takes no file or other argument";
  if (problem.empty())
    return {};
  return {TCommandLine::EAction::Refuse, std::string(kProgram) + ": " + problem + "\nRun '" +
                                             kProgram + " --help' for what it takes.\n"};
}
