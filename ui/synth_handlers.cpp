// Synthesizer registers in the window: the frequency box, the register panel of the Config tab
// with its bit grid, and the INI file kept beside the program.

#include "ui/Frmmain.h"

#include "ui/application.h"

#include "synth/frequency_plan.h"
#include "synth/register_map.h"
#include "synth/synth_ini.h"
#include "ui/message_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <exception>

namespace {

// Paints the grid's cells through the window's StringGrid1DrawCell.
class TGridPainter : public QStyledItemDelegate {
public:
  TGridPainter(TfmMain* window) : QStyledItemDelegate(window), FWindow(window) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    try {
      FWindow->StringGrid1DrawCell(index.column(), index.row(), option.rect, painter);
    } catch (...) {
      // No message box can be shown while the grid paints: it is shown once the painting is
      // done, one at a time.
      static bool told = false;
      if (told)
        return;
      told = true;
      QTimer::singleShot(0, qApp, [error = std::current_exception()] {
        try {
          std::rethrow_exception(error);
        } catch (...) {
          TApplication::ShowCurrentException();
        }
        told = false;
      });
    }
  }

private:
  TfmMain* FWindow;
};

constexpr const char* kNumericMessage = "Please insert a numeric !";
constexpr int kFrequencyDigits = 9;

} // namespace

void TfmMain::WireSynth() {
  StringGrid1->setItemDelegate(new TGridPainter(this));
  connect(StringGrid1, &QTableWidget::currentCellChanged, this,
          [this](int row, int column, int, int) {
            RunHandler([&] {
              bool canSelect = true;
              StringGrid1SelectCell(column, row, canSelect);
            });
          });

  TEventAdapter& freq = TEventAdapter::Of(edtFreq);
  freq.OnEnter = [this](QObject* s) { edtRepeatTimesEnter(s); };
  freq.OnKeyPress = [this](QObject* s, char16_t& key) { edtFreqKeyPress(s, key); };
  freq.OnExit = [this](QObject* s) { edtFreqExit(s); };
  TEventAdapter& toc = TEventAdapter::Of(edtRF_TOC);
  toc.OnEnter = [this](QObject* s) { edtRepeatTimesEnter(s); };
  toc.OnKeyPress = [this](QObject* s, char16_t& key) { edtRepeatTimesKeyPress(s, key); };
  toc.OnExit = [this](QObject* s) { edtRF_TOCExit(s); };

  OnCheckClick(chkRF_PD, [this](QObject* s) { chkRF_PDClick(s); });
  OnCheckClick(chkRF_RST, [this](QObject* s) { chkRF_RSTClick(s); });
  OnCheckClick(chkIF_PD, [this](QObject* s) { chkIF_PDClick(s); });
  OnCheckClick(chkIF_RST, [this](QObject* s) { chkIF_RSTClick(s); });
  OnCheckClick(chkATPU, [this](QObject* s) { chkATPUClick(s); });
  OnCheckClick(chkOSC_2X, [this](QObject* s) { chkOSC_2XClick(s); });
  OnCheckClick(chkOSC_OUT, [this](QObject* s) { chkOSC_OUTClick(s); });
  OnCheckClick(chkDIV4, [this](QObject* s) { chkDIV4Click(s); });
  OnListClick(cboAccess, [this](QObject* s) { cboAccessClick(s); });
  OnListClick(cboMUX, [this](QObject* s) { cboMUXClick(s); });
  OnListClick(cboFM, [this](QObject* s) { cboFMClick(s); });
  OnListClick(cboDITH, [this](QObject* s) { cboDITHClick(s); });
  OnListClick(cboRF_CPF, [this](QObject* s) { cboRF_CPFClick(s); });
  OnListClick(cboN_CSR, [this](QObject* s) { cboN_CSRClick(s); });
  OnListClick(cboRF_CPG, [this](QObject* s) { cboRF_CPGClick(s); });
}

// ---- Register model ----------------------------------------------------------------------------

void TfmMain::UnpackRegisters() {
  ::UnpackRegisters(Synth, Image);
}

void TfmMain::PackRegisters() {
  ::PackRegisters(Synth, Image);
  FillRegisterGrid();
}

void TfmMain::LoadSynthIni() {
  ::LoadSynthIni(Synth, std::filesystem::path(StartDirectory) / kSynthIniName,
                 [](const std::string& message) { ShowMessage(QString::fromStdString(message)); });
}

void TfmMain::SaveSynthIni() {
  ::SaveSynthIni(Synth, std::filesystem::path(StartDirectory) / kSynthIniName);
}

// ---- Frequency ---------------------------------------------------------------------------------

