#include "ui/application.h"

#include "ui/message_box.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TApplication::ShowException(const char* what) {
  ShowMessage(QString::fromLocal8Bit(what));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowException(error.what());
  } catch (...) {
    ShowException("");
  }
  return false;
}
