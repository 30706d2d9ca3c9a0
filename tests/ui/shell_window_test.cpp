// The main window's shell: start-up, control tables, proportional layout, menus, focus sink.

#include "window_fixture.h"

#include "ui/memo.h"
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

namespace {

using TShellWindow = TWindowTest;

TEST_F(TShellWindow, StartsWithTheBuiltInImageWhenThereIsNoDefaultTable) {
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27");
  const TImageBytes builtIn = TConfigImage::DefaultBytes();
  EXPECT_TRUE(std::equal(builtIn.begin() + kCapcodeRecords, builtIn.end(),
                         w.Image.Bytes().begin() + kCapcodeRecords))
      << "showing changes no byte beyond the register words";
  EXPECT_EQ(w.Image.ReadU32(0x000), 0x06C2D0u) << "without an INI file its defaults are packed";
  EXPECT_EQ(w.Image.ReadU32(0x004), 0x014A43u);
  EXPECT_EQ(w.edtFreq->text(), "446400000");
  EXPECT_EQ(w.cboSet->currentText(), "8 Set");
  EXPECT_EQ(w.cboBaud->currentText(), "512 bps");
  EXPECT_EQ(w.cboPolarity->currentText(), "Normal");
  EXPECT_FALSE(w.chkKeyBeep->isChecked());
  EXPECT_EQ(w.edtRepeatTimes->text(), "1");
  EXPECT_EQ(w.edtWaitTime->text(), "0");
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(w.CapcodeEdits[i]->text(), QString::number(1234560 + i));
    EXPECT_EQ(w.TypeSelectors[i]->currentText(), "Alpha");
    EXPECT_EQ(w.FunctionSelectors[i]->currentText(), "0 0");
    EXPECT_EQ(w.MessageMemos[i]->Text(), "Alpha Test !");
    EXPECT_EQ(w.KeySelectors[i]->currentText(), QString("KEY_S%1").arg(i + 1));
  }
  EXPECT_EQ(w.StatusText(0), "");
  EXPECT_EQ(w.StatusText(1), " Ready");
  EXPECT_TRUE(Messages.empty());
}

TEST_F(TShellWindow, StartUpSetsTheCodeBoxesAndTheHostCommandList) {
  TImageBytes bytes = TConfigImage::DefaultBytes();
  bytes[kMessageArea] = 0x05; // a header code the render would show
  bytes[kPcCommand] = 2;
  WriteImage("default.tbl", bytes);
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.edtHeaderCode->text(), "0");
  EXPECT_EQ(w.edtEndCode->text(), "0");
  ASSERT_EQ(w.cboPCCommand->count(), 3);
  EXPECT_EQ(w.cboPCCommand->itemText(0), "NONE");
  EXPECT_EQ(w.cboPCCommand->itemText(1), "ZRCOMP2");
  EXPECT_EQ(w.cboPCCommand->itemText(2), "RF TEST");
  EXPECT_EQ(w.cboPCCommand->currentText(), "RF TEST") << "the list follows the image's byte";
  EXPECT_EQ(w.Image[kPcCommand], 2);
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);
  EXPECT_TRUE(w.Timer2->isActive()) << "the presence poll runs once the window is shown";
  EXPECT_EQ(w.Timer2->interval(), 2000);
}

TEST_F(TShellWindow, UnknownHostCommandShowsNoItem) {
  TImageBytes bytes = TConfigImage::DefaultBytes();
  bytes[kPcCommand] = 4;
  WriteImage("default.tbl", bytes);
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.cboPCCommand->currentIndex(), -1);
  EXPECT_EQ(w.Image[kPcCommand], 4) << "kept until the user picks an item";
}

TEST_F(TShellWindow, ControlTablesFollowTags) {
  TfmMain& w = ShowWindow();
  for (int i = 0; i < 8; ++i) {
    const QString n = QString::number(i);
    EXPECT_EQ(w.KeyLabels[i]->objectName(), "lblKey" + n);
    EXPECT_EQ(w.KeyLabels[i]->text(), QString("Key %1").arg(i + 1));
    EXPECT_EQ(w.KeySelectors[i]->objectName(), "cboKey" + n);
    EXPECT_EQ(w.CapcodeEdits[i]->objectName(), "edtCap" + n);
    EXPECT_EQ(w.TypeSelectors[i]->objectName(), "cboType" + n);
    EXPECT_EQ(w.FunctionSelectors[i]->objectName(), "cboFun" + n);
    EXPECT_EQ(w.CapcodeGroups[i]->objectName(), "grpCap" + n);
    EXPECT_EQ(w.CapcodeGroups[i]->title(), QString("CapCode #%1").arg(i + 1));
    EXPECT_EQ(w.MessageMemos[i]->objectName(), "memMsg" + n);
    EXPECT_EQ(w.HexLabels[i]->objectName(), "lblHexR" + n);
    EXPECT_EQ(w.RegisterLabels[i]->objectName(), "lblReg" + n);
    EXPECT_EQ(w.RegisterLabels[i]->text(), "R" + n);
    EXPECT_EQ(w.CapcodeEdits[i]->maxLength(), 7);
  }
  EXPECT_EQ(w.findChild<QObject*>("lblKey8"), nullptr);
}

