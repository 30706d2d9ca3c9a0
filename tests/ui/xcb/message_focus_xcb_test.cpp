// Where the focus is after a real message box: the box takes the activation from the window
// and the window manager gives it back; the focus must end where the editor puts it.

#include "xcb_fixture.h"

#include "ui/memo.h"

#include <QLineEdit>
#include <functional>
#include <string>

namespace {

using TMessageFocusXcb = TXcbWindowTest;

TEST_F(TMessageFocusXcb, ARejectedValueGetsTheFocusBack) {
  TfmMain& w = ShowWindow();
  ClickInto(w.edtRepeatTimes);
  ASSERT_EQ(QApplication::focusWidget(), w.edtRepeatTimes);
  EXPECT_EQ(w.edtRepeatTimes->text(), "") << "cleared on entry";
  X.Key("0");
  ClickInto(w.edtWaitTime);
  SettleBoxes();
  ASSERT_EQ(MessageTexts(), std::vector<QString>{"Please insert a number between 1 and 256 !"});
  EXPECT_TRUE(BoxesWereActive());
  EXPECT_TRUE(w.isActiveWindow());
  EXPECT_EQ(QApplication::focusWidget(), w.edtRepeatTimes) << "back in the box";
  EXPECT_EQ(w.edtRepeatTimes->text(), "0") << "the wrong value stays to be corrected";
  EXPECT_EQ(w.Image[kRepeatCount], 0) << "nothing written";
  EXPECT_EQ(w.edtWaitTime->text(), "0") << "the box the user clicked was not entered";
}

TEST_F(TMessageFocusXcb, EnterOnARejectedValueKeepsTheFocusInTheBox) {
  TfmMain& w = ShowWindow();
  ClickInto(w.edtWaitTime);
  for (const char* key : {"2", "5", "1"})
    X.Key(key);
  X.Key("Return");
  SettleBoxes();
  ASSERT_EQ(MessageTexts(), std::vector<QString>{"Please insert a number between 0 and 250 !"});
  EXPECT_EQ(QApplication::focusWidget(), w.edtWaitTime);
  EXPECT_EQ(w.edtWaitTime->text(), "251");
  // Correcting it goes on in the same box: the next key replaces nothing and is typed.
  X.Key("BackSpace");
  X.Key("0");
  X.Key("Return");
  EXPECT_EQ(w.Image[kRepeatWait], 250);
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);
}

TEST_F(TMessageFocusXcb, AnAddressOutOfRangeGetsTheFocusBackAfterTheMouseLeavesIt) {
  TfmMain& w = ShowWindow();
  ClickInto(w.edtCap2);
  X.Key("7");
  // Off the box onto the window's background: the exit handler runs and refuses 7.
  X.MoveTo(w.Background, QPoint(3, w.PageControl1->y() + 40));
  SettleBoxes();
  ASSERT_EQ(MessageTexts(), std::vector<QString>{"Please insert a number between 8 to 2097151!"});
  EXPECT_EQ(QApplication::focusWidget(), w.edtCap2);
  EXPECT_EQ(w.edtCap2->text(), "7");
  EXPECT_EQ(w.Image.ReadU32(TConfigImage::CapcodeRecordOffset(2)), 1234562u);
}

// Where the focus is, and whether the box the user went to was entered, named for a report.
std::string FocusName() {
  QWidget* focus = QApplication::focusWidget();
  return focus ? focus->objectName().toStdString() : "no widget";
}

TEST_F(TMessageFocusXcb, AFrequencyOutOfBandGetsTheFocusBackWhereverTheUserWent) {
  TfmMain& w = ShowWindow();
  const QString shown = w.edtFreq->text();
  // Left by a click into another box, by Enter, and by the mouse on the window's background.
  const std::function<void()> leaves[] = {
      [&] { ClickInto(w.edtWaitTime); }, [&] { X.Key("Return"); },
      [&] { X.MoveTo(w.Background, QPoint(3, w.PageControl1->y() + 40)); }};
  const char* names[] = {"a click into another box", "Enter", "the mouse on the background"};
  for (int way = 0; way < 3; ++way) {
    Messages.clear();
    ClickInto(w.edtFreq);
    ASSERT_EQ(QApplication::focusWidget(), w.edtFreq) << names[way];
    for (const char* key : {"1", "2", "3"})
      X.Key(key);
    leaves[way]();
    SettleBoxes();
    ASSERT_EQ(MessageTexts(), std::vector<QString>{"Frequency Error!"}) << names[way];
    EXPECT_TRUE(BoxesWereActive());
    EXPECT_TRUE(w.isActiveWindow()) << names[way];
    EXPECT_EQ(QApplication::focusWidget(), w.edtFreq) << names[way] << ": " << FocusName();
    EXPECT_EQ(w.edtFreq->text(), "123") << names[way];
    // Typing goes on in the box: the correction is planned.
    X.Key("BackSpace");
    X.Key("BackSpace");
    X.Key("BackSpace");
    for (const char* key : {"1", "5", "5", "0", "0", "0", "0", "0", "0", "Return"})
      X.Key(key);
    SettleBoxes();
    EXPECT_EQ(w.edtFreq->text(), "155000000") << names[way];
    EXPECT_EQ(QApplication::focusWidget(), w.edtNull) << names[way] << ": " << FocusName();
    EXPECT_EQ(MessageTexts(), std::vector<QString>{"Frequency Error!"}) << names[way];
    ASSERT_NE(w.edtFreq->text(), shown);
  }
}

TEST_F(TMessageFocusXcb, ARefusedCodeLeavesTheFocusInTheBoxTheUserClickedAndEntersIt) {
  TfmMain& w = ShowWindow();
  ClickInto(w.edtHeaderCode);
  ASSERT_EQ(QApplication::focusWidget(), w.edtHeaderCode);
  EXPECT_EQ(w.edtHeaderCode->text(), "") << "cleared on entry";
  // Left empty for the box beside it: the code is refused, the user goes on where they clicked.
  ClickInto(w.edtRepeatTimes);
  SettleBoxes();
  ASSERT_EQ(MessageTexts(), std::vector<QString>{"Please insert a number between 0 and 0x20 !"});
  EXPECT_TRUE(BoxesWereActive());
  EXPECT_EQ(w.edtHeaderCode->text(), "00");
  EXPECT_TRUE(w.isActiveWindow());
  EXPECT_EQ(QApplication::focusWidget(), w.edtRepeatTimes) << FocusName();
  EXPECT_EQ(w.edtRepeatTimes->text(), "") << "the box the user went to was not entered";
  X.Key("9");
  X.Key("Return");
  EXPECT_EQ(w.Image[kRepeatCount], 8);
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);
  EXPECT_EQ(MessageTexts().size(), 1u);
}

TEST_F(TMessageFocusXcb, ARefusedCodeLeftWithEnterEndsInTheFocusSink) {
  TfmMain& w = ShowWindow();
  ClickInto(w.edtEndCode);
  for (const char* key : {"2", "1"})
    X.Key(key);
  X.Key("Return");
  SettleBoxes();
  ASSERT_EQ(MessageTexts(), std::vector<QString>{"Please insert a number between 0 and 0x20 !"});
  EXPECT_EQ(w.edtEndCode->text(), "00");
  EXPECT_TRUE(w.isActiveWindow());
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull) << FocusName();
  // The window takes typing again at once: the next box entered is cleared and stores.
  ClickInto(w.edtWaitTime);
  EXPECT_EQ(w.edtWaitTime->text(), "");
  X.Key("7");
  X.Key("Return");
  EXPECT_EQ(w.Image[kRepeatWait], 7);
}

} // namespace
