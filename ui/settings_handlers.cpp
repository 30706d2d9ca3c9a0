// Keys and general settings: the Config group (bit rate, polarity, key beep, repeat count and
// wait, PC command, trigger edge, header and trailer codes) and the Key Define group (capcode
// set and key map), plus the clear-on-enter and three-digit filters other editors share.

#include "ui/Frmmain.h"

#include "editors/config_fields.h"
#include "editors/key_filters.h"
#include "editors/settings_editor.h"
#include "ui/memo.h"
#include "ui/message_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

QLineEdit* EditOf(QObject* Sender) {
  return qobject_cast<QLineEdit*>(Sender);
}

} // namespace

void TfmMain::WireSettings() {
  OnListClick(cboBaud, [this](QObject* s) { cboBaudClick(s); });
  OnListClick(cboPolarity, [this](QObject* s) { cboPolarityClick(s); });
  OnCheckClick(chkKeyBeep, [this](QObject* s) { chkKeyBeepClick(s); });
  OnListClick(cboPCCommand, [this](QObject* s) { cboPCCommandClick(s); });
  OnCheckClick(chkKeyMode, [this](QObject* s) { chkKeyModeClick(s); });
  OnListClick(cboSet, [this](QObject* s) { cboSetClick(s); });
  for (QComboBox* key : {cboKey0, cboKey1, cboKey2, cboKey3, cboKey4, cboKey5, cboKey6, cboKey7})
    OnListClick(key, [this](QObject* s) { cboKey0Click(s); });

  TEventAdapter& repeat = TEventAdapter::Of(edtRepeatTimes);
  repeat.OnEnter = [this](QObject* s) { edtRepeatTimesEnter(s); };
  repeat.OnKeyPress = [this](QObject* s, char16_t& key) { edtRepeatTimesKeyPress(s, key); };
  repeat.OnExit = [this](QObject* s) { edtRepeatTimesExit(s); };
  TEventAdapter& wait = TEventAdapter::Of(edtWaitTime);
  wait.OnEnter = [this](QObject* s) { edtRepeatTimesEnter(s); };
  wait.OnKeyPress = [this](QObject* s, char16_t& key) { edtRepeatTimesKeyPress(s, key); };
  wait.OnExit = [this](QObject* s) { edtWaitTimeExit(s); };
  for (QLineEdit* code : {edtHeaderCode, edtEndCode}) {
    TEventAdapter& adapter = TEventAdapter::Of(code);
    adapter.OnEnter = [this](QObject* s) { edtRepeatTimesEnter(s); };
    adapter.OnKeyPress = [this](QObject* s, char16_t& key) { edtHeaderCodeKeyPress(s, key); };
    adapter.OnExit = [this](QObject* s) { edtHeaderCodeExit(s); };
  }
}

void TfmMain::cboBaudClick(QObject*) {
  WriteItem(Image, kFieldBitRate, cboBaud->currentIndex());
}

void TfmMain::cboPolarityClick(QObject*) {
  WriteItem(Image, kFieldPolarity, cboPolarity->currentIndex());
}

void TfmMain::chkKeyBeepClick(QObject*) {
  WriteTicked(Image, kFieldKeyBeep, chkKeyBeep->isChecked());
}

void TfmMain::edtRepeatTimesEnter(QObject* Sender) {
  if (QLineEdit* box = EditOf(Sender))
    box->clear();
}

void TfmMain::edtRepeatTimesKeyPress(QObject* Sender, char16_t& Key) {
  QLineEdit* box = EditOf(Sender);
  if (!box)
    return;
  const auto length = static_cast<std::size_t>(box->text().trimmed().size());
  ApplyKeyDecision(box, DigitKey(Key, length, kNumericDigits), Key, true);
}

