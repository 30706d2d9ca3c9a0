// Where the focus is after a real message box: the box takes the activation from the window
// and the window manager gives it back; the focus must end where the editor puts it.

#include "xcb_fixture.h"

#include "ui/memo.h"

#include <QLineEdit>

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

} // namespace
