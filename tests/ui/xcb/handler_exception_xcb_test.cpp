// An exception that escapes a handler, met as a user meets it: through a click, a key and the
// presence poll's timer on X11. It is told in the window's message box with its text (an empty
// text when it carries none), every other receiver of the event still gets the event, and the
// window goes on working.

#include "xcb_fixture.h"

#include "editors/config_fields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <stdexcept>

namespace {

using THandlerExceptionXcb = TXcbWindowTest;

// An exception that is not a std::exception and carries no text.
struct TNotStandard {};

// Throws a std::exception on the first call, one that is not on the second, and does nothing
// after that.
void ThrowOnFirstTwo(int& calls, const char* what) {
  ++calls;
  if (calls == 1)
    throw std::runtime_error(what);
  if (calls == 2)
    throw TNotStandard{};
}

void ExpectToldLikeAnyMessage(const std::vector<TMessageRequest>& messages) {
  const QString title = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  for (const TMessageRequest& m : messages)
    EXPECT_EQ(m.Caption, title) << m.Text.toStdString();
}

TEST_F(THandlerExceptionXcb, AClickHandlerThatThrows) {
  TfmMain& w = ShowWindow();
  int calls = 0;
  OnCheckClick(w.chkKeyBeep, [&](QObject*) { ThrowOnFirstTwo(calls, "the beep failed"); });
  // Connected after the failing handler: it must still see every change.
  QSignalSpy toggled(w.chkKeyBeep, &QCheckBox::toggled);
  QSignalSpy clicked(w.chkKeyBeep, &QCheckBox::clicked);
  for (int click = 0; click < 3; ++click) {
    X.Click(w.chkKeyBeep);
    SettleBoxes();
  }
  EXPECT_EQ(MessageTexts(), (std::vector<QString>{"the beep failed", ""}));
  ExpectToldLikeAnyMessage(Messages);
  EXPECT_TRUE(BoxesWereActive());
  EXPECT_EQ(toggled.count(), 3) << "a receiver after the failing handler missed the change";
  EXPECT_EQ(clicked.count(), 3) << "the check box did not finish its click";
  // The box's own handler ran every time: the image follows the box.
  EXPECT_EQ(Ticked(w.Image, kFieldKeyBeep), w.chkKeyBeep->isChecked());
  EXPECT_EQ(calls, 3);

  // The window goes on: a typed value is stored.
  ClickInto(w.edtRepeatTimes);
  X.Key("5");
  X.Key("Return");
  EXPECT_EQ(w.Image[kRepeatCount], 4);
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);
}

TEST_F(THandlerExceptionXcb, AListHandlerThatThrowsOnAKey) {
  TfmMain& w = ShowWindow();
  int calls = 0;
  OnListClick(w.cboBaud, [&](QObject*) { ThrowOnFirstTwo(calls, "the rate failed"); });
  QSignalSpy activated(w.cboBaud, &QComboBox::textActivated);
  // Tabbed to, as a keyboard user reaches a list.
  w.cboBaud->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == w.cboBaud; }, 2000));
  w.cboBaud->setCurrentIndex(0);
  for (const char* key : {"Down", "Down", "Up"}) {
    X.Key(key);
    SettleBoxes();
  }
  EXPECT_EQ(MessageTexts(), (std::vector<QString>{"the rate failed", ""}));
  ExpectToldLikeAnyMessage(Messages);
  EXPECT_EQ(activated.count(), 3) << "the list did not finish picking the item";
  EXPECT_EQ(w.cboBaud->currentIndex(), 1);
  EXPECT_EQ(ItemIndex(w.Image, kFieldBitRate), 1) << "the list's own handler stored the pick";
  EXPECT_EQ(QApplication::focusWidget(), w.cboBaud);
}

TEST_F(THandlerExceptionXcb, AKeyFilterThatThrows) {
  TfmMain& w = ShowWindow();
  TEventAdapter& adapter = TEventAdapter::Of(w.edtRepeatTimes);
  const TKeyPressEvent filter = adapter.OnKeyPress;
  int calls = 0;
  adapter.OnKeyPress = [&, filter](QObject* sender, char16_t& key) {
    if (key == u'7')
      ThrowOnFirstTwo(calls, "no sevens");
    filter(sender, key);
  };
  ClickInto(w.edtRepeatTimes);
  for (const char* key : {"1", "7", "7", "2"}) {
    X.Key(key);
    SettleBoxes();
  }
  EXPECT_EQ(MessageTexts(), (std::vector<QString>{"no sevens", ""}));
  ExpectToldLikeAnyMessage(Messages);
  // A key whose filter failed is not typed; the entry goes on in the same box.
  EXPECT_EQ(w.edtRepeatTimes->text(), "12");
  EXPECT_EQ(QApplication::focusWidget(), w.edtRepeatTimes);
  X.Key("Return");
  EXPECT_EQ(w.Image[kRepeatCount], 11);
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);
}

TEST_F(THandlerExceptionXcb, APollTickThatThrows) {
  TfmMain& w = ShowWindow();
  int polls = 0;
  const auto dispatch = w.LinkHost.DispatchEvents;
  w.LinkHost.DispatchEvents = [&, dispatch] {
    // Every tick of the poll starts here.
    ThrowOnFirstTwo(polls, "the poll failed");
    dispatch();
  };
  QSignalSpy ticks(w.Timer2, &QTimer::timeout);
  w.SetStatusText(1, "");
  w.Timer2->start(50);
  EXPECT_TRUE(QTest::qWaitFor([&] { return polls >= 4; }, 10000)) << polls << " polls";
  SettleBoxes();
  w.Timer2->stop();
  EXPECT_EQ(MessageTexts(), (std::vector<QString>{"the poll failed", ""}));
  ExpectToldLikeAnyMessage(Messages);
  EXPECT_EQ(ticks.count(), polls) << "a receiver of the timer missed a tick";
  // The ticks after the failures ran the poll to its end: it tells what it found.
  EXPECT_FALSE(w.StatusText(1).isEmpty());
  EXPECT_FALSE(w.mnuPager->isEnabled());
}

} // namespace
