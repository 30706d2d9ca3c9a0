// kx470u: the KX470U programming tool.

#include "ui/Frmabout.h"
#include "ui/Frmmain.h"
#include "ui/application.h"
#include "ui/command_line.h"
#include "ui/process_objects.h"

#include <QStringList>
#include <cstdio>

namespace {

// Prints what the command line asked for; gives the exit status.
int Answer(const TCommandLine& answer) {
  const bool refused = answer.Action == TCommandLine::EAction::Refuse;
  std::fputs(answer.Text.c_str(), refused ? stderr : stdout);
  return refused ? kUsageExit : 0;
}

} // namespace

int main(int argc, char** argv) {
  // --help and --version are answered before the window system is asked for anything, so
  // that they work without a display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);
  if (const TCommandLine early = AnswerEarly(arguments); early.Action != TCommandLine::EAction::Run)
    return Answer(early);
  TApplication application(argc, argv);
  if (const TCommandLine rest = CheckRemaining(TApplication::arguments());
      rest.Action != TCommandLine::EAction::Run)
    return Answer(rest);
  try {
    // Created before the main window and destroyed after it.
    TProcessObjects process;
    TfmMain fmMain(process);
    TfmAbout fmAbout(&fmMain);
    fmMain.fmAbout = &fmAbout;
    fmMain.show();
    return application.exec();
  } catch (...) {
    TApplication::ShowCurrentException();
  }
  return 1;
}
