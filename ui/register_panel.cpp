// Construction of the register panel on the window's Config tab: the field groups, the bit grid
// and its row labels. Its handlers are in synth_handlers.cpp.

#include "ui/Frmmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

void TfmMain::CreateRegisterPanel() {
  auto group = [this](const char* name, const QString& title, QRect r) {
    return AddGroup(tabConfig, name, title, r);
  };
  // The check boxes are captioned with their field's name.
  auto check = [this](QWidget* parent, const char* name, int y) {
    return AddCheck(parent, name, QString(name).mid(3), QRect(10, y, 100, 20));
  };
  QStringList multiples;
  for (int k = 1; k <= 16; ++k)
    multiples << QString("%1x").arg(k);

  grpPowerDown = group("grpPowerDown", "Power Down Controls", QRect(4, 4, 130, 134));
  chkRF_PD = check(grpPowerDown, "chkRF_PD", 20);
  chkRF_RST = check(grpPowerDown, "chkRF_RST", 42);
  chkIF_PD = check(grpPowerDown, "chkIF_PD", 64);
  chkIF_RST = check(grpPowerDown, "chkIF_RST", 86);
  chkATPU = check(grpPowerDown, "chkATPU", 108);

  grpLockDetect = group("grpLockDetect", "Lock Detect Adjustments", QRect(4, 142, 254, 46));
  chkDIV4 = check(grpLockDetect, "chkDIV4", 20);

  grpOscillator = group("grpOscillator", "Oscillator Controls", QRect(138, 4, 120, 66));
  chkOSC_2X = check(grpOscillator, "chkOSC_2X", 20);
  chkOSC_OUT = check(grpOscillator, "chkOSC_OUT", 42);

  grpRF_PLL = group("grpRF_PLL", "RF_PLL", QRect(138, 74, 120, 64));
  lblRF_CPG = AddLabel(grpRF_PLL, "lblRF_CPG", "RF_CPG", QRect(10, 20, 60, 17));
  cboRF_CPG = AddList(grpRF_PLL, "cboRF_CPG", multiples, 15, QRect(10, 36, 100, 22));

  grpMisc = group("grpMisc", "Misc Controls", QRect(262, 4, 236, 74));
  lblAccess = AddLabel(grpMisc, "lblAccess", "ACCESS", QRect(8, 22, 50, 17));
  cboAccess = AddList(grpMisc, "cboAccess",
                      {"Disabled", "R4", "R5", "R5,&R4", "R6", "R6,&R4", "R6,&R5", "R6,R5,&R4",
                       "R7", "R7,&R4", "R7,&R5", "R7,R5,&R1", "R7,&R6", "R7,R6,&R4", "R7,R6,&R5",
                       "All Registers"},
                      0, QRect(60, 19, 168, 22));
  lblMUX = AddLabel(grpMisc, "lblMUX", "MUX", QRect(8, 48, 50, 17));
  cboMUX =
      AddList(grpMisc, "cboMUX",
              {"Disabled", "Logic Hight", "Logic Low", "RF/IF Dig LD (PP)", "RF Digital LD (PP)",
               "IF Digitial LD (PP)", "RF/IF Analog LD (OD)", "RF Analog LD (OD)",
               "IF Analog LD (OD)", "RF/IF Analog LD (PP)", "RF Analog LD (PP)",
               "IF Analog LD (PP)", "IF R/2", "IF N/2", "RF R/2", "RF N/2"},
              6, QRect(60, 45, 168, 22));

  grpFractional = group("grpFractional", "Fractional Controls", QRect(262, 82, 236, 106));
  lblFM = AddLabel(grpFractional, "lblFM", "FM", QRect(8, 22, 50, 17));
  cboFM = AddList(
      grpFractional, "cboFM",
      {"4th Order Modulator", "Reset Modulator", "2nd Order Modulator", "3rd Order Modulator"}, 0,
      QRect(60, 19, 168, 22));
  lblDITH = AddLabel(grpFractional, "lblDITH", "DITH", QRect(8, 48, 50, 17));
  cboDITH = AddList(grpFractional, "cboDITH",
                    {"Disabled", "Weak Dithering", "Strong Dithering", "Reserved"}, 2,
                    QRect(60, 45, 168, 22));

  grpFastlock = group("grpFastlock", "Fastlock Controls", QRect(502, 4, 238, 184));
  lblRF_TOC = AddLabel(grpFastlock, "lblRF_TOC", "RF_TOC", QRect(10, 22, 60, 17));
  edtRF_TOC = AddEdit(grpFastlock, "edtRF_TOC", QRect(76, 19, 70, 22), 0);
  edtRF_TOC->setText("0");
  lblRF_CPF = AddLabel(grpFastlock, "lblRF_CPF", "RF_CPF", QRect(10, 50, 60, 17));
  cboRF_CPF = AddList(grpFastlock, "cboRF_CPF", multiples, 15, QRect(76, 47, 90, 22));
  lblN_CSR = AddLabel(grpFastlock, "lblN_CSR", "N_CSR", QRect(10, 78, 60, 17));
  cboN_CSR = AddList(grpFastlock, "cboN_CSR", {"Disabled", "1/2", "1/4", "1/16"}, 0,
                     QRect(76, 75, 90, 22));

  pnlRegisters = Add<QFrame>(tabConfig, "pnlRegisters", "TPanel");
  pnlRegisters->setFrameShape(QFrame::Panel);
  pnlRegisters->setFrameShadow(QFrame::Sunken);
  pnlRegisters->setGeometry(4, 194, 736, 152);
  StringGrid1 = Add<QTableWidget>(pnlRegisters, "StringGrid1", "TStringGrid");
  StringGrid1->setColumnCount(24);
  StringGrid1->setRowCount(8);
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setMinimumSectionSize(1);
  StringGrid1->verticalHeader()->setMinimumSectionSize(1);
  StringGrid1->horizontalHeader()->setDefaultSectionSize(16);
  StringGrid1->verticalHeader()->setDefaultSectionSize(17);
  StringGrid1->setShowGrid(false);
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setFrameShape(QFrame::NoFrame);
  StringGrid1->setGeometry(44, 7, 24 * 16, 8 * 17);
  QLabel** rowLabels[8] = {&lblReg0, &lblReg1, &lblReg2, &lblReg3,
                           &lblReg4, &lblReg5, &lblReg6, &lblReg7};
  QLabel** hexLabels[8] = {&lblHexR0, &lblHexR1, &lblHexR2, &lblHexR3,
                           &lblHexR4, &lblHexR5, &lblHexR6, &lblHexR7};
  for (int i = 0; i < 8; ++i) {
    const QByteArray n = QByteArray::number(i);
    QLabel* row = *rowLabels[i] = AddLabel(pnlRegisters, "lblReg" + n, "R" + QString::number(i),
                                           QRect(14, 7 + i * 17, 26, 17));
    QFont bold = row->font();
    bold.setBold(true);
    row->setFont(bold);
    QLabel* hex = *hexLabels[i] =
        AddLabel(pnlRegisters, "lblHexR" + n, "", QRect(44 + 24 * 16 + 14, 7 + i * 17, 90, 17));
    hex->setVisible(false);
    row->setProperty("Tag", i);
    hex->setProperty("Tag", i);
    for (int j = 0; j < 24; ++j) {
      auto* cell = new QTableWidgetItem("0");
      cell->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
      StringGrid1->setItem(i, j, cell);
    }
  }
}
