// Resizing the window as a user drags its border: every page stays whole and fills its area,
// and going back to the design size restores the design layout exactly.

#include "xcb_fixture.h"

#include "ui/memo.h"

#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

namespace {

using TResizeXcb = TXcbWindowTest;

std::string Describe(const QRect& r) {
  return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
         "x" + std::to_string(r.height());
}

// A widget's rectangle in the coordinates of one of its ancestors.
QRect RectIn(const QWidget* widget, const QWidget* ancestor) {
  return {widget->mapTo(ancestor, QPoint(0, 0)), widget->size()};
}

void ExpectInside(const QWidget* widget, const QWidget* area, const std::string& when) {
  EXPECT_TRUE(area->rect().contains(RectIn(widget, area)))
      << widget->objectName().toStdString() << " at " << Describe(RectIn(widget, area))
      << " sticks out of " << area->objectName().toStdString() << " (" << Describe(area->rect())
      << ") " << when;
}

void ExpectPagesWhole(TfmMain& w, const std::string& when) {
  for (QWidget* group :
       {static_cast<QWidget*>(w.groupFrequency), static_cast<QWidget*>(w.GroupBox1),
        static_cast<QWidget*>(w.groupKeyDefine), static_cast<QWidget*>(w.PageControl1)})
    ExpectInside(group, w.Background, when);
  EXPECT_GE(w.PageControl1->y(), w.groupKeyDefine->geometry().bottom() + 1 + 10) << when;
  EXPECT_LE(RectIn(w.PageControl1, &w).bottom(), RectIn(w.StatusBar1, &w).top() - 1)
      << "the page control runs under the status bar " << when;

  // The page on show is looked at as the resize left it; the other one once the user turns to
  // it (a hidden page is laid out when it is shown).
  QWidget* shown = w.PageControl1->currentWidget();
  for (QWidget* page : {shown, shown == w.tabCapcode ? w.tabConfig : w.tabCapcode}) {
    w.PageControl1->setCurrentWidget(page);
    QTest::qWait(20);
    const std::string on = page->objectName().toStdString() + " " + when;
    // A page is placed by its tab control: it fills the area below the tabs.
    EXPECT_EQ(page->geometry(), page->parentWidget()->rect()) << on << ": not filling its area";
    ExpectInside(page, w.PageControl1, on);
    if (page == w.tabCapcode) {
      ExpectInside(w.scrCap, w.tabCapcode, on);
      QWidget* viewport = w.scrCap->viewport();
      EXPECT_TRUE(w.scrCap->verticalScrollBar()->isVisible()) << on;
      ExpectInside(w.scrCap->verticalScrollBar(), w.tabCapcode, on);
      EXPECT_FALSE(w.scrCap->horizontalScrollBar()->isVisible())
          << "the capcode groups are wider than their list " << on;
      for (int i = 0; i < kMaxCapcodes; ++i) {
        // Whole in width: nothing of a group, its memo or the memo's scroll bar is cut off.
        const QRect group = RectIn(w.CapcodeGroups[i], viewport);
        EXPECT_LE(group.right(), viewport->width() - 1)
            << "CapCode #" << i + 1 << " is cut off at the right " << on;
        ExpectInside(w.MessageMemos[i], w.CapcodeGroups[i], on);
      }
    } else {
      for (QWidget* child : w.tabConfig->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        ExpectInside(child, w.tabConfig, on);
      ExpectInside(w.StringGrid1, w.pnlRegisters, on);
      for (QLabel* hex : w.HexLabels)
        ExpectInside(hex, w.pnlRegisters, on);
    }
  }
  w.PageControl1->setCurrentWidget(shown);
  QTest::qWait(20);
}

// A tick of the presence poll that finds no encoder: it moves the Key Define group below the
// Config group. The tests here stop the window's own poll and tick it themselves, so that a
// tick never falls between a resize and the look at its result.
void PollTick(TfmMain& w) {
  w.Timer2Timer();
  w.Timer2->stop();
  QTest::qWait(20);
}

void ResizeTo(TfmMain& w, QSize size) {
  w.resize(size);
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.size() == size; }, 3000))
      << "the window manager gave " << w.width() << "x" << w.height();
  QTest::qWait(50);
}

void ResizeThroughTheSizes(TfmMain& w, const QSize design) {
  ExpectPagesWhole(w, "at the design size");
  PollTick(w);
  ExpectPagesWhole(w, "at the design size after a poll tick");
  const struct {
    double Width, Height;
    const char* Name;
  } sizes[] = {{2.0, 1.0, "at twice the width"},
               {1.5, 1.5, "at 1.5 times the size"},
               {0.75, 0.75, "at 75 %"},
               {1.0, 1.0, "back at the design size"}};
  for (const auto& size : sizes) {
    ResizeTo(w, QSize(static_cast<int>(design.width() * size.Width),
                      static_cast<int>(design.height() * size.Height)));
    ExpectPagesWhole(w, size.Name);
    PollTick(w);
    ExpectPagesWhole(w, std::string(size.Name) + " after a poll tick");
  }
}

TEST_F(TResizeXcb, EveryPageStaysWholeAtEverySize) {
  TfmMain& w = ShowWindow();
  w.Timer2->stop();
  const QSize design = w.size();
  ResizeThroughTheSizes(w, design);
  // The same with the register panel on show while the window is resized.
  w.PageControl1->setCurrentWidget(w.tabConfig);
  ResizeThroughTheSizes(w, design);
}

TEST_F(TResizeXcb, BackAtTheDesignSizeEveryRecordedGeometryIsExact) {
  TfmMain& w = ShowWindow();
  w.Timer2->stop();
  PollTick(w); // the group where a poll puts it: the resize brings it back
  const QSize design = w.size();
  ResizeTo(w, QSize(design.width() * 2, design.height()));
  ResizeTo(w, design * 1.5);
  ResizeTo(w, design * 0.75);
  ResizeTo(w, design);
  int recorded = 0;
  for (std::size_t c = 0; c < w.Components.size(); ++c) {
    const TLayoutEntry& entry = w.Layout[c];
    auto* widget = qobject_cast<QWidget*>(w.Components[c]);
    if (!entry.Recorded || !widget)
      continue;
    ++recorded;
    EXPECT_EQ(widget->geometry(), QRect(entry.Left, entry.Top, entry.Width, entry.Height))
        << widget->objectName().toStdString();
    EXPECT_EQ(widget->font().pointSize(), entry.FontSize) << widget->objectName().toStdString();
  }
  EXPECT_GT(recorded, 100);
  EXPECT_EQ(w.scrCap->verticalScrollBar()->value(), 0);
}

} // namespace
