#include "ui/application.h"

#include "ui/message_box.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TApplication::ShowException(const char* what) {
  ShowMessage(QString::fromLocal8Bit(what));
}

void TApplication::ShowCurrentException() {
  try {
    throw;
  } catch (const std::exception& error) {
    ShowException(error.what());
  } catch (...) {
    ShowException("");
  }
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  // The last resort for code that is not run through RunHandler.
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowCurrentException();
  }
  return false;
}

bool RunHandler(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (...) {
    TApplication::ShowCurrentException();
  }
  return false;
}
