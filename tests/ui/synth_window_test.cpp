// The frequency box and the register panel of the Config tab.

#include "window_fixture.h"

#include "synth/synth_ini.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

namespace {

using TSynthWindow = TWindowTest;

QString Cell(TfmMain& w, int row, int column) {
  return w.StringGrid1->item(row, column)->text();
}

std::uint32_t Word(TfmMain& w, int r) {
  return w.Image.ReadU32(4u * static_cast<unsigned>(r));
}

void ChooseItem(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  emit list->activated(index);
}

TEST_F(TSynthWindow, AtpuSetsTheTopBitOfR4) {
  TfmMain& w = ShowWindow();
  ASSERT_EQ(Cell(w, 4, 0), "0");
  w.chkATPU->click();
  EXPECT_EQ(w.Synth.ATPU, 1);
  EXPECT_EQ(Cell(w, 4, 0), "1");
  EXPECT_TRUE(w.Image[0x11] & 0x80);
  w.chkATPU->click();
  EXPECT_EQ(Cell(w, 4, 0), "0");
  EXPECT_FALSE(w.Image[0x11] & 0x80);
}

TEST_F(TSynthWindow, ListsWriteTheirFields) {
  TfmMain& w = ShowWindow();
  ChooseItem(w.cboMUX, 6);
  EXPECT_EQ(w.cboMUX->currentText(), "RF/IF Analog LD (OD)");
  EXPECT_EQ((Word(w, 4) >> 4) & 0xF, 6u);
  EXPECT_EQ(Cell(w, 4, 16) + Cell(w, 4, 17) + Cell(w, 4, 18) + Cell(w, 4, 19), "0110");

  ChooseItem(w.cboRF_CPF, w.cboRF_CPF->findText("12x"));
  EXPECT_EQ(w.Synth.RF_CPF, 11);
  EXPECT_EQ((Word(w, 6) >> 18) & 0xF, 0b1011u);
  w.cboRF_CPF->setCurrentIndex(0);
  w.ShowRegisterControls();
  EXPECT_EQ(w.cboRF_CPF->currentText(), "12x") << "rendering picks the field's item again";

  ChooseItem(w.cboN_CSR, 3);
  EXPECT_EQ((Word(w, 6) >> 22) & 0x3, 3u);
  ChooseItem(w.cboAccess, 15);
  EXPECT_EQ((Word(w, 3) >> 20) & 0xF, 15u);
}

TEST_F(TSynthWindow, RfTocTakesThreeDigitsAtMost) {
  TfmMain& w = ShowWindow();
  w.PageControl1->setCurrentWidget(w.tabConfig);
  Focus(w.edtRF_TOC);
  EXPECT_EQ(w.edtRF_TOC->text(), "") << "entering the box empties it";
  Type(w.edtRF_TOC, "20000");
  QApplication::processEvents();
  EXPECT_EQ(w.Synth.RF_TOC, 200);
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull) << "the fourth key ends the entry";
  EXPECT_EQ((Word(w, 6) >> 4) & 0x3FFF, 200u);
}

TEST_F(TSynthWindow, RfTocLeftEmptyShowsTheFieldAgain) {
  TfmMain& w = ShowWindow();
  w.PageControl1->setCurrentWidget(w.tabConfig);
  const std::int32_t before = w.Synth.RF_TOC;
  Focus(w.edtRF_TOC);
  Leave();
  EXPECT_EQ(w.edtRF_TOC->text(), QString::number(before));
  EXPECT_EQ(w.Synth.RF_TOC, before);
  EXPECT_TRUE(Messages.empty());
}

TEST_F(TSynthWindow, HexLabelFollowsTheSelectedRow) {
  TfmMain& w = ShowWindow();
  w.PageControl1->setCurrentWidget(w.tabConfig);
  QApplication::processEvents();
  w.StringGrid1->repaint();
  EXPECT_TRUE(w.lblHexR0->isVisible()) << "cell (0, 0) is painted as selected from the start";
  w.StringGrid1->setCurrentCell(4, 12);
  w.StringGrid1->repaint();
  EXPECT_TRUE(w.lblHexR4->isVisible());
  EXPECT_EQ(w.lblHexR4->text(),
            QString("0x%1").arg(Word(w, 4), 6, 16, QChar('0')).toUpper().replace("0X", "0x"));
  EXPECT_EQ(w.lblReg4->palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_FALSE(w.lblHexR0->isVisible());

  w.StringGrid1->setCurrentCell(2, 3);
  w.StringGrid1->repaint();
  EXPECT_FALSE(w.lblHexR4->isVisible());
  EXPECT_EQ(w.lblReg4->palette().color(QPalette::WindowText), QColor(Qt::black));
  EXPECT_TRUE(w.lblHexR2->isVisible());
  const TImageBytes before = w.Image.Bytes();
  EXPECT_EQ(w.Image.Bytes(), before) << "selecting never changes a bit";

  w.chkIF_PD->click();
  w.StringGrid1->repaint();
  EXPECT_EQ(w.lblHexR2->text(),
            QString("0x%1").arg(Word(w, 2), 6, 16, QChar('0')).toUpper().replace("0X", "0x"))
      << "the label follows its register";
}

TEST_F(TSynthWindow, FrequencyEntryPlansAndPacks) {
  TfmMain& w = ShowWindow();
  Focus(w.edtFreq);
  EXPECT_EQ(w.edtFreq->text(), "");
  Type(w.edtFreq, "155000000");
  PressEnter(w.edtFreq);
  QApplication::processEvents();
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(w.edtFreq->text(), "155000000");
  EXPECT_EQ(Word(w, 0), 0x0A28B6u);
  EXPECT_EQ(Word(w, 1), 0x045CD3u);
  EXPECT_EQ(Cell(w, 0, 4), "1") << "the grid shows the new R0";
}

TEST_F(TSynthWindow, FrequencyErrorsKeepTheRegisters) {
  TfmMain& w = ShowWindow();
  const TImageBytes before = w.Image.Bytes();
  Focus(w.edtFreq);
  Type(w.edtFreq, "300001000");
  Leave();
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].Text, "Frequency Error!");
  EXPECT_EQ(Messages[0].Caption, "KX470");
  EXPECT_EQ(Messages[0].Flags, unsigned{MB_OK | MB_ICONEXCLAMATION});
  EXPECT_EQ(QApplication::focusWidget(), w.edtFreq);

  w.edtFreq->setText("155001000");
  Leave();
  ASSERT_EQ(Messages.size(), 2u);
  EXPECT_EQ(Messages[1].Text, "Channel Spacing Error!");
  EXPECT_EQ(w.Image.Bytes(), before);
}

