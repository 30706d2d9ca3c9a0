#include "ui/Frmmain.h"

#include "editors/key_names.h"
#include "editors/record_reading.h"
#include "image/table_file.h"
#include "ui/Frmabout.h"
#include "ui/file_dialogs.h"
#include "ui/memo.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace {

// Design client area (below the menu bar, status bar included).
constexpr int kDesignWidth = 764;
constexpr int kDesignHeight = 699;
constexpr int kDesignFontSize = 8;
constexpr int kPollInterval = 2000;
constexpr int kPageControlGap = 10;

// Components whose geometry the layout record leaves alone: the non-visual ones, compared by
// exact class name as the layout rule says.
bool IsNonVisual(const QObject* component) {
  static const QStringList kNonVisual{"TMainMenu", "TSaveDialog", "TOpenDialog",
                                      "TTimer",    "TMenuItem",   "TImageList",
                                      "TADOQuery", "TDataSource", "TADOConnection"};
  return kNonVisual.contains(component->property("ClassName").toString());
}

QString Hex2(unsigned value) {
  return QString::asprintf("%02X", value & 0xFFu);
}

} // namespace

template <typename T> T* TfmMain::Add(QWidget* parent, const char* name, const char* className) {
  T* control = new T(parent);
  control->setObjectName(name);
  control->setProperty("ClassName", className);
  Components.push_back(control);
  return control;
}

TfmMain::TfmMain(TProcessObjects& process, QWidget* parent)
    : QMainWindow(parent), Process(process) {
  setObjectName("fmMain");
  setWindowTitle("KX470U V1.27");
  CreateMenus();
  CreateControls();
  WireLink();
  WireSynth();
  WireCapcodes();
  WireSettings();
  // The design client area is below the menu bar.
  resize(kDesignWidth, kDesignHeight + MainMenu1->sizeHint().height());
  FormCreate();
}

TfmMain::~TfmMain() = default;

void TfmMain::CreateMenus() {
  MainMenu1 = menuBar();
  MainMenu1->setObjectName("MainMenu1");
  MainMenu1->setProperty("ClassName", "TMainMenu");
  Components.push_back(MainMenu1);
  auto addItem = [this](QMenu* menu, const char* name, const QString& caption,
                        const QKeySequence& shortcut) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    action->setProperty("ClassName", "TMenuItem");
    action->setShortcut(shortcut);
    // Shortcuts work while the window is active, whichever control has the focus.
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    Components.push_back(action);
    return action;
  };
  mnuFile = MainMenu1->addMenu("&File");
  mnuFile->setObjectName("mnuFile");
  mnuOpen = addItem(mnuFile, "mnuOpen", "Open", QKeySequence("Ctrl+O"));
  mnuSave = addItem(mnuFile, "mnuSave", "Save", QKeySequence("Ctrl+S"));
  mnuSaveAs = addItem(mnuFile, "mnuSaveAs", "Save As...", QKeySequence());
  mnuFile->addSeparator();
  mnuExit = addItem(mnuFile, "mnuExit", "Exit", QKeySequence("Ctrl+E"));
  mnuPager = MainMenu1->addMenu("&Pager");
  mnuPager->setObjectName("mnuPager");
  mnuRead = addItem(mnuPager, "mnuRead", "Read", QKeySequence(Qt::Key_F3));
  mnuWrite = addItem(mnuPager, "mnuWrite", "Write", QKeySequence(Qt::Key_F4));
  mnuVerfy = addItem(mnuPager, "mnuVerfy", "Verfy", QKeySequence(Qt::Key_F9));
  mnuHelp = MainMenu1->addMenu("&Help");
  mnuHelp->setObjectName("mnuHelp");
  mnuAbout = addItem(mnuHelp, "mnuAbout", "About", QKeySequence());
  for (QMenu* menu : {mnuFile, mnuPager, mnuHelp}) {
    menu->setProperty("ClassName", "TMenuItem");
    Components.push_back(menu);
  }
  // A disabled menu does not stop its actions' shortcuts: the actions follow the menu.
  mnuPager->setEnabled(false);
  for (QAction* action : mnuPager->actions())
    action->setEnabled(false);

  connect(mnuOpen, &QAction::triggered, this, [this] { OpenTable(); });
  connect(mnuSave, &QAction::triggered, this, [this] { SaveTable(); });
  connect(mnuSaveAs, &QAction::triggered, this, [this] { SaveTableAs(); });
  connect(mnuExit, &QAction::triggered, this, [this] { mnuExitClick(mnuExit); });
  connect(mnuRead, &QAction::triggered, this, [this] {
    if (mnuPager->isEnabled())
      mnuReadClick(mnuRead);
  });
  connect(mnuWrite, &QAction::triggered, this, [this] {
    if (mnuPager->isEnabled())
      mnuWriteClick(mnuWrite);
  });
  connect(mnuVerfy, &QAction::triggered, this, [this] {
    if (mnuPager->isEnabled())
      mnuVerfyClick(mnuVerfy);
  });
  connect(mnuAbout, &QAction::triggered, this, [this] { mnuAboutClick(mnuAbout); });
}

