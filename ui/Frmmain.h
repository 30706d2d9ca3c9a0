#pragma once
// TfmMain: the main window. Its members are its controls; its methods are their handlers.
// The shell (creation, first showing, closing, layout, control tables, RenderImage) lives in
// Frmmain.cpp, the construction of the controls in window_controls.cpp and register_panel.cpp,
// and the handlers of each subsystem in the matching ui/*_handlers.cpp.

#include "image/config_image.h"
#include "link/link_host.h"
#include "synth/synth_registers.h"
#include "ui/event_adapter.h"
#include "ui/layout_record.h"
#include "ui/process_objects.h"

#include <QMainWindow>
#include <QRect>
#include <QString>
#include <QStringList>
#include <array>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPainter;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QTimer;
class TFileDialog;
class TMemo;
class TStatusPanel;
class TfmAbout;

class TfmMain : public QMainWindow {
  Q_OBJECT
public:
  explicit TfmMain(TProcessObjects& process, QWidget* parent = nullptr);
  ~TfmMain() override;

  // ---- The window's state ------------------------------------------------------------------
  TProcessObjects& Process;
  TConfigImage Image;
  TSynthRegisters Synth;
  bool Rendering = false;      // set while RenderImage shows a freshly loaded image
  std::string StartDirectory;  // the working directory when the window was created
  TfmAbout* fmAbout = nullptr; // the About box, created hidden and reused

  // Control tables: nine families of eight controls, indexed by Tag.
  std::array<QLabel*, 8> KeyLabels{};
  std::array<QComboBox*, 8> KeySelectors{};
  std::array<QLineEdit*, 8> CapcodeEdits{};
  std::array<QComboBox*, 8> TypeSelectors{};
  std::array<QComboBox*, 8> FunctionSelectors{};
  std::array<QGroupBox*, 8> CapcodeGroups{};
  std::array<TMemo*, 8> MessageMemos{};
  std::array<QLabel*, 8> HexLabels{};
  std::array<QLabel*, 8> RegisterLabels{};

  // Layout record: outer size at creation and, per component the window places, left, top,
  // width, height and font size.
  int RecordedWidth = 0, RecordedHeight = 0;
  double ScaleX = 1.0, ScaleY = 1.0;
  std::vector<TLayoutEntry> Layout;
  std::vector<QObject*> Components; // every component, in creation order

  // ---- Controls ----------------------------------------------------------------------------
  QMenuBar* MainMenu1;
  QMenu *mnuFile, *mnuPager, *mnuHelp;
  QAction *mnuOpen, *mnuSave, *mnuSaveAs, *mnuExit, *mnuRead, *mnuWrite, *mnuVerfy, *mnuAbout;
  QWidget* Background;

  QGroupBox* groupFrequency;
  QLabel *lblFrequency, *lblHz;
  QLineEdit* edtFreq;

  QGroupBox* GroupBox2;
  QLabel *lblComPort, *lblPID;
  QComboBox* cboPort;
  QPushButton* btnLink;

  QGroupBox* GroupBox1;
  QLabel *lblBaud, *lblPolarity, *lblRepeatTimes, *lblTimes, *lblWaitTime, *lblSec, *lblDisable,
      *lblPCCommand, *lblHeaderCode, *lblEndCode;
  QComboBox *cboBaud, *cboPolarity, *cboPCCommand;
  QLineEdit *edtRepeatTimes, *edtWaitTime, *edtHeaderCode, *edtEndCode;
  QCheckBox *chkKeyBeep, *chkKeyMode;

  QGroupBox* groupKeyDefine;
  QLabel* lblSet;
  QComboBox* cboSet;
  QLabel *lblKey0, *lblKey1, *lblKey2, *lblKey3, *lblKey4, *lblKey5, *lblKey6, *lblKey7;
  QComboBox *cboKey0, *cboKey1, *cboKey2, *cboKey3, *cboKey4, *cboKey5, *cboKey6, *cboKey7;