TEST_F(TSynthWindow, TenthDigitEndsTheEntryAndLettersAreRefused) {
  TfmMain& w = ShowWindow();
  Focus(w.edtFreq);
  Type(w.edtFreq, "4a");
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].Text, "Please insert a numeric !");
  EXPECT_EQ(w.edtFreq->text(), "4");
  Type(w.edtFreq, "62500000");
  EXPECT_EQ(QApplication::focusWidget(), w.edtFreq);
  Type(w.edtFreq, "7");
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);
  EXPECT_EQ(w.edtFreq->text(), "462500000");
  EXPECT_EQ(Word(w, 0), 0x1E86B8u);
}

TEST_F(TSynthWindow, EmptyFrequencyBoxShowsTheFrequencyAgain) {
  TfmMain& w = ShowWindow();
  const TImageBytes before = w.Image.Bytes();
  Focus(w.edtFreq);
  Leave();
  EXPECT_EQ(w.edtFreq->text(), "446400000");
  EXPECT_EQ(w.Image.Bytes(), before);
}

TEST_F(TSynthWindow, AnImageWithoutReferenceDividerShowsZero) {
  TImageBytes bytes = TConfigImage::DefaultBytes();
  bytes[0x005] = 0x00; // R1: RF_R in bits 21..16
  WriteImage("default.tbl", bytes);
  // The INI file would replace the registers at start-up: open the file afterwards instead.
  TfmMain& w = ShowWindow();
  TConfigImage image;
  image.Assign(bytes);
  image.StoreChecksum();
  WriteImage("zero.tbl", image.Bytes());
  DialogAnswers.push_back(QString::fromStdString((Directory / "zero.tbl").string()));
  w.mnuOpen->trigger();
  EXPECT_EQ(w.Synth.RF_R, 0);
  EXPECT_EQ(w.edtFreq->text(), "000000000");
}

TEST_F(TSynthWindow, IniFileIsReadAtStartAndWrittenAtClose) {
  std::ofstream("KX470S2485E.ini") << "[Reg 0]\nRF_N=81\nRF_FN=1115\n[Reg 1]\nRF_R=4\n";
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.edtFreq->text(), "155000000");
  EXPECT_EQ(Word(w, 0), 0x0A28B6u);
  w.chkDIV4->click();
  w.close();
  std::ifstream in("KX470S2485E.ini");
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_NE(text.find("DIV4=1"), std::string::npos);
  EXPECT_NE(text.find("RF_N=81"), std::string::npos);
}

TEST_F(TSynthWindow, BadIniValueIsReportedAndStartUpGoesOn) {
  std::ofstream("KX470S2485E.ini") << "[Reg 1]\nRF_P=2\n";
  TfmMain& w = ShowWindow();
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].Text, "This bit is set to 0 or 1 !");
  EXPECT_TRUE(Messages[0].Simple);
  EXPECT_EQ(w.cboPCCommand->count(), 3) << "the rest of start-up still ran";
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);
}

TEST_F(TSynthWindow, OpeningAnImageRendersThePanel) {
  TConfigImage image;
  image[0x11] |= 0x80; // ATPU
  image[0x11] |= 0x1C; // R4 bits 20..18
  image.StoreChecksum();
  WriteImage("panel.tbl", image.Bytes());
  TfmMain& w = ShowWindow();
  DialogAnswers.push_back(QString::fromStdString((Directory / "panel.tbl").string()));
  w.mnuOpen->trigger();
  EXPECT_TRUE(w.chkATPU->isChecked());
  EXPECT_EQ(w.Image[0x11] & 0x1C, 0) << "bits 20..18 of R4 are cleared by the render";
  EXPECT_EQ(w.cboDITH->currentText(), "Strong Dithering");
  EXPECT_EQ(w.edtFreq->text(), "155000000");
}

} // namespace

namespace {

TEST_F(TSynthWindow, PanelShowsTheIniFieldsAfterStartUp) {
  std::ofstream("KX470S2485E.ini") << "[Reg 3]\nACCESS=2\n[Reg 4]\nATPU=1\nMUX=12\n";
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.cboAccess->currentText(), "R5");
  EXPECT_TRUE(w.chkATPU->isChecked());
  EXPECT_EQ(w.cboMUX->currentText(), "IF R/2");
  EXPECT_EQ((Word(w, 3) >> 20) & 0xF, 2u);
}

} // namespace
