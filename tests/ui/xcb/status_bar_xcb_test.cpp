// The status bar at the design size on X11, with the fonts a desktop has: the panels keep their
// widths and each text can be read whole, in the panel or in its tooltip.

#include "xcb_fixture.h"

#include "ui/status_panel.h"

#include "link/link_operations.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStatusBar>

namespace {

using TStatusBarXcb = TXcbWindowTest;

QString Line(std::array<std::uint8_t, kIdentificationSize> block) {
  return QString::fromStdString(IdentificationLine(block));
}

// The whole text can be read: shown in full in the panel, or carried by its tooltip.
void ExpectReadable(const QLabel* panel, const QString& text, const std::string& when) {
  EXPECT_EQ(panel->text(), text) << when;
  const int advance = QFontMetrics(panel->font()).horizontalAdvance(text);
  const int room = panel->contentsRect().width();
  EXPECT_TRUE(advance <= room || panel->toolTip() == text)
      << when << ": " << advance << " px of text in " << room << " px, tooltip \""
      << panel->toolTip().toStdString() << "\", " << panel->font().pointSize() << " pt";
  EXPECT_GE(panel->font().pointSize(), 7) << when << ": too small to read";
}

TEST_F(TStatusBarXcb, TheIdentificationLineIsReadableAtTheDesignSize) {
  TfmMain& w = ShowWindow();
  const QFont barFont = w.StatusBar1->font();
  QLabel* panel = w.StatusPanels[2];
  std::array<std::uint8_t, kIdentificationSize> block{};
  block[0] = 10, block[1] = 3, block[2] = 1, block[3] = 2, block[4] = 1, block[5] = 27;
  const QString typical = Line(block);
  w.SetStatusText(2, typical);
  QTest::qWait(20);
  ExpectReadable(panel, typical, "a typical encoder");
  // The line of a usual encoder is read in the panel itself.
  EXPECT_LE(QFontMetrics(panel->font()).horizontalAdvance(typical), panel->contentsRect().width());

  block.fill(255);
  const QString widest = Line(block);
  w.SetStatusText(2, widest);
  QTest::qWait(20);
  ExpectReadable(panel, widest, "the widest line");

  // The panels keep their widths, one beside the other.
  EXPECT_EQ(w.StatusPanels[0]->width(), 230);
  EXPECT_EQ(w.StatusPanels[1]->width(), 260);
  for (int p = 1; p < 3; ++p)
    EXPECT_GT(w.StatusPanels[p]->x(), w.StatusPanels[p - 1]->geometry().right())
        << "panel " << p << " lies over panel " << p - 1;
  EXPECT_LE(panel->mapTo(&w, QPoint(0, 0)).x() + panel->width(), w.width());

  // A short text is shown in the bar's own font, without a tooltip.
  w.SetStatusText(2, "");
  QTest::qWait(20);
  EXPECT_EQ(panel->font().pointSize(), barFont.pointSize());
  EXPECT_TRUE(panel->toolTip().isEmpty());
  w.SetStatusText(1, " Ready");
  EXPECT_EQ(w.StatusPanels[1]->font().pointSize(), barFont.pointSize());
}

TEST_F(TStatusBarXcb, AWiderWindowShowsTheLineInTheBarsFont) {
  TfmMain& w = ShowWindow();
  const QFont barFont = w.StatusBar1->font();
  std::array<std::uint8_t, kIdentificationSize> block{};
  block[0] = 10, block[1] = 3, block[2] = 1, block[3] = 2, block[4] = 1, block[5] = 27;
  const QString typical = Line(block);
  w.SetStatusText(2, typical);
  const QSize design = w.size();
  w.resize(design.width() * 2, design.height());
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.StatusPanels[2]->width() > 400; }, 3000));
  QTest::qWait(50);
  QLabel* panel = w.StatusPanels[2];
  EXPECT_EQ(panel->font().pointSize(), barFont.pointSize());
  EXPECT_TRUE(panel->toolTip().isEmpty());
  ExpectReadable(panel, typical, "at twice the width");
  w.resize(design);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.size() == design; }, 3000));
  QTest::qWait(50);
  ExpectReadable(panel, typical, "back at the design size");
}

} // namespace
