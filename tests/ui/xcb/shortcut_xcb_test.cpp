// Menu shortcuts on X11 wherever the focus is: line edits and memos there bind Ctrl+E and other
// keys of their own, and the menu must still get every key it names.

#include "xcb_fixture.h"

#include "ui/memo.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>

namespace {

using TShortcutXcb = TXcbWindowTest;

// The controls that can hold the focus while a user presses a menu key: the focus sink that has
// it after start-up, edit boxes of each family and a memo.
QWidget* FocusHolder(TfmMain& w, int which) {
  QWidget* const holders[] = {w.edtNull,        w.edtCap0,   w.memMsg0, w.edtFreq,
                              w.edtRepeatTimes, w.edtRF_TOC, w.cboType0};
  return holders[which];
}
constexpr int kFocusHolders = 7;

// After a menu item's message box the window manager hands the activation back; a user waits
// for that before the next key.
void GiveFocus(TfmMain& w, QWidget* control) {
  EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
  if (control->window() == &w && control->parentWidget() && !control->isVisible())
    w.PageControl1->setCurrentWidget(w.tabConfig);
  control->setFocus(Qt::MouseFocusReason);
  QTest::qWait(30);
}

TEST_F(TShortcutXcb, CtrlEExitsWhereverTheFocusIs) {
  for (int which = 0; which < kFocusHolders; ++which) {
    TfmMain& w = ShowWindow();
    QWidget* holder = FocusHolder(w, which);
    if (which > 0)
      GiveFocus(w, holder);
    ASSERT_EQ(QApplication::focusWidget(), holder) << holder->objectName().toStdString();
    X.Key("e", true);
    EXPECT_FALSE(w.isVisible()) << "Ctrl+E in " << holder->objectName().toStdString();
    About.reset();
    Window.reset();
    Process.reset();
  }
}

TEST_F(TShortcutXcb, FileKeysReachTheMenuFromEditsAndMemos) {
  TfmMain& w = ShowWindow();
  QSignalSpy open(w.mnuOpen, &QAction::triggered);
  QSignalSpy save(w.mnuSave, &QAction::triggered);
  for (int which = 0; which < kFocusHolders; ++which) {
    QWidget* holder = FocusHolder(w, which);
    GiveFocus(w, holder);
    const auto opened = open.count();
    X.Key("o", true);
    SettleBoxes();
    EXPECT_EQ(open.count(), opened + 1) << "Ctrl+O in " << holder->objectName().toStdString();
    GiveFocus(w, holder);
    const auto saved = save.count();
    X.Key("s", true);
    SettleBoxes();
    EXPECT_EQ(save.count(), saved + 1) << "Ctrl+S in " << holder->objectName().toStdString();
  }
  EXPECT_EQ(Dialogs.size(), static_cast<std::size_t>(kFocusHolders)) << "one open dialog a key";
}

TEST_F(TShortcutXcb, PagerKeysReachTheMenuFromEditsAndMemos) {
  TfmMain& w = ShowWindow();
  w.EnablePagerMenu(true);
  QSignalSpy read(w.mnuRead, &QAction::triggered);
  QSignalSpy write(w.mnuWrite, &QAction::triggered);
  QSignalSpy verify(w.mnuVerfy, &QAction::triggered);
  for (int which = 0; which < kFocusHolders; ++which) {
    QWidget* holder = FocusHolder(w, which);
    const struct {
      const char* Key;
      QSignalSpy& Spy;
    } keys[] = {{"F3", read}, {"F4", write}, {"F9", verify}};
    for (const auto& key : keys) {
      GiveFocus(w, holder);
      w.EnablePagerMenu(true);
      const auto before = key.Spy.count();
      X.Key(key.Key);
      SettleBoxes();
      EXPECT_EQ(key.Spy.count(), before + 1)
          << key.Key << " in " << holder->objectName().toStdString();
    }
  }
}

} // namespace