  QTabWidget* PageControl1;
  QWidget *tabCapcode, *tabConfig;
  QScrollArea* scrCap;
  QWidget* scrCapContent;
  QGroupBox *grpCap0, *grpCap1, *grpCap2, *grpCap3, *grpCap4, *grpCap5, *grpCap6, *grpCap7;
  QLineEdit *edtCap0, *edtCap1, *edtCap2, *edtCap3, *edtCap4, *edtCap5, *edtCap6, *edtCap7;
  QComboBox *cboType0, *cboType1, *cboType2, *cboType3, *cboType4, *cboType5, *cboType6, *cboType7;
  QComboBox *cboFun0, *cboFun1, *cboFun2, *cboFun3, *cboFun4, *cboFun5, *cboFun6, *cboFun7;
  TMemo *memMsg0, *memMsg1, *memMsg2, *memMsg3, *memMsg4, *memMsg5, *memMsg6, *memMsg7;

  // Register panel (tab "Config")
  QGroupBox *grpPowerDown, *grpOscillator, *grpLockDetect, *grpMisc, *grpFractional, *grpFastlock,
      *grpRF_PLL;
  QCheckBox *chkRF_PD, *chkRF_RST, *chkIF_PD, *chkIF_RST, *chkATPU, *chkOSC_2X, *chkOSC_OUT,
      *chkDIV4;
  QLabel *lblAccess, *lblMUX, *lblFM, *lblDITH, *lblRF_TOC, *lblRF_CPF, *lblN_CSR, *lblRF_CPG;
  QComboBox *cboAccess, *cboMUX, *cboFM, *cboDITH, *cboRF_CPF, *cboN_CSR, *cboRF_CPG;
  QLineEdit* edtRF_TOC;
  QFrame* pnlRegisters;
  QTableWidget* StringGrid1;
  QLabel *lblReg0, *lblReg1, *lblReg2, *lblReg3, *lblReg4, *lblReg5, *lblReg6, *lblReg7;
  QLabel *lblHexR0, *lblHexR1, *lblHexR2, *lblHexR3, *lblHexR4, *lblHexR5, *lblHexR6, *lblHexR7;
  int SelectedCol = 0, SelectedRow = 0; // the grid's selected cell

  QStatusBar* StatusBar1;
  std::array<TStatusPanel*, 3> StatusPanels{};
  QLineEdit* edtNull;
  QProgressBar* PB1;
  QTimer* Timer2;
  TFileDialog *OpenDialog1, *SaveDialog1;

  // ---- Shell (Frmmain.cpp) -----------------------------------------------------------------
  void FormCreate();
  void FormShow();
  void RecordLayout();
  void BuildControlTables();
  void ScaleLayout();
  void RenderImage();
  void RenderCapcodes();
  void RenderKeyMap();
  void SetStatusText(int panel, const QString& text);
  QString StatusText(int panel) const;
  void FocusNull(); // moves the keyboard focus to edtNull, committing the open edit
  void BackgroundMouseMove(QObject* Sender);
  void mnuExitClick(QObject* Sender);
  void mnuAboutClick(QObject* Sender);
  static int TagOf(QObject* Sender);

  // ---- Table files (table_file_handlers.cpp) -----------------------------------------------
  void LoadDefaultTable();
  void OpenTable();
  void SaveTable();
  void SaveTableAs();
  bool WriteTableFile(const QString& name, const QString& titleText);
  void UpdateTitle(const QString& text);

  // ---- Programmer link (link_handlers.cpp) -------------------------------------------------
  void WireLink();
  void RefreshPortList();
  void cboPortClick(QObject* Sender);
  void btnLinkClick(QObject* Sender);
  void Timer2Timer();
  void mnuReadClick(QObject* Sender);
  void mnuWriteClick(QObject* Sender);
  void mnuVerfyClick(QObject* Sender);
  void SetPollEnabled(bool on);
  void EnablePagerMenu(bool on); // the menu and its three items
  TLinkHost LinkHost;            // the link's way into the window
  // A close request while an exchange runs is put off until it has ended: the program never
  // ends in the middle of a write. True when the request was put off.
  bool PutOffCloseDuringExchange();
  void ExchangeEnded(); // carries out a close request that was put off
  bool CloseWhenIdle = false;