void TfmMain::CreateControls() {
  QFont designFont = font();
  designFont.setPointSize(kDesignFontSize);
  setFont(designFont);

  Background = new QWidget(this);
  Background->setObjectName("Background");
  setCentralWidget(Background);
  Background->setMouseTracking(true);
  TEventAdapter::Of(Background).OnMouseMove = [this](QObject* s) { BackgroundMouseMove(s); };

  auto label = [this](QWidget* parent, const char* name, const QString& text, QRect r) {
    auto* l = Add<QLabel>(parent, name, "TLabel");
    l->setText(text);
    l->setGeometry(r);
    return l;
  };
  auto edit = [this](QWidget* parent, const char* name, QRect r, int maxLength) {
    auto* e = Add<QLineEdit>(parent, name, "TEdit");
    e->setGeometry(r);
    e->setMaxLength(maxLength > 0 ? maxLength : 32767);
    return e;
  };
  auto list = [this](QWidget* parent, const char* name, const QStringList& items, QRect r) {
    auto* c = Add<QComboBox>(parent, name, "TComboBox");
    c->addItems(items);
    c->setCurrentIndex(items.isEmpty() ? -1 : 0);
    c->setGeometry(r);
    c->setMaxVisibleItems(16);
    return c;
  };
  auto check = [this](QWidget* parent, const char* name, const QString& text, QRect r) {
    auto* c = Add<QCheckBox>(parent, name, "TCheckBox");
    c->setText(text);
    c->setGeometry(r);
    return c;
  };
  auto group = [this](QWidget* parent, const char* name, const QString& title, QRect r) {
    auto* g = Add<QGroupBox>(parent, name, "TGroupBox");
    g->setTitle(title);
    g->setGeometry(r);
    return g;
  };

  // Serial Setting lies behind Frequency at the same place: the presence poll links by itself.
  GroupBox2 = group(Background, "GroupBox2", "Serial Setting", QRect(8, 4, 748, 46));
  lblComPort = label(GroupBox2, "lblComPort", "COM Port", QRect(12, 20, 70, 17));
  QStringList ports;
  for (int i = 1; i <= 10; ++i)
    ports << QString("COM%1").arg(i);
  cboPort = list(GroupBox2, "cboPort", ports, QRect(84, 17, 90, 22));
  btnLink = Add<QPushButton>(GroupBox2, "btnLink", "TButton");
  btnLink->setText("Link [F6]");
  btnLink->setGeometry(184, 16, 90, 24);
  lblPID = label(GroupBox2, "lblPID", "", QRect(290, 20, 440, 17));

  groupFrequency = group(Background, "groupFrequency", "Frequency", QRect(8, 4, 748, 46));
  lblFrequency = label(groupFrequency, "lblFrequency", "Frequency", QRect(12, 20, 70, 17));
  edtFreq = edit(groupFrequency, "edtFreq", QRect(84, 17, 120, 22), 0);
  edtFreq->setText("450000000");
  lblHz = label(groupFrequency, "lblHz", "Hz", QRect(210, 20, 30, 17));
  groupFrequency->setAutoFillBackground(true); // covers the Serial Setting group behind it
  groupFrequency->raise();

  GroupBox1 = group(Background, "GroupBox1", "Config", QRect(8, 54, 748, 112));
  GroupBox1->setMouseTracking(true);
  TEventAdapter::Of(GroupBox1).OnMouseMove = [this](QObject* s) { BackgroundMouseMove(s); };
  lblBaud = label(GroupBox1, "lblBaud", "Baud Rate", QRect(12, 22, 70, 17));
  cboBaud = list(GroupBox1, "cboBaud", {"512 bps", "1200 bps", "2400 bps"}, QRect(84, 19, 100, 22));
  lblPolarity = label(GroupBox1, "lblPolarity", "Polarity", QRect(204, 22, 56, 17));
  cboPolarity = list(GroupBox1, "cboPolarity", {"Normal", "Invert"}, QRect(262, 19, 90, 22));
  chkKeyBeep = check(GroupBox1, "chkKeyBeep", "Key Beep Enable", QRect(380, 20, 160, 20));
  chkKeyMode = check(GroupBox1, "chkKeyMode", "Enable Trigger Rising", QRect(560, 20, 180, 20));
  lblRepeatTimes = label(GroupBox1, "lblRepeatTimes", "Repeat Times", QRect(12, 52, 80, 17));
  edtRepeatTimes = edit(GroupBox1, "edtRepeatTimes", QRect(94, 49, 46, 22), 7);
  lblTimes = label(GroupBox1, "lblTimes", "times", QRect(144, 52, 40, 17));
  lblWaitTime = label(GroupBox1, "lblWaitTime", "Wait time Of Repeat", QRect(204, 52, 126, 17));
  edtWaitTime = edit(GroupBox1, "edtWaitTime", QRect(334, 49, 50, 22), 7);
  lblSec = label(GroupBox1, "lblSec", "sec", QRect(388, 52, 24, 17));
  lblDisable = label(GroupBox1, "lblDisable", "(0:disable)", QRect(414, 52, 80, 17));
  lblPCCommand = label(GroupBox1, "lblPCCommand", "PC Command", QRect(520, 52, 80, 17));
  cboPCCommand = list(GroupBox1, "cboPCCommand", {"NONE", "ZRCOMP2", "ESPA", "RF TEST", "TAP"},
                      QRect(604, 49, 130, 22));
  lblHeaderCode = label(GroupBox1, "lblHeaderCode", "Header_Code(HEX)", QRect(12, 82, 118, 17));
  edtHeaderCode = edit(GroupBox1, "edtHeaderCode", QRect(134, 79, 40, 22), 2);
  lblEndCode = label(GroupBox1, "lblEndCode", "Trailer_Code(HEX)", QRect(204, 82, 118, 17));
  edtEndCode = edit(GroupBox1, "edtEndCode", QRect(324, 79, 40, 22), 2);

  groupKeyDefine = group(Background, "groupKeyDefine", "Key Define", QRect(8, 170, 748, 84));
  groupKeyDefine->setMouseTracking(true);
  TEventAdapter::Of(groupKeyDefine).OnMouseMove = [this](QObject* s) { BackgroundMouseMove(s); };
  lblSet = label(groupKeyDefine, "lblSet", "CapCode Set", QRect(12, 22, 80, 17));
  cboSet = list(groupKeyDefine, "cboSet", {"1 Set", "4 Set", "8 Set"}, QRect(94, 19, 80, 22));
  cboSet->setCurrentIndex(2);
  QLabel** keyLabels[8] = {&lblKey0, &lblKey1, &lblKey2, &lblKey3,
                           &lblKey4, &lblKey5, &lblKey6, &lblKey7};
  QComboBox** keyLists[8] = {&cboKey0, &cboKey1, &cboKey2, &cboKey3,
                             &cboKey4, &cboKey5, &cboKey6, &cboKey7};
  QStringList keyNames;
  for (int k = 1; k <= 8; ++k)
    keyNames << QString("KEY_S%1").arg(k);
  for (int k = 0; k < 8; ++k) {
    const int x = 200 + (k % 4) * 136;
    const int y = k < 4 ? 19 : 50;
    const QByteArray labelName = "lblKey" + QByteArray::number(k);
    const QByteArray listName = "cboKey" + QByteArray::number(k);
    *keyLabels[k] = label(groupKeyDefine, labelName.constData(), QString("Key %1").arg(k + 1),
                          QRect(x, y + 3, 40, 17));
    *keyLists[k] = list(groupKeyDefine, listName.constData(), keyNames, QRect(x + 42, y, 86, 22));
    (*keyLists[k])->setCurrentIndex(k);
    (*keyLabels[k])->setProperty("Tag", k);
    (*keyLists[k])->setProperty("Tag", k);
  }

  PageControl1 = Add<QTabWidget>(Background, "PageControl1", "TPageControl");
  PageControl1->setGeometry(8, 264, 748, 409);
  tabCapcode = Add<QWidget>(nullptr, "tabCapcode", "TTabSheet");
  tabConfig = Add<QWidget>(nullptr, "tabConfig", "TTabSheet");
  PageControl1->addTab(tabCapcode, "Capcode");
  PageControl1->addTab(tabConfig, "Config");
  PageControl1->setCurrentWidget(tabCapcode);
  CreateCapcodeGroups();
  CreateRegisterPanel();

  StatusBar1 = statusBar();
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setProperty("ClassName", "TStatusBar");
  StatusBar1->setSizeGripEnabled(true);
  const int panelWidths[3] = {230, 260, 0};
  for (int p = 0; p < 3; ++p) {
    StatusPanels[p] = new QLabel(StatusBar1);
    StatusPanels[p]->setObjectName(QString("StatusPanel%1").arg(p));
    StatusPanels[p]->setFrameShape(QFrame::StyledPanel);
    StatusPanels[p]->setFrameShadow(QFrame::Sunken);
    if (panelWidths[p] > 0) {
      StatusPanels[p]->setFixedWidth(panelWidths[p]);
      StatusBar1->addWidget(StatusPanels[p]);
    } else {
      StatusBar1->addWidget(StatusPanels[p], 1);
    }
  }
  StatusPanels[1]->setText(" Ready");

  edtNull = Add<QLineEdit>(Background, "edtNull", "TEdit");
  edtNull->setFrame(false);
  edtNull->setGeometry(0, 0, 1, 1);
  edtNull->setStyleSheet("background: transparent; color: transparent;");
  PB1 = Add<QProgressBar>(Background, "PB1", "TProgressBar");
  PB1->setVisible(false);
  PB1->setGeometry(0, 0, 100, 10);
  Timer2 = new QTimer(this);
  Timer2->setObjectName("Timer2");
  Timer2->setProperty("ClassName", "TTimer");
  Timer2->setInterval(kPollInterval);
  Components.push_back(Timer2);
  OpenDialog1 = new TFileDialog(TFileDialog::TKind::Open, "OpenDialog1", this);
  SaveDialog1 = new TFileDialog(TFileDialog::TKind::Save, "SaveDialog1", this);
  SaveDialog1->FileName = kDefaultTableName;
  Components.push_back(OpenDialog1);
  Components.push_back(SaveDialog1);
}

