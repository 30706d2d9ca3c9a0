#pragma once
// Input through the X server, as a user's mouse and keyboard make it: the events reach the
// window through the server, the window manager and the xcb platform like real ones.

#include <QPoint>
#include <QString>

class QWidget;

class TX11Input {
public:
  TX11Input();
  ~TX11Input();
  TX11Input(const TX11Input&) = delete;
  TX11Input& operator=(const TX11Input&) = delete;

  bool Connected() const { return FDisplay != nullptr; }
  // Moves the pointer to a point of a widget (its centre by default).
  void MoveTo(const QWidget* widget, QPoint local = QPoint(-1, -1));
  // Turns the wheel by whole notches over the pointer: positive away from the user (up).
  void Wheel(int notches);
  void Click(const QWidget* widget, QPoint local = QPoint(-1, -1));
  // Presses and releases a key given by its X keysym name ("e", "F3", "Return"), with Control
  // held down when asked.
  void Key(const char* keysym, bool control = false);
  // Lets the window receive and handle what was sent.
  void Settle(int milliseconds = 100);

private:
  void* FDisplay = nullptr;
};