  // ---- Synthesizer (synth_handlers.cpp) ----------------------------------------------------
  void WireSynth();
  void UnpackRegisters();
  void PackRegisters();
  void FillRegisterGrid();
  void ShowRegisterControls();
  void ShowFrequency();
  void LoadSynthIni();
  void SaveSynthIni();
  void edtFreqKeyPress(QObject* Sender, char16_t& Key);
  void edtFreqExit(QObject* Sender);
  void chkRF_PDClick(QObject* Sender);
  void chkRF_RSTClick(QObject* Sender);
  void chkIF_PDClick(QObject* Sender);
  void chkIF_RSTClick(QObject* Sender);
  void chkATPUClick(QObject* Sender);
  void chkOSC_2XClick(QObject* Sender);
  void chkOSC_OUTClick(QObject* Sender);
  void chkDIV4Click(QObject* Sender);
  void cboAccessClick(QObject* Sender);
  void cboMUXClick(QObject* Sender);
  void cboFMClick(QObject* Sender);
  void cboDITHClick(QObject* Sender);
  void cboRF_CPFClick(QObject* Sender);
  void cboN_CSRClick(QObject* Sender);
  void cboRF_CPGClick(QObject* Sender);
  void edtRF_TOCExit(QObject* Sender);
  void StringGrid1SelectCell(int ACol, int ARow, bool& CanSelect);
  void StringGrid1DrawCell(int ACol, int ARow, const QRect& Rect, QPainter* painter);
  void ShowHexLabel(int row); // the selected row's value beside it, its name in red

  // ---- Capcode and message editor (capcode_handlers.cpp) -----------------------------------
  void WireCapcodes();
  void edtCap0Exit(QObject* Sender);
  void edtCap0KeyPress(QObject* Sender, char16_t& Key);
  void cboType0Click(QObject* Sender);
  void cboFun0Click(QObject* Sender);
  void memMsg0KeyPress(QObject* Sender, char16_t& Key);
  void memMsg0Exit(QObject* Sender); // StoreMessage for the sender's entry
  void StoreMessage(int entry);
  // The memo text of a "Binary" record.
  QString DecodeBinaryRecord(const std::uint8_t* record, std::size_t length) const;
  // Inserts, changes or drops a typed key as an editor's key filter decided.
  void ApplyKeyDecision(QWidget* box, const struct TKeyDecision& decision, char16_t& Key,
                        bool focusBack);
  std::uint8_t HeaderCode() const; // edtHeaderCode as StoreMessage reads it
  std::uint8_t TrailerCode() const;
  int FTypeChangeEntry = -1; // the entry whose type change is re-storing every message

  // ---- Keys and general settings (settings_handlers.cpp) -----------------------------------
  void WireSettings();
  void cboBaudClick(QObject* Sender);
  void cboPolarityClick(QObject* Sender);
  void chkKeyBeepClick(QObject* Sender);
  void edtRepeatTimesEnter(QObject* Sender);
  void edtRepeatTimesKeyPress(QObject* Sender, char16_t& Key);
  void edtRepeatTimesExit(QObject* Sender);
  void edtWaitTimeExit(QObject* Sender);
  void cboPCCommandClick(QObject* Sender);
  void chkKeyModeClick(QObject* Sender);
  void edtHeaderCodeKeyPress(QObject* Sender, char16_t& Key);
  void edtHeaderCodeExit(QObject* Sender);
  void cboSetClick(QObject* Sender); // ApplyCapcodeSet
  void cboKey0Click(QObject* Sender);

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  // ---- Construction (window_controls.cpp, register_panel.cpp) ------------------------------
  void CreateMenus();
  void CreateControls();
  void CreateCapcodeGroups();
  void CreateRegisterPanel();
  // A new component with its name and class name, appended to the component list.
  template <typename T> T* Add(QWidget* parent, const char* name, const char* className);
  QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, QRect r);
  QLineEdit* AddEdit(QWidget* parent, const char* name, QRect r, int maxLength);
  QComboBox* AddList(QWidget* parent, const char* name, const QStringList& items, int index,
                     QRect r);
  QCheckBox* AddCheck(QWidget* parent, const char* name, const QString& text, QRect r);
  QGroupBox* AddGroup(QWidget* parent, const char* name, const QString& title, QRect r);

  void PlacePageControl(); // 10 pixels below the Key Define group, within the window
  void FitCapcodeList();   // the capcode list's client to the extent of its groups
  bool FShown = false;
  bool FLayoutRecorded = false;
};

template <typename T> T* TfmMain::Add(QWidget* parent, const char* name, const char* className) {
  T* control = new T(parent);
  control->setObjectName(name);
  control->setProperty("ClassName", className);
  Components.push_back(control);
  return control;
}
