// The main window's shell: creation, first showing, closing, the layout, the control tables
// and RenderImage. The controls are built in window_controls.cpp and register_panel.cpp.

#include "ui/Frmmain.h"

#include "editors/config_fields.h"
#include "editors/key_names.h"
#include "editors/record_reading.h"
#include "ui/Frmabout.h"
#include "ui/application.h"
#include "ui/memo.h"
#include "ui/status_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>

namespace {

// Design client area (below the menu bar, status bar included).
constexpr int kDesignWidth = 764;
constexpr int kDesignHeight = 699;
constexpr int kPageControlGap = 10;

QString Hex2(unsigned value) {
  return QString::asprintf("%02X", value & 0xFFu);
}

// A paging parameter in its control: a list's item (none when no item stands for the value),
// a check box's tick, a box's number.
void ShowSetting(const TConfigImage& image, const TConfigField& field, QWidget* control) {
  if (auto* list = qobject_cast<QComboBox*>(control)) {
    const int item = ItemIndex(image, field);
    list->setCurrentIndex(item < list->count() ? item : -1);
  } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
    check->setChecked(Ticked(image, field));
  } else if (auto* box = qobject_cast<QLineEdit*>(control)) {
    box->setText(QString::number(ShownNumber(image, field)));
  }
}

} // namespace

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
  RunHandler([this] { FormShow(); });
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
  PlacePageControl();
  cboPCCommand->clear();
  for (const char* item : kFieldPcCommand.Items)
    cboPCCommand->addItem(item);
  // The selector follows the image's PC command byte rather than always showing "NONE".
  ShowSetting(Image, kFieldPcCommand, cboPCCommand);
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
  Layout = RecordGeometry(Components);
  tabConfig->setVisible(true);
  PlacePageControl();
  FLayoutRecorded = true;
}

void TfmMain::ScaleLayout() {
  if (!FLayoutRecorded || RecordedWidth <= 0 || RecordedHeight <= 0)
    return;
  ScaleX = static_cast<double>(width()) / RecordedWidth;
  ScaleY = static_cast<double>(height()) / RecordedHeight;
  ScaleGeometry(Components, Layout, ScaleX, ScaleY);
  FitCapcodeList();
  scrCap->verticalScrollBar()->setValue(0);
  tabConfig->setVisible(true);
  PlacePageControl();
}

void TfmMain::PlacePageControl() {
  QRect placed = PageControl1->geometry();
  placed.moveTop(groupKeyDefine->geometry().bottom() + 1 + kPageControlGap);
  // The menu and status bars keep their heights while the window shrinks, so the proportional
  // height can reach below the window's area; the page control then ends where the area does,
  // instead of running under the status bar.
  if (placed.bottom() >= Background->height())
    placed.setBottom(Background->height() - 1);
  PageControl1->setGeometry(placed);
}

void TfmMain::FitCapcodeList() {
  QRect extent;
  for (const QGroupBox* group :
       {grpCap0, grpCap1, grpCap2, grpCap3, grpCap4, grpCap5, grpCap6, grpCap7})
    extent |= group->geometry();
  // The same margin below and right of the groups as above and left of them.
  scrCapContent->setMinimumSize(extent.right() + 1 + extent.left(),
                                extent.bottom() + 1 + extent.top());
}

void TfmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  RunHandler([this] { ScaleLayout(); });
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
    StatusPanels[panel]->SetText(text);
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
  // The paging parameters, in the order they are declared; the capcode set's handler runs
  // right after the set is shown.
  const std::pair<const TConfigField*, QWidget*> controls[] = {{&kFieldBitRate, cboBaud},
                                                               {&kFieldPolarity, cboPolarity},
                                                               {&kFieldKeyBeep, chkKeyBeep},
                                                               {&kFieldCapcodeSet, cboSet},
                                                               {&kFieldRepeatTimes, edtRepeatTimes},
                                                               {&kFieldRepeatWait, edtWaitTime},
                                                               {&kFieldPcCommand, cboPCCommand},
                                                               {&kFieldTriggerRising, chkKeyMode}};
  for (const TConfigField* field : kGeneralFields)
    for (const auto& [shown, control] : controls)
      if (shown == field) {
        ShowSetting(Image, *field, control);
        if (control == cboSet)
          cboSetClick(cboSet);
      }
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