void TfmMain::edtRepeatTimesExit(QObject*) {
  const QString text = edtRepeatTimes->text();
  const TFieldCheck check = kFieldRepeatTimes.Check(text.toStdString());
  switch (check.Status) {
  case TFieldStatus::Restore:
    edtRepeatTimes->setText(QString::number(ShownNumber(Image, kFieldRepeatTimes)));
    return;
  case TFieldStatus::OutOfRange:
    ShowMessage(kFieldRepeatTimes.RangeMessage);
    edtRepeatTimes->setFocus(Qt::OtherFocusReason);
    return;
  case TFieldStatus::NotANumber:
    ShowMessage(
        QString::fromStdString(NotDecimalMessage(text.trimmed().toStdString(), "Repeat Times")));
    edtRepeatTimes->setFocus(Qt::OtherFocusReason);
    return;
  case TFieldStatus::Store:
    WriteShownNumber(Image, kFieldRepeatTimes, check.Value);
    return;
  }
}

void TfmMain::edtWaitTimeExit(QObject*) {
  const QString text = edtWaitTime->text();
  const TFieldCheck check = kFieldRepeatWait.Check(text.toStdString());
  switch (check.Status) {
  case TFieldStatus::Restore:
    edtWaitTime->setText(QString::number(ShownNumber(Image, kFieldRepeatWait)));
    return;
  case TFieldStatus::OutOfRange:
    ShowMessage(kFieldRepeatWait.RangeMessage);
    edtWaitTime->setFocus(Qt::OtherFocusReason);
    return;
  case TFieldStatus::NotANumber:
    ShowMessage(QString::fromStdString(
        NotDecimalMessage(text.trimmed().toStdString(), "Wait time Of Repeat")));
    edtWaitTime->setFocus(Qt::OtherFocusReason);
    return;
  case TFieldStatus::Store:
    WriteShownNumber(Image, kFieldRepeatWait, check.Value);
    return;
  }
}

void TfmMain::cboPCCommandClick(QObject*) {
  WriteItem(Image, kFieldPcCommand, cboPCCommand->currentIndex());
}

void TfmMain::chkKeyModeClick(QObject*) {
  WriteTicked(Image, kFieldTriggerRising, chkKeyMode->isChecked());
}

void TfmMain::edtHeaderCodeKeyPress(QObject* Sender, char16_t& Key) {
  if (QLineEdit* box = EditOf(Sender))
    ApplyKeyDecision(box, HexCodeKey(Key), Key, false);
}

void TfmMain::edtHeaderCodeExit(QObject* Sender) {
  QLineEdit* box = EditOf(Sender);
  if (!box)
    return;
  const QString text = box->text();
  const TFieldCheck check = CheckCode(text.toStdString());
  if (check.Status != TFieldStatus::Store) {
    box->setText("00");
    const std::string field = box == edtHeaderCode ? "Header_Code(HEX)" : "Trailer_Code(HEX)";
    ShowMessage(
        check.Status == TFieldStatus::NotANumber
            ? QString::fromStdString(NotHexadecimalMessage(text.trimmed().toStdString(), field))
            : QString(kMsgCodeRange));
    return;
  }
  box->setText(QString::asprintf("%02X", static_cast<unsigned>(check.Value)));
  for (int i = 0; i < Image.CapcodeCount(); ++i)
    StoreMessage(i);
}

void TfmMain::cboSetClick(QObject*) {
  const std::uint8_t count = ApplyCapcodeSetToImage(Image, cboSet->currentIndex(),
                                                    !Rendering && cboSet->currentIndex() >= 0);
  if (!Rendering)
    RenderKeyMap();
  for (int k = 0; k < kMaxCapcodes; ++k) {
    const bool used = k < count;
    KeyLabels[k]->setVisible(used);
    KeySelectors[k]->setVisible(used);
    CapcodeGroups[k]->setVisible(used);
    if (!used)
      continue;
    // Typing is bounded by the record length in force, also after an image is shown.
    MessageMemos[k]->SetMaxLength(Image.RecordLength() - 1);
    TypeSelectors[k]->setCurrentIndex(0);
    cboType0Click(TypeSelectors[k]);
  }
}

void TfmMain::cboKey0Click(QObject* Sender) {
  const int row = TagOf(Sender);
  QComboBox* list = KeySelectors[row];
  if (AssignKey(Image, row, list->currentText().toStdString())) {
    ShowMessage(kMsgRepeatDefinition);
    list->setFocus(Qt::OtherFocusReason);
  }
}
