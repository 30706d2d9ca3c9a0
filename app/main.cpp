// kx470u: the KX470U programming tool.

#include "app/version.h"
#include "ui/Frmabout.h"
#include "ui/Frmmain.h"
#include "ui/application.h"
#include "ui/process_objects.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  // Answered before the window system is asked for anything, so that it works without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("kx470u %s\n", kProgramVersion);
    return 0;
  }
  TApplication application(argc, argv);
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
