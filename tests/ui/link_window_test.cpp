// The presence poll, the Pager menu and its restore steps, against the encoder simulator.

#include "window_fixture.h"

#include "../link/sim_process.h"

#include <QAction>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTabWidget>
#include <QTimer>

namespace {

using TLinkWindow = TWindowTest;

bool WaitFor(const std::function<bool()>& condition, int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (!condition() && clock.elapsed() < milliseconds)
    QTest::qWait(20);
  return condition();
}

TImageBytes Sample() {
  TConfigImage image;
  image.WriteU32(TConfigImage::CapcodeRecordOffset(0), 1999999);
  image[kRepeatCount] = 9;
  image.StoreChecksum();
  return image.Bytes();
}

TEST_F(TLinkWindow, PollLinksAndF3ReadsTheEncoder) {
  WriteImage("encoder.tbl", Sample());
  TSimProcess sim({"--image", (Directory / "encoder.tbl").string(), "--save",
                   (Directory / "written.tbl").string()});
  setenv("KX470_PORTS", sim.Path.c_str(), 1);
  TfmMain& w = ShowWindow();
  ASSERT_TRUE(WaitFor([&] { return w.mnuPager->isEnabled(); }, 8000));
  EXPECT_EQ(w.StatusText(1), "Link Success");
  EXPECT_EQ(w.StatusText(2), "PID:8,  MCU Type:1,  IAP Ver:1.0,  User Ver:1.0");
  EXPECT_TRUE(w.mnuRead->isEnabled());
  EXPECT_TRUE(Messages.empty());

  QTest::keyClick(&w, Qt::Key_F3);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_EQ(Messages[0].Text, "Read Success");
  EXPECT_EQ(w.edtCap0->text(), "1999999");
  EXPECT_EQ(w.edtRepeatTimes->text(), "10");
  EXPECT_EQ(w.StatusText(1), " Ready");
  EXPECT_EQ(w.PB1->value(), 0);
  EXPECT_TRUE(w.isEnabled());
  EXPECT_TRUE(w.mnuPager->isEnabled());
  EXPECT_TRUE(w.Timer2->isActive());

  // Write with an edit still open: the edit is taken over first.
  Focus(w.edtWaitTime);
  Type(w.edtWaitTime, "7");
  QTest::keyClick(&w, Qt::Key_F4);
  ASSERT_TRUE(WaitFor([&] { return Messages.size() >= 2; }, 5000));
  EXPECT_EQ(Messages[1].Text, "Write Success");
  EXPECT_EQ(w.Image[kRepeatWait], 7);
  const TImageBytes written = ReadBytes("written.tbl").size() == kImageSize ? [&] {
    TImageBytes b{};
    const auto v = ReadBytes("written.tbl");
    std::copy(v.begin(), v.end(), b.begin());
    return b;
  }() : TImageBytes{};
  EXPECT_EQ(written, w.Image.Bytes());

  QTest::keyClick(&w, Qt::Key_F9);
  ASSERT_TRUE(WaitFor([&] { return Messages.size() >= 3; }, 5000));
  EXPECT_EQ(Messages[2].Text, "Verify success !");
}

TEST_F(TLinkWindow, NoEncoderLeavesThePagerMenuOff) {
  TfmMain& w = ShowWindow();
  ASSERT_TRUE(WaitFor([&] { return w.StatusText(1) == " The KX470U is not responding !"; }, 6000));
  EXPECT_FALSE(w.mnuPager->isEnabled());
  EXPECT_FALSE(w.mnuRead->isEnabled());
  EXPECT_TRUE(Messages.empty()) << "the poll never opens a message box";
  EXPECT_EQ(w.groupKeyDefine->y(), w.GroupBox1->y() + w.GroupBox1->height() + 10);
  EXPECT_TRUE(w.PageControl1->isVisible());
}

TEST_F(TLinkWindow, AFailedReadRestoresTheWindowAndKeepsTheImage) {
  WriteImage("encoder.tbl", Sample());
  TSimProcess sim({"--image", (Directory / "encoder.tbl").string(), "--corrupt-block", "5"});
  setenv("KX470_PORTS", sim.Path.c_str(), 1);
  TfmMain& w = ShowWindow();
  ASSERT_TRUE(WaitFor([&] { return w.mnuPager->isEnabled(); }, 8000));
  const TImageBytes before = w.Image.Bytes();
  QTest::keyClick(&w, Qt::Key_F3);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_EQ(Messages[0].Text, "Checksum error !");
  EXPECT_EQ(w.Image.Bytes(), before);
  EXPECT_TRUE(w.isEnabled());
  EXPECT_EQ(w.StatusText(1), " Ready");
  EXPECT_TRUE(w.mnuPager->isEnabled());
}

} // namespace