void TfmMain::ShowFrequency() {
  edtFreq->setText(QString::fromStdString(FrequencyText(DisplayedFrequency(Synth))));
}

void TfmMain::edtFreqKeyPress(QObject*, char16_t& Key) {
  const auto length = edtFreq->text().trimmed().size();
  if (Key == 0x08)
    return;
  if (Key == 0x0D || length >= kFrequencyDigits) {
    Key = 0;
    FocusNull();
    return;
  }
  if (Key >= u'0' && Key <= u'9')
    return;
  Key = 0;
  ShowMessage(kNumericMessage);
  edtFreq->setFocus(Qt::OtherFocusReason);
}

void TfmMain::edtFreqExit(QObject*) {
  std::uint32_t hertz = 0;
  switch (CheckFrequency(edtFreq->text().toStdString(), hertz)) {
  case TFrequencyCheck::Empty:
    ShowFrequency();
    return;
  case TFrequencyCheck::NotANumber:
    ShowMessage(QString("\"%1\" is not a frequency in hertz: the frequency was not changed !")
                    .arg(edtFreq->text().trimmed()));
    ShowFrequency();
    return;
  case TFrequencyCheck::OutOfBand:
    MessageBoxA(this, "Frequency Error!", "KX470", MB_OK | MB_ICONEXCLAMATION);
    edtFreq->setFocus(Qt::OtherFocusReason);
    return;
  case TFrequencyCheck::OffChannel:
    MessageBoxA(this, "Channel Spacing Error!", "KX470", MB_OK | MB_ICONEXCLAMATION);
    edtFreq->setFocus(Qt::OtherFocusReason);
    return;
  case TFrequencyCheck::Accepted:
    PlanFrequency(Synth, hertz);
    PackRegisters();
    UnpackRegisters();
    ShowFrequency();
    return;
  }
}

// ---- Register panel ----------------------------------------------------------------------------

void TfmMain::chkRF_PDClick(QObject*) {
  Synth.RF_PD = chkRF_PD->isChecked() ? 1 : 0;
  PackRegisters();
}
void TfmMain::chkRF_RSTClick(QObject*) {
  Synth.RF_RST = chkRF_RST->isChecked() ? 1 : 0;
  PackRegisters();
}
void TfmMain::chkIF_PDClick(QObject*) {
  Synth.IF_PD = chkIF_PD->isChecked() ? 1 : 0;
  PackRegisters();
}
void TfmMain::chkIF_RSTClick(QObject*) {
  Synth.IF_RST = chkIF_RST->isChecked() ? 1 : 0;
  PackRegisters();
}
void TfmMain::chkATPUClick(QObject*) {
  Synth.ATPU = chkATPU->isChecked() ? 1 : 0;
  PackRegisters();
}
void TfmMain::chkOSC_2XClick(QObject*) {
  Synth.OSC_2X = chkOSC_2X->isChecked() ? 1 : 0;
  PackRegisters();
}
void TfmMain::chkOSC_OUTClick(QObject*) {
  Synth.OSC_OUT = chkOSC_OUT->isChecked() ? 1 : 0;
  PackRegisters();
}
void TfmMain::chkDIV4Click(QObject*) {
  Synth.DIV4 = chkDIV4->isChecked() ? 1 : 0;
  PackRegisters();
}

// A list without a selection (a field value it has no item for) leaves its field alone.
#define KX470_LIST_CLICK(handler, list, field)                                                     \
  void TfmMain::handler(QObject*) {                                                                \
    if (list->currentIndex() >= 0)                                                                 \
      Synth.field = list->currentIndex();                                                          \
    PackRegisters();                                                                               \
  }
KX470_LIST_CLICK(cboAccessClick, cboAccess, ACCESS)
KX470_LIST_CLICK(cboMUXClick, cboMUX, MUX)
KX470_LIST_CLICK(cboFMClick, cboFM, FM)
KX470_LIST_CLICK(cboDITHClick, cboDITH, DITH)
KX470_LIST_CLICK(cboRF_CPFClick, cboRF_CPF, RF_CPF)
KX470_LIST_CLICK(cboN_CSRClick, cboN_CSR, CSR)
KX470_LIST_CLICK(cboRF_CPGClick, cboRF_CPG, RF_CPG)
#undef KX470_LIST_CLICK

