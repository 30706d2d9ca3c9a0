#include "x11_input.h"

#include <QTest>
#include <QWidget>

// Xlib's macros (KeyPress, FocusIn, None...) collide with Qt's names: Xlib comes last.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

Display* Dpy(void* display) {
  return static_cast<Display*>(display);
}

QPoint GlobalPoint(const QWidget* widget, QPoint local) {
  if (local.x() < 0 || local.y() < 0)
    local = widget->rect().center();
  return widget->mapToGlobal(local);
}

} // namespace

TX11Input::TX11Input() : FDisplay(XOpenDisplay(nullptr)) {}

TX11Input::~TX11Input() {
  if (FDisplay)
    XCloseDisplay(Dpy(FDisplay));
}

void TX11Input::MoveTo(const QWidget* widget, QPoint local) {
  const QPoint global = GlobalPoint(widget, local);
  XTestFakeMotionEvent(Dpy(FDisplay), -1, global.x(), global.y(), CurrentTime);
  Settle(40);
}

void TX11Input::Wheel(int notches) {
  // Buttons 4 and 5 are the wheel turned up and down.
  const unsigned button = notches > 0 ? 4 : 5;
  for (int n = 0; n < (notches > 0 ? notches : -notches); ++n) {
    XTestFakeButtonEvent(Dpy(FDisplay), button, True, CurrentTime);
    XTestFakeButtonEvent(Dpy(FDisplay), button, False, CurrentTime);
    Settle(40);
  }
}

void TX11Input::Click(const QWidget* widget, QPoint local) {
  MoveTo(widget, local);
  XTestFakeButtonEvent(Dpy(FDisplay), 1, True, CurrentTime);
  XTestFakeButtonEvent(Dpy(FDisplay), 1, False, CurrentTime);
  Settle();
}

void TX11Input::Key(const char* keysym, bool control) {
  Display* display = Dpy(FDisplay);
  const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(keysym));
  const KeyCode ctrl = XKeysymToKeycode(display, XK_Control_L);
  if (control)
    XTestFakeKeyEvent(display, ctrl, True, CurrentTime);
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
  if (control)
    XTestFakeKeyEvent(display, ctrl, False, CurrentTime);
  Settle(60);
}

void TX11Input::Settle(int milliseconds) {
  XSync(Dpy(FDisplay), False);
  QTest::qWait(milliseconds);
}
