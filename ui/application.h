#pragma once
// The application object: an exception that escapes a handler is shown in a message box with
// its text, and the event loop goes on.

#include <QApplication>

class TApplication : public QApplication {
  Q_OBJECT
public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
  static void ShowException(const char* what);
};