TEST_F(TShellWindow, EveryNamedControlExists) {
  TfmMain& w = ShowWindow();
  for (const char* name : {"groupFrequency",
                           "edtFreq",
                           "GroupBox2",
                           "cboPort",
                           "btnLink",
                           "lblPID",
                           "GroupBox1",
                           "cboBaud",
                           "cboPolarity",
                           "edtRepeatTimes",
                           "edtWaitTime",
                           "chkKeyBeep",
                           "chkKeyMode",
                           "cboPCCommand",
                           "edtHeaderCode",
                           "edtEndCode",
                           "groupKeyDefine",
                           "cboSet",
                           "PageControl1",
                           "tabCapcode",
                           "tabConfig",
                           "scrCap",
                           "chkRF_PD",
                           "chkRF_RST",
                           "chkIF_PD",
                           "chkIF_RST",
                           "chkATPU",
                           "chkOSC_2X",
                           "chkOSC_OUT",
                           "chkDIV4",
                           "cboAccess",
                           "cboMUX",
                           "cboFM",
                           "cboDITH",
                           "edtRF_TOC",
                           "cboRF_CPF",
                           "cboN_CSR",
                           "cboRF_CPG",
                           "StringGrid1",
                           "edtNull",
                           "PB1",
                           "Timer2",
                           "StatusBar1",
                           "OpenDialog1",
                           "SaveDialog1"})
    EXPECT_NE(w.findChild<QObject*>(name), nullptr) << name;
  EXPECT_EQ(w.cboPort->count(), 10);
  EXPECT_EQ(w.cboPort->itemText(9), "COM10");
  EXPECT_EQ(w.btnLink->text(), "Link [F6]");
  EXPECT_EQ(w.edtHeaderCode->maxLength(), 2);
  EXPECT_EQ(w.edtRepeatTimes->maxLength(), 7);
  EXPECT_FALSE(w.PB1->isVisible());
  EXPECT_EQ(w.PageControl1->tabText(0), "Capcode");
  EXPECT_EQ(w.PageControl1->tabText(1), "Config");
  EXPECT_EQ(w.PageControl1->currentWidget(), w.tabCapcode);
}

TEST_F(TShellWindow, PageControlSitsTenPixelsBelowTheKeyGroup) {
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.PageControl1->y(), w.groupKeyDefine->y() + w.groupKeyDefine->height() + 10);
  EXPECT_TRUE(w.groupFrequency->geometry() == w.GroupBox2->geometry())
      << "the serial group lies behind the frequency group";
}