void TfmMain::CreateCapcodeGroups() {
  scrCap = Add<QScrollArea>(tabCapcode, "scrCap", "TScrollBox");
  scrCap->setGeometry(2, 2, 738, 376);
  scrCap->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  scrCap->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scrCap->setWidgetResizable(false);
  // The scroll box's client: the groups are placed on it as on the scroll box itself.
  scrCapContent = Add<QWidget>(nullptr, "scrCapContent", "TScrollBoxClient");
  scrCapContent->setGeometry(0, 0, 716, 8 * 148 + 4);
  scrCap->setWidget(scrCapContent);

  QGroupBox** groups[8] = {&grpCap0, &grpCap1, &grpCap2, &grpCap3,
                           &grpCap4, &grpCap5, &grpCap6, &grpCap7};
  QLineEdit** edits[8] = {&edtCap0, &edtCap1, &edtCap2, &edtCap3,
                          &edtCap4, &edtCap5, &edtCap6, &edtCap7};
  QComboBox** types[8] = {&cboType0, &cboType1, &cboType2, &cboType3,
                          &cboType4, &cboType5, &cboType6, &cboType7};
  QComboBox** functions[8] = {&cboFun0, &cboFun1, &cboFun2, &cboFun3,
                              &cboFun4, &cboFun5, &cboFun6, &cboFun7};
  TMemo** memos[8] = {&memMsg0, &memMsg1, &memMsg2, &memMsg3,
                      &memMsg4, &memMsg5, &memMsg6, &memMsg7};
  for (int i = 0; i < 8; ++i) {
    const QByteArray n = QByteArray::number(i);
    QGroupBox* g = *groups[i] = Add<QGroupBox>(scrCapContent, "grpCap" + n, "TGroupBox");
    g->setTitle(QString("CapCode #%1").arg(i + 1));
    g->setGeometry(4, 4 + i * 148, 708, 142);
    auto* addressLabel = Add<QLabel>(g, "lblAddress" + n, "TLabel");
    addressLabel->setText("Address(Dec)");
    addressLabel->setGeometry(10, 22, 80, 17);
    QLineEdit* e = *edits[i] = Add<QLineEdit>(g, "edtCap" + n, "TEdit");
    e->setMaxLength(7);
    e->setGeometry(92, 19, 80, 22);
    auto* typeLabel = Add<QLabel>(g, "lblMsgType" + n, "TLabel");
    typeLabel->setText("Message Type");
    typeLabel->setGeometry(196, 22, 80, 17);
    QComboBox* t = *types[i] = Add<QComboBox>(g, "cboType" + n, "TComboBox");
    t->addItems({"Alpha", "Digit(0x0C)", "Digit(0x0F)", "Tone Only", "Binary"});
    t->setGeometry(278, 19, 110, 22);
    auto* functionLabel = Add<QLabel>(g, "lblFunction" + n, "TLabel");
    functionLabel->setText("Function Bit");
    functionLabel->setGeometry(412, 22, 76, 17);
    QComboBox* f = *functions[i] = Add<QComboBox>(g, "cboFun" + n, "TComboBox");
    f->addItems({"0 0", "0 1", "1 0", "1 1"});
    f->setGeometry(490, 19, 60, 22);
    TMemo* m = *memos[i] = Add<TMemo>(g, "memMsg" + n, "TMemo");
    m->setGeometry(10, 48, 688, 86);
    m->SetMaxLength(79);
    for (QWidget* w : std::initializer_list<QWidget*>{g, e, t, f, m})
      w->setProperty("Tag", i);
  }
}

