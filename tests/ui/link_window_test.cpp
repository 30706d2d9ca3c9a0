// The presence poll, the Pager menu, the link button and the restore steps of read, write and
// verify, against the encoder simulator.

#include "window_fixture.h"

#include "../link/sim_process.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <pty.h>
#include <unistd.h>

namespace {

bool WaitFor(const std::function<bool()>& condition, int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (!condition() && clock.elapsed() < milliseconds)
    QTest::qWait(20);
  return condition();
}

TImageBytes Sample(std::uint32_t capcode = 1999999) {
  TConfigImage image;
  image.WriteU32(TConfigImage::CapcodeRecordOffset(0), capcode);
  image[kRepeatCount] = 9;
  image.StoreChecksum();
  return image.Bytes();
}

class TLinkWindow : public TWindowTest {
protected:
  // Starts the simulator serving `image` and points the poll at it.
  void StartEncoder(std::vector<std::string> options = {}, const TImageBytes& image = Sample()) {
    WriteImage("encoder.tbl", image);
    options.insert(options.begin(), {"--image", (Directory / "encoder.tbl").string()});
    Sim = std::make_unique<TSimProcess>(options);
    ASSERT_FALSE(Sim->Path.empty());
    setenv("KX470_PORTS", Sim->Path.c_str(), 1);
  }
  // Shows the window and waits for the poll to link.
  TfmMain& ShowLinked() {
    TfmMain& w = ShowWindow();
    EXPECT_TRUE(WaitFor([&] { return w.mnuPager->isEnabled(); }, 8000));
    return w;
  }
  // The restore steps: progress bar at 0, window and Pager menu enabled.
  void ExpectRestored(TfmMain& w) {
    EXPECT_EQ(w.PB1->value(), 0);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(w.mnuPager->isEnabled());
    for (QAction* item : {w.mnuRead, w.mnuWrite, w.mnuVerfy})
      EXPECT_TRUE(item->isEnabled()) << item->objectName().toStdString();
    EXPECT_FALSE(w.Process.Link.Busy);
  }
  void TearDown() override {
    TWindowTest::TearDown();
    Sim.reset();
  }
  std::unique_ptr<TSimProcess> Sim;
};

TEST_F(TLinkWindow, PollLinksAndTheFunctionKeysReadWriteAndVerify) {
  StartEncoder({"--save", (Directory / "written.tbl").string()});
  TfmMain& w = ShowLinked();
  EXPECT_EQ(w.StatusText(1), "Link Success");
  EXPECT_EQ(w.StatusText(2), "PID:8,  MCU Type:1,  IAP Ver:1.0,  User Ver:1.0");
  EXPECT_TRUE(w.mnuRead->isEnabled());
  EXPECT_TRUE(Messages.empty()) << "the poll never opens a message box";

  QTest::keyClick(&w, Qt::Key_F3);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_EQ(Messages[0].Text, "Read Success");
  EXPECT_EQ(w.Image.Bytes(), Sample());
  EXPECT_EQ(w.edtCap0->text(), "1999999");
  EXPECT_EQ(w.edtRepeatTimes->text(), "10");
  EXPECT_FALSE(w.Rendering);
  EXPECT_EQ(w.StatusText(1), " Ready");
  EXPECT_TRUE(w.Timer2->isActive());
  ExpectRestored(w);

  // Write with an edit still open: the edit is taken over first.
  Focus(w.edtWaitTime);
  Type(w.edtWaitTime, "7");
  QTest::keyClick(&w, Qt::Key_F4);
  ASSERT_TRUE(WaitFor([&] { return Messages.size() >= 2; }, 5000));
  EXPECT_EQ(Messages[1].Text, "Write Success");
  EXPECT_EQ(w.Image[kRepeatWait], 7);
  const auto written = ReadBytes("written.tbl");
  EXPECT_TRUE(
      std::equal(written.begin(), written.end(), w.Image.Bytes().begin(), w.Image.Bytes().end()));
  EXPECT_EQ(w.StatusText(1), " Ready");
  EXPECT_TRUE(w.Timer2->isActive());
  ExpectRestored(w);

  QTest::keyClick(&w, Qt::Key_F9);
  ASSERT_TRUE(WaitFor([&] { return Messages.size() >= 3; }, 5000));
  EXPECT_EQ(Messages[2].Text, "Verify success !");
  ExpectRestored(w);
}

TEST_F(TLinkWindow, WithoutAnEncoderThePagerKeysDoNothing) {
  // The only port the poll may try is not there: panel 1 keeps saying so after the probe.
  const QString missing = " " + QString::fromStdString((Directory / "no-such-port").string()) +
                          ": Error opening comm port. Port already in use?";
  TfmMain& w = ShowWindow();
  EXPECT_FALSE(w.mnuPager->isEnabled()) << "disabled from the start";
  ASSERT_TRUE(WaitFor([&] { return w.StatusText(1) == missing; }, 6000))
      << w.StatusText(1).toStdString();
  EXPECT_FALSE(w.mnuPager->isEnabled());
  for (QAction* item : {w.mnuRead, w.mnuWrite, w.mnuVerfy})
    EXPECT_FALSE(item->isEnabled());
  EXPECT_TRUE(Messages.empty()) << "the poll never opens a message box";
  EXPECT_EQ(w.groupKeyDefine->y(), w.GroupBox1->y() + w.GroupBox1->height() + 10);
  EXPECT_EQ(w.PageControl1->y(), w.groupKeyDefine->y() + w.groupKeyDefine->height() + 10)
      << "the page control follows the group the poll moved";
  EXPECT_TRUE(w.PageControl1->isVisible());
  EXPECT_EQ(w.StatusText(2), "");
  EXPECT_TRUE(w.Timer2->isActive());

  const TImageBytes before = w.Image.Bytes();
  for (const auto key : {Qt::Key_F3, Qt::Key_F4, Qt::Key_F9})
    QTest::keyClick(&w, key);
  QTest::qWait(50);
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(w.Image.Bytes(), before) << "not even the checksum of a write was stored";
  EXPECT_EQ(w.StatusText(1), missing);
}

TEST_F(TLinkWindow, APortThatStaysSilentIsNotResponding) {
  int master = -1, slave = -1;
  char name[128];
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  setenv("KX470_PORTS", name, 1);
  TfmMain& w = ShowWindow();
  EXPECT_TRUE(WaitFor([&] { return w.StatusText(1) == " The KX470U is not responding !"; }, 6000))
      << w.StatusText(1).toStdString();
  EXPECT_FALSE(w.mnuPager->isEnabled());
  ::close(master);
}

TEST_F(TLinkWindow, AfterALostLinkThePollLinksAgainWithoutARestart) {
  // A fixed port, as KX470_PORTS or a ttyS port gives it: the port count never changes.
  const std::string fixed = (Directory / "ttyKX").string();
  StartEncoder({"--link", fixed});
  setenv("KX470_PORTS", fixed.c_str(), 1);
  TfmMain& w = ShowLinked();
  Sim.reset(); // the cable is pulled
  QTest::keyClick(&w, Qt::Key_F3);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_TRUE(Messages[0].Text.startsWith("Serial port error ")) << Messages[0].Text.toStdString();
  EXPECT_FALSE(w.mnuPager->isEnabled());
  // From here the ticks are counted by hand.
  w.Timer2->stop();

  StartEncoder({"--link", fixed}); // plugged in again
  setenv("KX470_PORTS", fixed.c_str(), 1);
  int ticks = 0;
  while (!w.mnuPager->isEnabled() && ticks < 2) {
    w.Timer2Timer();
    ++ticks;
  }
  EXPECT_TRUE(w.mnuPager->isEnabled()) << "not linked after " << ticks << " ticks";
  EXPECT_EQ(w.StatusText(1), "Link Success");
  w.Timer2->stop();
  QTest::keyClick(&w, Qt::Key_F3);
  ASSERT_TRUE(WaitFor([&] { return Messages.size() >= 2; }, 5000));
  EXPECT_EQ(Messages[1].Text, "Read Success");
}

TEST_F(TLinkWindow, ACloseRequestDuringAWriteWaitsForItsEnd) {
  // The encoder takes its time over block 5, well within the time-out.
  StartEncoder({"--save", (Directory / "written.tbl").string(), "--stall-block", "5",
                "--stall-time", "600"});
  TfmMain& w = ShowLinked();
  bool closedAtOnce = true, busyThen = false, shownThen = false;
  QTimer::singleShot(200, &w, [&] {
    busyThen = w.Process.Link.Busy;
    closedAtOnce = w.close();
    shownThen = w.isVisible();
  });
  QTest::keyClick(&w, Qt::Key_F4);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_TRUE(busyThen) << "the close request came in the middle of the write";
  EXPECT_FALSE(closedAtOnce);
  EXPECT_TRUE(shownThen);
  EXPECT_EQ(MessageTexts(), std::vector<QString>{"Write Success"});
  const auto written = ReadBytes("written.tbl");
  EXPECT_TRUE(
      std::equal(written.begin(), written.end(), w.Image.Bytes().begin(), w.Image.Bytes().end()));
  EXPECT_TRUE(WaitFor([&] { return !w.isVisible(); }, 1000)) << "closed once the write ended";
}

TEST_F(TLinkWindow, AFailedReadRestoresTheWindowAndKeepsTheImage) {
  StartEncoder({"--corrupt-block", "5"});
  TfmMain& w = ShowLinked();
  const TImageBytes before = w.Image.Bytes();
  QTest::keyClick(&w, Qt::Key_F3);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_EQ(Messages[0].Text, "Checksum error !");
  EXPECT_EQ(w.Image.Bytes(), before);
  EXPECT_EQ(w.StatusText(1), " Ready");
  EXPECT_TRUE(w.Timer2->isActive());
  ExpectRestored(w);

  QTest::keyClick(&w, Qt::Key_F9);
  ASSERT_TRUE(WaitFor([&] { return Messages.size() >= 2; }, 5000));
  EXPECT_EQ(Messages[1].Text, "Checksum error !");
  EXPECT_EQ(w.Image.Bytes(), before);
  ExpectRestored(w);
}

TEST_F(TLinkWindow, AWriteNotConfirmedSaysSoAndRestores) {
  StartEncoder({"--write-result", "4"});
  TfmMain& w = ShowLinked();
  QTest::keyClick(&w, Qt::Key_F4);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_EQ(MessageTexts(), std::vector<QString>{"Write Fail"});
  EXPECT_EQ(w.StatusText(1), " Ready");
  EXPECT_TRUE(w.Timer2->isActive());
  ExpectRestored(w);
}

TEST_F(TLinkWindow, AFailedWriteBlockKeepsItsStatus) {
  StartEncoder({"--corrupt-block", "2"});
  TfmMain& w = ShowLinked();
  QTest::keyClick(&w, Qt::Key_F4);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_EQ(MessageTexts(), std::vector<QString>{"Checksum error !"});
  EXPECT_EQ(w.StatusText(1), "Receiver OK");
  EXPECT_TRUE(w.Timer2->isActive());
  ExpectRestored(w);
}

TEST_F(TLinkWindow, VerifyLeavesThePollAndTheImageAlone) {
  StartEncoder({}, Sample(1234));
  TfmMain& w = ShowLinked();
  w.Image.Assign(Sample(4321));
  w.Timer2->stop();
  QTest::keyClick(&w, Qt::Key_F9);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_EQ(MessageTexts(), std::vector<QString>{"Verify error !"});
  EXPECT_EQ(w.Image.Bytes(), Sample(4321));
  EXPECT_FALSE(w.Timer2->isActive()) << "verify neither stops nor starts the poll";
  EXPECT_EQ(w.StatusText(1), " Ready");
  ExpectRestored(w);
}

TEST_F(TLinkWindow, NothingElseStartsWhileAMessageBoxIsOpen) {
  StartEncoder();
  TfmMain& w = ShowLinked();
  // While "Read Success" is up: the Pager commands, a poll tick that would probe, and the link
  // button, each as their events would call them.
  int nested = 0;
  SetMessageResponder([&](const TMessageRequest& request) {
    Messages.push_back(request);
    if (Messages.size() == 1) {
      w.mnuReadClick(w.mnuRead);
      w.mnuWriteClick(w.mnuWrite);
      w.mnuVerfyClick(w.mnuVerfy);
      w.Process.Link.EncoderPresent = false;
      w.Process.Link.LastPortCount = -1;
      w.Timer2Timer();
      w.btnLinkClick(w.btnLink);
      nested = static_cast<int>(Messages.size()) - 1;
      EXPECT_EQ(w.Process.Link.LastPortCount, -1) << "no probe ran";
    }
    return IDOK;
  });
  QTest::keyClick(&w, Qt::Key_F3);
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(MessageTexts(), std::vector<QString>{"Read Success"});
  EXPECT_EQ(w.StatusText(1), " Ready");
  ExpectRestored(w);
}

TEST_F(TLinkWindow, TheLinkButtonLinksOnThePortChosen) {
  StartEncoder({"--pid", "10", "--iap", "2.5"});
  // Slot 0 is a port that is not there, so the poll finds nothing; the encoder is on slot 1.
  setenv("KX470_PORTS", ((Directory / "missing").string() + ":" + Sim->Path).c_str(), 1);
  TfmMain& w = ShowWindow();
  w.Timer2->stop();
  ASSERT_EQ(w.Process.Link.Ports.Count, 2);
  w.cboPort->setCurrentIndex(1);
  emit w.cboPort->activated(1);
  EXPECT_EQ(w.Process.Link.SelectedPort, 1);

  w.btnLink->click();
  EXPECT_EQ(MessageTexts(), std::vector<QString>{"Link Success"});
  EXPECT_EQ(w.lblPID->text(), "PID:10,  MCU Type:1,  IAP Ver:2.5,  User Ver:1.0");
  EXPECT_TRUE(w.mnuPager->isEnabled());
  EXPECT_TRUE(w.mnuRead->isEnabled());
  EXPECT_TRUE(w.isEnabled());
  EXPECT_TRUE(w.Timer2->isActive()) << "the poll runs again";

  w.cboPort->setCurrentIndex(0);
  emit w.cboPort->activated(0);
  w.btnLink->click();
  EXPECT_EQ(MessageTexts().back(), "Error opening comm port. Port already in use?");
}

} // namespace
