// Construction of the main window's controls: the menus, the Frequency, Serial Setting, Config
// and Key Define groups, the page control with the capcode groups, the status bar and the
// invisible helpers. The register panel of the Config tab is built in register_panel.cpp.

#include "ui/Frmmain.h"

#include "editors/config_fields.h"
#include "image/table_file.h"
#include "ui/drop_down_list.h"
#include "ui/file_dialogs.h"
#include "ui/memo.h"
#include "ui/status_panel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kDesignFontSize = 8;

// A list's items, a check box's caption: as the field declares them.
QStringList ItemsOf(const TConfigField& field) {
  QStringList items;
  for (const char* item : field.Items)
    items << item;
  return items;
}
constexpr int kPollInterval = 2000;

} // namespace

// ---- Factory helpers, shared by every part of the window -------------------------------------

QLabel* TfmMain::AddLabel(QWidget* parent, const char* name, const QString& text, QRect r) {
  auto* l = Add<QLabel>(parent, name, "TLabel");
  l->setText(text);
  l->setGeometry(r);
  return l;
}

QLineEdit* TfmMain::AddEdit(QWidget* parent, const char* name, QRect r, int maxLength) {
  auto* e = Add<QLineEdit>(parent, name, "TEdit");
  e->setGeometry(r);
  e->setMaxLength(maxLength > 0 ? maxLength : 32767);
  return e;
}

QComboBox* TfmMain::AddList(QWidget* parent, const char* name, const QStringList& items, int index,
                            QRect r) {
  auto* c = Add<TDropDownList>(parent, name, "TComboBox");
  c->addItems(items);
  c->setCurrentIndex(index);
  c->setGeometry(r);
  c->setMaxVisibleItems(16);
  return c;
}

QCheckBox* TfmMain::AddCheck(QWidget* parent, const char* name, const QString& text, QRect r) {
  auto* c = Add<QCheckBox>(parent, name, "TCheckBox");
  c->setText(text);
  c->setGeometry(r);
  return c;
}

QGroupBox* TfmMain::AddGroup(QWidget* parent, const char* name, const QString& title, QRect r) {
  auto* g = Add<QGroupBox>(parent, name, "TGroupBox");
  g->setTitle(title);
  g->setGeometry(r);
  return g;
}

// ---- Menus -----------------------------------------------------------------------------------

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
  KeepMenuShortcuts(this);
  // A disabled menu does not stop its actions' shortcuts: the actions follow the menu.
  mnuPager->setEnabled(false);
  for (QAction* action : mnuPager->actions())
    action->setEnabled(false);

  OnMenuClick(mnuOpen, [this](QObject*) { OpenTable(); });
  OnMenuClick(mnuSave, [this](QObject*) { SaveTable(); });
  OnMenuClick(mnuSaveAs, [this](QObject*) { SaveTableAs(); });
  OnMenuClick(mnuExit, [this](QObject* s) { mnuExitClick(s); });
  OnMenuClick(mnuRead, [this](QObject* s) {
    if (mnuPager->isEnabled())
      mnuReadClick(s);
  });
  OnMenuClick(mnuWrite, [this](QObject* s) {
    if (mnuPager->isEnabled())
      mnuWriteClick(s);
  });
  OnMenuClick(mnuVerfy, [this](QObject* s) {
    if (mnuPager->isEnabled())
      mnuVerfyClick(s);
  });
  OnMenuClick(mnuAbout, [this](QObject* s) { mnuAboutClick(s); });
}

// ---- Groups ----------------------------------------------------------------------------------