void TfmMain::CreateRegisterPanel() {
  auto group = [this](const char* name, const QString& title, QRect r) {
    auto* g = Add<QGroupBox>(tabConfig, name, "TGroupBox");
    g->setTitle(title);
    g->setGeometry(r);
    return g;
  };
  auto check = [this](QWidget* parent, const char* name, int y) {
    auto* c = Add<QCheckBox>(parent, name, "TCheckBox");
    c->setText(QString(name).mid(3));
    c->setGeometry(10, y, 100, 20);
    return c;
  };
  auto label = [this](QWidget* parent, const char* name, const QString& text, QRect r) {
    auto* l = Add<QLabel>(parent, name, "TLabel");
    l->setText(text);
    l->setGeometry(r);
    return l;
  };
  auto list = [this](QWidget* parent, const char* name, const QStringList& items, int index,
                     QRect r) {
    auto* c = Add<QComboBox>(parent, name, "TComboBox");
    c->addItems(items);
    c->setCurrentIndex(index);
    c->setGeometry(r);
    c->setMaxVisibleItems(16);
    return c;
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
  lblRF_CPG = label(grpRF_PLL, "lblRF_CPG", "RF_CPG", QRect(10, 20, 60, 17));
  cboRF_CPG = list(grpRF_PLL, "cboRF_CPG", multiples, 15, QRect(10, 36, 100, 22));

  grpMisc = group("grpMisc", "Misc Controls", QRect(262, 4, 236, 74));
  lblAccess = label(grpMisc, "lblAccess", "ACCESS", QRect(8, 22, 50, 17));
  cboAccess =
      list(grpMisc, "cboAccess",
           {"Disabled", "R4", "R5", "R5,&R4", "R6", "R6,&R4", "R6,&R5", "R6,R5,&R4", "R7", "R7,&R4",
            "R7,&R5", "R7,R5,&R1", "R7,&R6", "R7,R6,&R4", "R7,R6,&R5", "All Registers"},
           0, QRect(60, 19, 168, 22));
  lblMUX = label(grpMisc, "lblMUX", "MUX", QRect(8, 48, 50, 17));
  cboMUX = list(grpMisc, "cboMUX",
                {"Disabled", "Logic Hight", "Logic Low", "RF/IF Dig LD (PP)", "RF Digital LD (PP)",
                 "IF Digitial LD (PP)", "RF/IF Analog LD (OD)", "RF Analog LD (OD)",
                 "IF Analog LD (OD)", "RF/IF Analog LD (PP)", "RF Analog LD (PP)",
                 "IF Analog LD (PP)", "IF R/2", "IF N/2", "RF R/2", "RF N/2"},
                6, QRect(60, 45, 168, 22));

  grpFractional = group("grpFractional", "Fractional Controls", QRect(262, 82, 236, 106));
  lblFM = label(grpFractional, "lblFM", "FM", QRect(8, 22, 50, 17));
  cboFM =
      list(grpFractional, "cboFM",
           {"4th Order Modulator", "Reset Modulator", "2nd Order Modulator", "3rd Order Modulator"},
           0, QRect(60, 19, 168, 22));
  lblDITH = label(grpFractional, "lblDITH", "DITH", QRect(8, 48, 50, 17));
  cboDITH =
      list(grpFractional, "cboDITH", {"Disabled", "Weak Dithering", "Strong Dithering", "Reserved"},
           2, QRect(60, 45, 168, 22));

  grpFastlock = group("grpFastlock", "Fastlock Controls", QRect(502, 4, 238, 184));
  lblRF_TOC = label(grpFastlock, "lblRF_TOC", "RF_TOC", QRect(10, 22, 60, 17));
  edtRF_TOC = Add<QLineEdit>(grpFastlock, "edtRF_TOC", "TEdit");
  edtRF_TOC->setGeometry(76, 19, 70, 22);
  edtRF_TOC->setText("0");
  lblRF_CPF = label(grpFastlock, "lblRF_CPF", "RF_CPF", QRect(10, 50, 60, 17));
  cboRF_CPF = list(grpFastlock, "cboRF_CPF", multiples, 15, QRect(76, 47, 90, 22));
  lblN_CSR = label(grpFastlock, "lblN_CSR", "N_CSR", QRect(10, 78, 60, 17));
  cboN_CSR =
      list(grpFastlock, "cboN_CSR", {"Disabled", "1/2", "1/4", "1/16"}, 0, QRect(76, 75, 90, 22));

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
    QLabel* row = *rowLabels[i] =
        label(pnlRegisters, "lblReg" + n, "R" + QString::number(i), QRect(14, 7 + i * 17, 26, 17));
    QFont bold = row->font();
    bold.setBold(true);
    row->setFont(bold);
    QLabel* hex = *hexLabels[i] =
        label(pnlRegisters, "lblHexR" + n, "", QRect(44 + 24 * 16 + 14, 7 + i * 17, 90, 17));
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

// ---- Creation, showing, closing --------------------------------------------------------------

void TfmMain::FormCreate() {
  RecordLayout();
  BuildControlTables();
  // The start directory, kept in a buffer of 400 characters in the original design.
  std::error_code error;
  StartDirectory = std::filesystem::current_path(error).string().substr(0, 399);
}

void TfmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (FShown)
    return;
  FShown = true;
  if (const QScreen* screen = this->screen())
    move(screen->availableGeometry().center() - rect().center());
  FormShow();
}

void TfmMain::FormShow() {
  RefreshPortList();
  cboPort->setCurrentIndex(0);
  SetPollEnabled(true);
  LoadDefaultTable();
  Rendering = true;
  RenderImage();
  Rendering = false;
  LoadSynthIni();
  PackRegisters();
  // The panel shows the fields the INI file gave, not those of the image shown before it.
  ShowRegisterControls();
  ShowFrequency();
  edtHeaderCode->setText("0");
  edtEndCode->setText("0");
  PageControl1->setVisible(true);
  PageControl1->move(PageControl1->x(), groupKeyDefine->geometry().bottom() + 1 + kPageControlGap);
  cboPCCommand->clear();
  cboPCCommand->addItems({"NONE", "ZRCOMP2", "RF TEST"});
  // The selector follows the image's PC command byte rather than always showing "NONE".
  const int command = Image[kPcCommand];
  cboPCCommand->setCurrentIndex(command < cboPCCommand->count() ? command : -1);
  edtNull->setFocus(Qt::OtherFocusReason);
}

void TfmMain::closeEvent(QCloseEvent* event) {
  if (PutOffCloseDuringExchange()) {
    event->ignore();
    return;
  }
  SaveSynthIni();
  Timer2->stop();
  if (fmAbout)
    fmAbout->close();
  event->accept();
  QMainWindow::closeEvent(event);
}

void TfmMain::mnuExitClick(QObject*) {
  close();
}

void TfmMain::mnuAboutClick(QObject*) {
  if (fmAbout)
    fmAbout->exec();
}

// ---- Layout ----------------------------------------------------------------------------------

void TfmMain::RecordLayout() {
  RecordedWidth = width();
  RecordedHeight = height();
  setWindowState(Qt::WindowNoState);
  Layout.assign(Components.size(), TLayoutEntry{});
  for (std::size_t c = 0; c < Components.size(); ++c) {
    QObject* component = Components[c];
    if (IsNonVisual(component))
      continue;
    auto* widget = qobject_cast<QWidget*>(component);
    if (!widget)
      continue;
    TLayoutEntry& entry = Layout[c];
    const QRect g = widget->geometry();
    entry.Left = g.x();
    entry.Top = g.y();
    entry.Width = g.width();
    entry.Height = g.height();
    entry.FontSize = widget->font().pointSize();
    entry.Recorded = true;
  }
  tabConfig->setVisible(true);
  PageControl1->move(PageControl1->x(), groupKeyDefine->geometry().bottom() + 1 + kPageControlGap);
  FLayoutRecorded = true;
}

void TfmMain::ScaleLayout() {
  if (!FLayoutRecorded || RecordedWidth <= 0 || RecordedHeight <= 0)
    return;
  ScaleX = static_cast<double>(width()) / RecordedWidth;
  ScaleY = static_cast<double>(height()) / RecordedHeight;
  const double f = ScaleX < ScaleY ? ScaleX : ScaleY;
  for (std::size_t c = 0; c < Components.size(); ++c) {
    if (!Layout[c].Recorded || IsNonVisual(Components[c]))
      continue;
    auto* widget = qobject_cast<QWidget*>(Components[c]);
    if (!widget)
      continue;
    const TLayoutEntry& entry = Layout[c];
    widget->setGeometry(static_cast<int>(std::trunc(entry.Left * ScaleX)),
                        static_cast<int>(std::trunc(entry.Top * ScaleY)),
                        static_cast<int>(std::trunc(entry.Width * ScaleX)),
                        static_cast<int>(std::trunc(entry.Height * ScaleY)));
    if (entry.FontSize > 0) {
      QFont scaled = widget->font();
      // The toolkit has no 0-point font; the smallest it can show stands in for it.
      scaled.setPointSize(std::max(1, static_cast<int>(std::trunc(entry.FontSize * f))));
      widget->setFont(scaled);
    }
    scrCap->verticalScrollBar()->setValue(0);
  }
  tabConfig->setVisible(true);
  PageControl1->move(PageControl1->x(), groupKeyDefine->geometry().bottom() + 1 + kPageControlGap);
}

void TfmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  ScaleLayout();
}