void TfmMain::edtRF_TOCExit(QObject*) {
  const QString text = edtRF_TOC->text();
  bool number = false;
  const qlonglong value = text.trimmed().toLongLong(&number);
  if (!text.isEmpty() && number && value >= 0 && value <= 16383) {
    Synth.RF_TOC = static_cast<std::int32_t>(value);
    PackRegisters();
    return;
  }
  if (!text.isEmpty() && !number)
    ShowMessage(QString("\"%1\" is not a number: RF_TOC was not changed !").arg(text.trimmed()));
  edtRF_TOC->setText(QString::number(Synth.RF_TOC));
  PackRegisters();
  FocusNull();
}

void TfmMain::ShowRegisterControls() {
  Synth.PrescalerModulus = PrescalerModulusOf(Synth.RF_P);
  const std::pair<QCheckBox*, std::int32_t> checks[] = {
      {chkRF_PD, Synth.RF_PD},     {chkRF_RST, Synth.RF_RST}, {chkIF_PD, Synth.IF_PD},
      {chkIF_RST, Synth.IF_RST},   {chkATPU, Synth.ATPU},     {chkOSC_2X, Synth.OSC_2X},
      {chkOSC_OUT, Synth.OSC_OUT}, {chkDIV4, Synth.DIV4}};
  for (const auto& [box, value] : checks) {
    // Setting the mark does not run the box's click handler.
    const QSignalBlocker quiet(box);
    box->setChecked(value == 1);
  }
  auto pick = [this](QComboBox* list, std::int32_t value, void (TfmMain::*click)(QObject*)) {
    list->setCurrentIndex(value >= 0 && value < list->count() ? value : -1);
    (this->*click)(list);
  };
  pick(cboFM, Synth.FM, &TfmMain::cboFMClick);
  pick(cboDITH, Synth.DITH, &TfmMain::cboDITHClick);
  pick(cboAccess, Synth.ACCESS, &TfmMain::cboAccessClick);
  pick(cboMUX, Synth.MUX, &TfmMain::cboMUXClick);
  edtRF_TOC->setText(QString::number(Synth.RF_TOC));
  pick(cboRF_CPF, Synth.RF_CPF, &TfmMain::cboRF_CPFClick);
  pick(cboN_CSR, Synth.CSR, &TfmMain::cboN_CSRClick);
  pick(cboRF_CPG, Synth.RF_CPG, &TfmMain::cboRF_CPGClick);
}

// ---- Bit grid ----------------------------------------------------------------------------------

void TfmMain::FillRegisterGrid() {
  for (int row = 0; row < kRegisterCount; ++row) {
    const auto value = static_cast<std::uint32_t>(Synth.Packed[static_cast<std::size_t>(row)]);
    for (int column = 0; column < 24; ++column) {
      const QString bit = (value >> (23 - column)) & 1u ? "1" : "0";
      QTableWidgetItem* cell = StringGrid1->item(row, column);
      if (cell->text() != bit)
        cell->setText(bit);
    }
  }
  // The selected cell is repainted at every refill, so its row's hex label follows the value.
  StringGrid1->viewport()->update();
}

void TfmMain::StringGrid1DrawCell(int ACol, int ARow, const QRect& Rect, QPainter* painter) {
  const QColor window = palette().color(QPalette::Base);
  const QString text = StringGrid1->item(ARow, ACol) ? StringGrid1->item(ARow, ACol)->text() : "";
  painter->fillRect(Rect, window);
  painter->setPen(Qt::black);
  painter->drawText(Rect, Qt::AlignHCenter | Qt::AlignTop, text);
  if (ACol != SelectedCol || ARow != SelectedRow)
    return;
  painter->fillRect(Rect, QColor(0, 0, 128));
  painter->setPen(window);
  painter->drawText(Rect, Qt::AlignHCenter | Qt::AlignTop, text);
  ShowHexLabel(ARow);
}

void TfmMain::ShowHexLabel(int row) {
  const auto value = static_cast<std::uint32_t>(Synth.Packed[static_cast<std::size_t>(row)]);
  HexLabels[row]->setText("0x" + QString("%1").arg(value, 6, 16, QChar('0')).toUpper());
  HexLabels[row]->setVisible(true);
  QPalette red = RegisterLabels[row]->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  RegisterLabels[row]->setPalette(red);
}

void TfmMain::StringGrid1SelectCell(int ACol, int ARow, bool& CanSelect) {
  CanSelect = true;
  if (ARow < 0 || ACol < 0)
    return;
  if (SelectedRow >= 0 && SelectedRow != ARow) {
    HexLabels[SelectedRow]->setVisible(false);
    QPalette black = RegisterLabels[SelectedRow]->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    RegisterLabels[SelectedRow]->setPalette(black);
  }
  SelectedCol = ACol;
  SelectedRow = ARow;
  ShowHexLabel(ARow);
  StringGrid1->viewport()->update();
}