TEST_F(TShellWindow, MenusAndShortcuts) {
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.mnuOpen->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(w.mnuSave->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_TRUE(w.mnuSaveAs->shortcut().isEmpty());
  EXPECT_EQ(w.mnuExit->shortcut(), QKeySequence("Ctrl+E"));
  EXPECT_EQ(w.mnuRead->shortcut(), QKeySequence(Qt::Key_F3));
  EXPECT_EQ(w.mnuWrite->shortcut(), QKeySequence(Qt::Key_F4));
  EXPECT_EQ(w.mnuVerfy->shortcut(), QKeySequence(Qt::Key_F9));
  EXPECT_EQ(w.mnuVerfy->text(), "Verfy");
  EXPECT_EQ(w.mnuSaveAs->text(), "Save As...");
  EXPECT_EQ(w.mnuPager->title(), "&Pager");
}

TEST_F(TShellWindow, PagerShortcutsDoNothingWhileThePagerMenuIsDisabled) {
  TfmMain& w = ShowWindow();
  ASSERT_FALSE(w.mnuPager->isEnabled());
  for (QAction* action : {w.mnuRead, w.mnuWrite, w.mnuVerfy})
    EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
  const TImageBytes before = w.Image.Bytes();
  const QString status = w.StatusText(1);
  for (Qt::Key key : {Qt::Key_F3, Qt::Key_F4, Qt::Key_F9})
    QTest::keyClick(&w, key);
  QApplication::processEvents();
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(w.Image.Bytes(), before);
  EXPECT_EQ(w.StatusText(1), status);
  EXPECT_TRUE(w.isEnabled());
}

TEST_F(TShellWindow, ScalingToDoubleWidthDoublesLeftsAndWidthsOnly) {
  TfmMain& w = ShowWindow();
  const QRect freq = w.edtFreq->geometry();
  const QRect group = w.GroupBox1->geometry();
  const int font = w.edtFreq->font().pointSize();
  w.resize(w.RecordedWidth * 2, w.RecordedHeight);
  QApplication::processEvents();
  EXPECT_DOUBLE_EQ(w.ScaleX, 2.0);
  EXPECT_DOUBLE_EQ(w.ScaleY, 1.0);
  EXPECT_EQ(w.edtFreq->geometry(), QRect(freq.x() * 2, freq.y(), freq.width() * 2, freq.height()));
  EXPECT_EQ(w.GroupBox1->geometry(),
            QRect(group.x() * 2, group.y(), group.width() * 2, group.height()));
  EXPECT_EQ(w.edtFreq->font().pointSize(), font) << "f is the smaller factor";

  w.resize(w.RecordedWidth, w.RecordedHeight);
  QApplication::processEvents();
  EXPECT_EQ(w.edtFreq->geometry(), freq) << "back to the design size, back to the design layout";
  EXPECT_EQ(w.GroupBox1->geometry(), group);
}

TEST_F(TShellWindow, ScalingToHalfSizeTruncatesPositionsAndFonts) {
  TfmMain& w = ShowWindow();
  // One control at 9 points to see the truncation of an odd size, and an even outer size so
  // that both factors are exactly one half.
  w.resize(w.width() & ~1, w.height() & ~1);
  QApplication::processEvents();
  QFont eight = w.edtFreq->font();
  eight.setPointSize(8);
  w.edtFreq->setFont(eight);
  QFont nine = w.lblHz->font();
  nine.setPointSize(9);
  w.lblHz->setFont(nine);
  w.RecordLayout();
  const QRect key = w.cboKey5->geometry();
  const int design = w.edtFreq->font().pointSize();
  ASSERT_EQ(design, 8);
  w.resize(w.RecordedWidth / 2, w.RecordedHeight / 2);
  QApplication::processEvents();
  ASSERT_DOUBLE_EQ(w.ScaleX, 0.5);
  ASSERT_DOUBLE_EQ(w.ScaleY, 0.5);
  EXPECT_EQ(w.cboKey5->geometry(),
            QRect(key.x() / 2, key.y() / 2, key.width() / 2, key.height() / 2));
  EXPECT_EQ(w.edtFreq->font().pointSize(), 4);
  EXPECT_EQ(w.lblHz->font().pointSize(), 4);
  EXPECT_EQ(w.PageControl1->y(), w.groupKeyDefine->y() + w.groupKeyDefine->height() + 10);
}

TEST_F(TShellWindow, MouseOverTheBackgroundCommitsTheOpenEdit) {
  TfmMain& w = ShowWindow();
  Focus(w.edtCap3);
  ASSERT_EQ(QApplication::focusWidget(), w.edtCap3);
  // A spot of the background that no control covers: left of the page control.
  const QPoint spot(3, w.PageControl1->y() + 40);
  ASSERT_EQ(w.Background->childAt(spot), nullptr);
  QMouseEvent move(QEvent::MouseMove, spot, w.Background->mapToGlobal(spot), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w.Background, &move);
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);

  Focus(w.edtCap2);
  const QPoint inGroup(w.GroupBox1->width() - 3, w.GroupBox1->height() - 3);
  ASSERT_EQ(w.GroupBox1->childAt(inGroup), nullptr);
  QMouseEvent overConfig(QEvent::MouseMove, inGroup, w.GroupBox1->mapToGlobal(inGroup),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w.GroupBox1, &overConfig);
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);
}