void TfmMain::BuildControlTables() {
  for (QObject* component : Components) {
    const QString name = component->objectName();
    bool ok = false;
    const int tag = component->property("Tag").toInt(&ok);
    if (!ok || tag < 0 || tag > 7)
      continue;
    auto widget = qobject_cast<QWidget*>(component);
    const QString six = name.left(6);
    const QString seven = name.left(7);
    if (six == "lblKey")
      KeyLabels[tag] = qobject_cast<QLabel*>(widget);
    else if (six == "cboKey")
      KeySelectors[tag] = qobject_cast<QComboBox*>(widget);
    else if (six == "grpCap")
      CapcodeGroups[tag] = qobject_cast<QGroupBox*>(widget);
    else if (six == "edtCap")
      CapcodeEdits[tag] = qobject_cast<QLineEdit*>(widget);
    else if (seven == "cboType")
      TypeSelectors[tag] = qobject_cast<QComboBox*>(widget);
    else if (six == "cboFun")
      FunctionSelectors[tag] = qobject_cast<QComboBox*>(widget);
    else if (six == "memMsg")
      MessageMemos[tag] = qobject_cast<TMemo*>(widget);
    else if (seven == "lblHexR")
      HexLabels[tag] = qobject_cast<QLabel*>(widget);
    else if (six == "lblReg")
      RegisterLabels[tag] = qobject_cast<QLabel*>(widget);
  }
}