void TfmMain::CreateControls() {
  QFont designFont = font();
  designFont.setPointSize(kDesignFontSize);
  setFont(designFont);

  Background = new QWidget(this);
  Background->setObjectName("Background");
  setCentralWidget(Background);
  Background->setMouseTracking(true);
  TEventAdapter::Of(Background).OnMouseMove = [this](QObject* s) { BackgroundMouseMove(s); };

  // Serial Setting lies behind Frequency at the same place: the presence poll links by itself.
  GroupBox2 = AddGroup(Background, "GroupBox2", "Serial Setting", QRect(8, 4, 748, 46));
  lblComPort = AddLabel(GroupBox2, "lblComPort", "COM Port", QRect(12, 20, 70, 17));
  QStringList ports;
  for (int i = 1; i <= 10; ++i)
    ports << QString("COM%1").arg(i);
  cboPort = AddList(GroupBox2, "cboPort", ports, 0, QRect(84, 17, 90, 22));
  btnLink = Add<QPushButton>(GroupBox2, "btnLink", "TButton");
  btnLink->setText("Link [F6]");
  btnLink->setGeometry(184, 16, 90, 24);
  lblPID = AddLabel(GroupBox2, "lblPID", "", QRect(290, 20, 440, 17));

  groupFrequency = AddGroup(Background, "groupFrequency", "Frequency", QRect(8, 4, 748, 46));
  lblFrequency = AddLabel(groupFrequency, "lblFrequency", "Frequency", QRect(12, 20, 70, 17));
  edtFreq = AddEdit(groupFrequency, "edtFreq", QRect(84, 17, 120, 22), 0);
  edtFreq->setText("450000000");
  lblHz = AddLabel(groupFrequency, "lblHz", "Hz", QRect(210, 20, 30, 17));
  groupFrequency->setAutoFillBackground(true); // covers the Serial Setting group behind it
  groupFrequency->raise();

  GroupBox1 = AddGroup(Background, "GroupBox1", "Config", QRect(8, 54, 748, 112));
  GroupBox1->setMouseTracking(true);
  TEventAdapter::Of(GroupBox1).OnMouseMove = [this](QObject* s) { BackgroundMouseMove(s); };
  lblBaud = AddLabel(GroupBox1, "lblBaud", "Baud Rate", QRect(12, 22, 70, 17));
  cboBaud = AddList(GroupBox1, "cboBaud", ItemsOf(kFieldBitRate), 0, QRect(84, 19, 100, 22));
  lblPolarity = AddLabel(GroupBox1, "lblPolarity", "Polarity", QRect(204, 22, 56, 17));
  cboPolarity =
      AddList(GroupBox1, "cboPolarity", ItemsOf(kFieldPolarity), 0, QRect(262, 19, 90, 22));
  chkKeyBeep =
      AddCheck(GroupBox1, "chkKeyBeep", ItemsOf(kFieldKeyBeep)[0], QRect(380, 20, 160, 20));
  chkKeyMode =
      AddCheck(GroupBox1, "chkKeyMode", ItemsOf(kFieldTriggerRising)[0], QRect(560, 20, 180, 20));
  lblRepeatTimes = AddLabel(GroupBox1, "lblRepeatTimes", "Repeat Times", QRect(12, 52, 80, 17));
  edtRepeatTimes = AddEdit(GroupBox1, "edtRepeatTimes", QRect(94, 49, 46, 22), 7);
  lblTimes = AddLabel(GroupBox1, "lblTimes", "times", QRect(144, 52, 40, 17));
  lblWaitTime = AddLabel(GroupBox1, "lblWaitTime", "Wait time Of Repeat", QRect(204, 52, 126, 17));
  edtWaitTime = AddEdit(GroupBox1, "edtWaitTime", QRect(334, 49, 50, 22), 7);
  lblSec = AddLabel(GroupBox1, "lblSec", "sec", QRect(388, 52, 24, 17));
  lblDisable = AddLabel(GroupBox1, "lblDisable", "(0:disable)", QRect(414, 52, 80, 17));
  lblPCCommand = AddLabel(GroupBox1, "lblPCCommand", "PC Command", QRect(520, 52, 80, 17));
  cboPCCommand = AddList(GroupBox1, "cboPCCommand", {"NONE", "ZRCOMP2", "ESPA", "RF TEST", "TAP"},
                         0, QRect(604, 49, 130, 22));
  lblHeaderCode = AddLabel(GroupBox1, "lblHeaderCode", "Header_Code(HEX)", QRect(12, 82, 118, 17));
  edtHeaderCode = AddEdit(GroupBox1, "edtHeaderCode", QRect(134, 79, 40, 22), 2);
  lblEndCode = AddLabel(GroupBox1, "lblEndCode", "Trailer_Code(HEX)", QRect(204, 82, 118, 17));
  edtEndCode = AddEdit(GroupBox1, "edtEndCode", QRect(324, 79, 40, 22), 2);

  groupKeyDefine = AddGroup(Background, "groupKeyDefine", "Key Define", QRect(8, 170, 748, 84));
  groupKeyDefine->setMouseTracking(true);
  TEventAdapter::Of(groupKeyDefine).OnMouseMove = [this](QObject* s) { BackgroundMouseMove(s); };
  lblSet = AddLabel(groupKeyDefine, "lblSet", "CapCode Set", QRect(12, 22, 80, 17));
  cboSet = AddList(groupKeyDefine, "cboSet", ItemsOf(kFieldCapcodeSet), 2, QRect(94, 19, 80, 22));
  QLabel** keyLabels[8] = {&lblKey0, &lblKey1, &lblKey2, &lblKey3,
                           &lblKey4, &lblKey5, &lblKey6, &lblKey7};
  QComboBox** keyLists[8] = {&cboKey0, &cboKey1, &cboKey2, &cboKey3,
                             &cboKey4, &cboKey5, &cboKey6, &cboKey7};
  const QStringList keyNames = ItemsOf(kFieldKey);
  for (int k = 0; k < 8; ++k) {
    const int x = 200 + (k % 4) * 136;
    const int y = k < 4 ? 19 : 50;
    const QByteArray labelName = "lblKey" + QByteArray::number(k);
    const QByteArray listName = "cboKey" + QByteArray::number(k);
    *keyLabels[k] = AddLabel(groupKeyDefine, labelName.constData(), QString("Key %1").arg(k + 1),
                             QRect(x, y + 3, 40, 17));
    *keyLists[k] =
        AddList(groupKeyDefine, listName.constData(), keyNames, k, QRect(x + 42, y, 86, 22));
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
    StatusPanels[p] = new TStatusPanel(StatusBar1);
    StatusPanels[p]->setObjectName(QString("StatusPanel%1").arg(p));
    if (panelWidths[p] > 0) {
      StatusPanels[p]->setFixedWidth(panelWidths[p]);
      StatusBar1->addWidget(StatusPanels[p]);
    } else {
      StatusBar1->addWidget(StatusPanels[p], 1);
    }
  }
  StatusPanels[1]->SetText(" Ready");

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
  // The scroll box fills its page whatever the page's size, which its tab control decides.
  scrCap = Add<QScrollArea>(tabCapcode, "scrCap", "TScrollBox");
  auto* page = new QVBoxLayout(tabCapcode);
  page->setContentsMargins(2, 2, 2, 2);
  page->addWidget(scrCap);
  scrCap->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  scrCap->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // The scroll box's client: the groups are placed on it as on the scroll box itself. It is as
  // wide as the scroll box shows and as high as the groups need (FitCapcodeList).
  scrCapContent = Add<QWidget>(nullptr, "scrCapContent", "TScrollBoxClient");
  scrCap->setWidgetResizable(true);
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
    QGroupBox* g = *groups[i] =
        AddGroup(scrCapContent, "grpCap" + n, QString("CapCode #%1").arg(i + 1),
                 QRect(4, 4 + i * 148, 708, 142));
    AddLabel(g, "lblAddress" + n, "Address(Dec)", QRect(10, 22, 80, 17));
    QLineEdit* e = *edits[i] = AddEdit(g, "edtCap" + n, QRect(92, 19, 80, 22), 7);
    AddLabel(g, "lblMsgType" + n, "Message Type", QRect(196, 22, 80, 17));
    QComboBox* t = *types[i] =
        AddList(g, "cboType" + n, ItemsOf(kFieldType), 0, QRect(278, 19, 110, 22));
    AddLabel(g, "lblFunction" + n, "Function Bit", QRect(412, 22, 76, 17));
    QComboBox* f = *functions[i] =
        AddList(g, "cboFun" + n, ItemsOf(kFieldFunction), 0, QRect(490, 19, 60, 22));
    TMemo* m = *memos[i] = Add<TMemo>(g, "memMsg" + n, "TMemo");
    m->setGeometry(10, 48, 688, 86);
    m->SetMaxLength(79);
    for (QWidget* w : std::initializer_list<QWidget*>{g, e, t, f, m})
      w->setProperty("Tag", i);
  }
  FitCapcodeList();
}