TEST_F(TShellWindow, SelectorThreeImageShowsEightEntriesAndWritesNothing) {
  TImageBytes bytes = TConfigImage::DefaultBytes();
  bytes[kOptionByte] = static_cast<std::uint8_t>((bytes[kOptionByte] & ~3u) | 3u);
  WriteImage("default.tbl", bytes);
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.Image.CapcodeCount(), 8);
  EXPECT_EQ(w.Image.RecordLength(), 80);
  EXPECT_EQ(w.cboSet->currentIndex(), -1) << "no set is named by selector 3";
  EXPECT_EQ(w.Image[kOptionByte] & 3u, 3u);
  EXPECT_EQ(w.MessageMemos[7]->Text(), "Alpha Test !");
}

TEST_F(TShellWindow, TextRecordsShowHeaderTextAndTrailer) {
  TImageBytes bytes = TConfigImage::DefaultBytes();
  const std::uint8_t record0[] = {0x05, 'A', 'B', 0x03, 0x00, 0x00};
  std::copy(std::begin(record0), std::end(record0), bytes.begin() + kMessageArea);
  std::fill(bytes.begin() + kMessageArea + 6, bytes.begin() + kMessageArea + 80, 0);
  WriteImage("default.tbl", bytes);
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.MessageMemos[0]->Text(), "AB") << "the trailing code is trimmed off the text";
  w.Rendering = true;
  w.RenderCapcodes();
  w.Rendering = false;
  // The code boxes are shared: the last text record shown decides them.
  EXPECT_EQ(w.edtHeaderCode->text(), "00");
  EXPECT_EQ(w.edtEndCode->text(), "00");
  // Only record 0 rendered: header 05, trailer 03.
  w.Image.SetCapcodeCount(1);
  w.Rendering = true;
  w.RenderCapcodes();
  w.Rendering = false;
  EXPECT_EQ(w.edtHeaderCode->text(), "05");
  EXPECT_EQ(w.edtEndCode->text(), "03");
}

TEST_F(TShellWindow, UnnamedKeyCodesShowNoKey) {
  TImageBytes bytes = TConfigImage::DefaultBytes();
  bytes[kKeyMap + 0] = 0x99;
  bytes[kKeyMap + 3] = 0x03;
  WriteImage("default.tbl", bytes);
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.cboKey0->currentIndex(), -1) << "KEY_S9 is named but no list offers it";
  EXPECT_EQ(w.cboKey3->currentIndex(), -1);
  EXPECT_EQ(w.cboKey1->currentText(), "KEY_S2");
  EXPECT_EQ(w.Image[kKeyMap + 3], 0x03);
}

TEST_F(TShellWindow, AboutBoxIsReusedAndItsLinksReactToTheMouse) {
  TfmMain& w = ShowWindow();
  TfmAbout* about = w.fmAbout;
  ASSERT_NE(about, nullptr);
  EXPECT_FALSE(about->isVisible());
  for (int round = 0; round < 2; ++round) {
    bool seen = false;
    QTimer::singleShot(0, about, [&] {
      seen = about->isVisible();
      EXPECT_EQ(QApplication::activeModalWidget(), about);
      about->OKButton->click();
    });
    w.mnuAbout->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(w.fmAbout, about) << "the same window every time";
    EXPECT_EQ(about->result(), QDialog::Accepted);
  }
  EXPECT_EQ(about->windowTitle(), "About");
  EXPECT_EQ(about->ProductName->text(), "KX470U");
  EXPECT_EQ(about->Version->text(), "Version 1.2.7(2024.05.21)");
  EXPECT_EQ(about->Label2->text(), "Homepage : ");
  EXPECT_EQ(about->Label1->text(), "Email Address(es) : ");
  EXPECT_EQ(about->lblUrl->text(), about->WebAddress());
  EXPECT_EQ(about->lblEmail->text(), about->EmailAddress());
  EXPECT_TRUE(about->ProductName->font().bold());
  EXPECT_EQ(about->ProductName->font().pixelSize(), 16);
  EXPECT_EQ(about->Version->font().pixelSize(), 12);
  EXPECT_TRUE(about->OKButton->isDefault());

  QLabel* link = about->lblUrl;
  EXPECT_TRUE(link->font().underline());
  EXPECT_FALSE(link->font().bold());
  QEvent enter(QEvent::Enter);
  QApplication::sendEvent(link, &enter);
  EXPECT_TRUE(link->font().bold());
  EXPECT_TRUE(link->font().underline());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(link, &leave);
  EXPECT_FALSE(link->font().bold());
  EXPECT_TRUE(link->font().underline());
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(TShellWindow, ExitClosesTheWindow) {
  TfmMain& w = ShowWindow();
  w.mnuExit->trigger();
  EXPECT_FALSE(w.isVisible());
}

} // namespace