// ---- Small services --------------------------------------------------------------------------

int TfmMain::TagOf(QObject* Sender) {
  return Sender ? Sender->property("Tag").toInt() : 0;
}

void TfmMain::SetStatusText(int panel, const QString& text) {
  if (panel >= 0 && panel < 3)
    StatusPanels[panel]->setText(text);
}

QString TfmMain::StatusText(int panel) const {
  return panel >= 0 && panel < 3 ? StatusPanels[panel]->text() : QString();
}

void TfmMain::FocusNull() {
  edtNull->setFocus(Qt::OtherFocusReason);
}

void TfmMain::BackgroundMouseMove(QObject*) {
  if (isEnabled() && isActiveWindow() && QApplication::focusWidget() != edtNull)
    FocusNull();
}

// ---- Showing the image -----------------------------------------------------------------------

void TfmMain::RenderImage() {
  UnpackRegisters();
  FillRegisterGrid();
  ShowRegisterControls();
  ShowFrequency();
  cboBaud->setCurrentIndex(
      static_cast<int>(Image.ReadBitField(kOptionByte, kBitRateShift, kBitRateWidth)) <
              cboBaud->count()
          ? static_cast<int>(Image.ReadBitField(kOptionByte, kBitRateShift, kBitRateWidth))
          : -1);
  cboPolarity->setCurrentIndex(Image.ReadBitField(kOptionByte, kPolarityShift, kPolarityWidth) ? 0
                                                                                               : 1);
  chkKeyBeep->setChecked(Image.ReadBitField(kOptionByte, kKeyBeepShift, kKeyBeepWidth) == 1);
  const int selector =
      static_cast<int>(Image.ReadBitField(kOptionByte, kSelectorShift, kSelectorWidth));
  cboSet->setCurrentIndex(selector < cboSet->count() ? selector : -1);
  cboSetClick(cboSet);
  edtRepeatTimes->setText(QString::number(Image[kRepeatCount] + 1));
  edtWaitTime->setText(QString::number(Image[kRepeatWait]));
  const int command = Image[kPcCommand];
  cboPCCommand->setCurrentIndex(command < cboPCCommand->count() ? command : -1);
  chkKeyMode->setChecked(Image[kTriggerEdge] != 0);
  RenderCapcodes();
  RenderKeyMap();
}

