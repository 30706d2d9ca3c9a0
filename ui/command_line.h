#pragma once
// kx470u's command line: --help and --version, answered before the window system is asked for
// anything, and a clear refusal of anything else the window program does not take.

#include <QStringList>
#include <string>

struct TCommandLine {
  enum class EAction {
    Run,     // show the window
    Help,    // print Text on standard output and exit 0
    Version, // print Text on standard output and exit 0
    Refuse,  // print Text on standard error and exit kUsageExit
  };
  EAction Action = EAction::Run;
  std::string Text;
};

constexpr int kUsageExit = 2;

// Looks for --help and --version in the program's arguments as given (Qt's own options, such
// as -platform, may still be among them); anything else is left for the second look.
TCommandLine AnswerEarly(const QStringList& arguments);

// The second look, at the arguments the application object left (Qt's options taken out):
// any that remain are refused with the reason and a pointer to --help.
TCommandLine CheckRemaining(const QStringList& arguments);
