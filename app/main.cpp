// kx470u: the KX470U programming tool.

#include "ui/Frmabout.h"
#include "ui/Frmmain.h"
#include "ui/application.h"
#include "ui/process_objects.h"

#include <exception>

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  try {
    // Created before the main window and destroyed after it.
    TProcessObjects process;
    TfmMain fmMain(process);
    TfmAbout fmAbout(&fmMain);
    fmMain.fmAbout = &fmAbout;
    fmMain.show();
    return application.exec();
  } catch (const std::exception& error) {
    TApplication::ShowException(error.what());
  } catch (...) {
    TApplication::ShowException("");
  }
  return 1;
}