void TfmMain::RenderCapcodes() {
  for (int i = 0; i < Image.CapcodeCount(); ++i) {
    const TEntryReading entry = ReadEntry(Image, i);
    CapcodeEdits[i]->setText(QString::asprintf("%07u", entry.Capcode));
    TypeSelectors[i]->setCurrentIndex(entry.Type < TypeSelectors[i]->count() ? entry.Type : -1);
    cboType0Click(TypeSelectors[i]);
    FunctionSelectors[i]->setCurrentIndex(
        entry.Function < FunctionSelectors[i]->count() ? entry.Function : -1);
    MessageMemos[i]->clear();
    if (entry.Binary) {
      MessageMemos[i]->SetText(DecodeBinaryRecord(entry.Stream.data(), entry.Stream.size()));
      continue;
    }
    edtHeaderCode->setText(Hex2(entry.Header));
    edtEndCode->setText(Hex2(entry.Trailer));
    MessageMemos[i]->SetText(QString::fromLatin1(reinterpret_cast<const char*>(entry.Text.data()),
                                                 static_cast<qsizetype>(entry.Text.size())));
  }
}

void TfmMain::RenderKeyMap() {
  for (int k = 0; k < kMaxCapcodes; ++k) {
    const QString name =
        QString::fromStdString(KeyName(Image[kKeyMap + static_cast<std::size_t>(k)]));
    // A code without a name shows no key rather than the key the row showed before.
    KeySelectors[k]->setCurrentIndex(name.isEmpty() ? -1 : KeySelectors[k]->findText(name));
  }
}
