// The mouse wheel over the window's drop-down lists: it scrolls, it never picks an item.

#include "xcb_fixture.h"

#include "ui/memo.h"

#include <QComboBox>
#include <QGroupBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <algorithm>

namespace {

using TWheelXcb = TXcbWindowTest;

// Every list of the window that the user can see on the given page of the tab control.
std::vector<QComboBox*> VisibleLists(TfmMain& w) {
  std::vector<QComboBox*> lists;
  for (QComboBox* list : w.findChildren<QComboBox*>())
    if (list->isVisible())
      lists.push_back(list);
  return lists;
}

struct TSnapshot {
  TImageBytes Image;
  std::vector<int> Indexes;
  std::vector<QString> Memos;
};

TSnapshot Take(TfmMain& w, const std::vector<QComboBox*>& lists) {
  TSnapshot s{w.Image.Bytes(), {}, {}};
  for (QComboBox* list : lists)
    s.Indexes.push_back(list->currentIndex());
  for (TMemo* memo : w.MessageMemos)
    s.Memos.push_back(memo->Text());
  return s;
}

void ExpectUnchanged(const TSnapshot& before, const TSnapshot& after,
                     const std::vector<QComboBox*>& lists, const QString& where) {
  const auto changed = std::mismatch(before.Image.begin(), before.Image.end(), after.Image.begin());
  EXPECT_TRUE(changed.first == before.Image.end())
      << "the wheel over " << where.toStdString() << " changed image byte 0x" << std::hex
      << (changed.first - before.Image.begin());
  EXPECT_EQ(after.Memos, before.Memos) << "over " << where.toStdString();
  for (std::size_t i = 0; i < lists.size(); ++i)
    EXPECT_EQ(after.Indexes[i], before.Indexes[i])
        << lists[i]->objectName().toStdString() << " changed by the wheel over "
        << where.toStdString();
}

TEST_F(TWheelXcb, NoListOfTheCapcodePageChangesUnderTheWheel) {
  TfmMain& w = ShowWindow();
  // Different items than the first and last, so a notch either way would show.
  w.cboBaud->setCurrentIndex(1);
  w.cboKey3->setCurrentIndex(4);
  const std::vector<QComboBox*> lists = VisibleLists(w);
  ASSERT_GE(lists.size(), 8u + 3u + 1u);
  for (QComboBox* list : lists) {
    // The capcode list scrolls under the wheel; the next list is brought into view first.
    ScrollIntoView(list);
    const TSnapshot before = Take(w, lists);
    X.MoveTo(list);
    X.Wheel(-1);
    X.Wheel(+2);
    X.Wheel(-1);
    ExpectUnchanged(before, Take(w, lists), lists, list->objectName());
  }
  EXPECT_TRUE(Messages.empty());
}

TEST_F(TWheelXcb, NoListOfTheRegisterPanelChangesUnderTheWheel) {
  TfmMain& w = ShowWindow();
  w.PageControl1->setCurrentWidget(w.tabConfig);
  QTest::qWait(50);
  std::vector<QComboBox*> panel;
  for (QComboBox* list : VisibleLists(w))
    if (w.tabConfig->isAncestorOf(list))
      panel.push_back(list);
  ASSERT_EQ(panel.size(), 7u);
  const TSynthRegisters fields = w.Synth;
  for (QComboBox* list : panel) {
    const TSnapshot before = Take(w, panel);
    X.MoveTo(list);
    X.Wheel(-1);
    X.Wheel(+2);
    ExpectUnchanged(before, Take(w, panel), panel, list->objectName());
  }
  EXPECT_EQ(w.Synth.Packed, fields.Packed);
}

TEST_F(TWheelXcb, AFocusedListDoesNotChangeEither) {
  TfmMain& w = ShowWindow();
  ClickInto(w.cboSet); // opens the list
  X.Key("Escape");     // and closes it again without a pick
  ASSERT_EQ(QApplication::focusWidget(), w.cboSet);
  const std::vector<QComboBox*> lists = VisibleLists(w);
  const TSnapshot before = Take(w, lists);
  X.MoveTo(w.cboSet);
  X.Wheel(-1);
  X.Wheel(+1);
  X.Wheel(+1);
  ExpectUnchanged(before, Take(w, lists), lists, "cboSet");
}

TEST_F(TWheelXcb, TheWheelOverAListScrollsTheCapcodeList) {
  TfmMain& w = ShowWindow();
  QScrollBar* bar = w.scrCap->verticalScrollBar();
  ASSERT_EQ(bar->value(), 0);
  ASSERT_GT(bar->maximum(), 0);
  X.MoveTo(w.cboType1);
  X.Wheel(-2);
  EXPECT_GT(bar->value(), 0) << "scrolled down as over the rest of the list";
  const int down = bar->value();
  X.MoveTo(w.cboFun2);
  if (w.cboFun2->isVisible()) {
    X.Wheel(+1);
    EXPECT_LT(bar->value(), down);
  }
  // The same as over the list's own background.
  QWidget* viewport = w.scrCap->viewport();
  X.MoveTo(viewport, QPoint(viewport->width() - 2, viewport->height() / 2));
  const int before = bar->value();
  X.Wheel(-1);
  EXPECT_GT(bar->value(), before);
}

} // namespace
