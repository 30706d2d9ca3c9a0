#pragma once
// The application object: an exception that escapes a handler is shown in a message box with
// its text, and the event loop goes on.

#include <QApplication>
#include <functional>

class TApplication : public QApplication {
  Q_OBJECT
public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
  static void ShowException(const char* what);
  // Inside a catch block: shows the exception being handled, with its message text, or an
  // empty text when it carries none.
  static void ShowCurrentException();
};

// Runs a handler of the window. An exception that escapes it is shown as every escaped
// exception is (TApplication::ShowCurrentException) and ends there: it never unwinds through
// the toolkit's code that called the handler, which is built without exception support and
// would be left half done. True when the handler ended normally.
bool RunHandler(const std::function<void()>& handler);
