#pragma once
// A fresh main window on the xcb platform, under a window manager, for each test: real message
// boxes that a timer answers the way a user would once the box is up and active, and mouse and
// keyboard input through the X server.

#include "../window_fixture.h"
#include "x11_input.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>

class TXcbWindowTest : public TWindowTest {
protected:
  void SetUp() override {
    TWindowTest::SetUp();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    ASSERT_TRUE(X.Connected()) << "no X display";
    SetMessageResponder({}); // the real message boxes
    FAnswerer = std::make_unique<QTimer>();
    FAnswerer->setInterval(20);
    QObject::connect(FAnswerer.get(), &QTimer::timeout, [this] { AnswerMessageBox(); });
    FAnswerer->start();
  }

  void TearDown() override {
    FAnswerer.reset();
    TWindowTest::TearDown();
  }

  // Creates and shows the window and waits until the window manager has made it active.
  TfmMain& ShowWindow() {
    Process = std::make_unique<TProcessObjects>();
    Window = std::make_unique<TfmMain>(*Process);
    About = std::make_unique<TfmAbout>(Window.get());
    Window->fmAbout = About.get();
    Window->show();
    Window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    QTest::qWait(50);
    return *Window;
  }

  // Gives the focus to a control with a mouse click through the X server, scrolling the
  // capcode list to it first when it lies there.
  void ClickInto(QWidget* control) {
    ScrollIntoView(control);
    X.Click(control);
  }

  // Scrolls the capcode list so that a control on it is whole in view.
  void ScrollIntoView(QWidget* control) {
    if (!Window->scrCapContent->isAncestorOf(control))
      return;
    const QRect r(control->mapTo(Window->scrCapContent, QPoint(0, 0)), control->size());
    Window->scrCap->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 4,
                                  r.height() / 2 + 4);
    QTest::qWait(30);
  }

  // Waits until no message box is up any more and the events it left are handled.
  void SettleBoxes() {
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }, 5000))
        << "a message box stayed up";
    QTest::qWait(100);
  }

  // True when every message box shown so far was active when it was answered: the user saw it
  // in front and could press Enter.
  bool BoxesWereActive() const { return FInactiveBoxes == 0; }

  TX11Input X;

private:
  void AnswerMessageBox() {
    if (FAnswering)
      return;
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) {
      FWaited = 0;
      return;
    }
    // A user answers a box they can see in front of them; give the manager time to raise it.
    if (!box->isActiveWindow() && ++FWaited < 100)
      return;
    if (!box->isActiveWindow())
      ++FInactiveBoxes;
    FWaited = 0;
    Messages.push_back(TMessageRequest{box->text(), box->windowTitle(), MB_OK, false});
    QMessageBox::StandardButton button = QMessageBox::Ok;
    if (!Answers.empty()) {
      switch (Answers.front()) {
      case IDCANCEL:
        button = QMessageBox::Cancel;
        break;
      case IDYES:
        button = QMessageBox::Yes;
        break;
      case IDNO:
        button = QMessageBox::No;
        break;
      default:
        break;
      }
      Answers.pop_front();
    } else if (box->button(QMessageBox::Yes)) {
      button = QMessageBox::Yes;
    }
    QAbstractButton* pressed = box->button(button);
    if (!pressed)
      pressed = box->defaultButton();
    // Through the X server like the user's click: the window manager then sees the user act in
    // the box, and gives the activation back to the window that asks for it afterwards. The
    // click settles in a nested event loop; the timer must not answer the same box twice.
    FAnswering = true;
    X.Click(pressed);
    FAnswering = false;
  }

  std::unique_ptr<QTimer> FAnswerer;
  int FWaited = 0;
  int FInactiveBoxes = 0;
  bool FAnswering = false;
};
