// The capcode and message editor: address, message type, function bits and message of the
// eight capcode groups. The record bytes and the key decisions come from editors/; this file
// reads the controls, converts text between the memos and bytes, and applies the answers.

#include "ui/Frmmain.h"

#include "editors/chinese_text.h"
#include "editors/config_fields.h"
#include "editors/key_filters.h"
#include "editors/message_record.h"
#include "editors/settings_editor.h"
#include "ui/memo.h"
#include "ui/message_box.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextCursor>
#include <span>

namespace {

constexpr const char* kBig5 = "Big5";

std::span<const std::uint8_t> Bytes(const QByteArray& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
          static_cast<std::size_t>(bytes.size())};
}

// Big5 bytes of a memo text. Characters Big5 has no code for are left out and counted: the
// encoder would put "?" in their place, a wrong character in the record.
QByteArray ToBig5(const QString& text, std::size_t* dropped = nullptr) {
  QStringEncoder encoder(kBig5);
  QByteArray whole = encoder.encode(text);
  if (!encoder.hasError())
    return whole;
  QByteArray kept;
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype units =
        (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ? 2
            : 1;
    // A fresh encoder per character: resetting one drops its converter on this Qt.
    QStringEncoder single(kBig5);
    const QByteArray one = single.encode(QStringView(text).mid(i, units));
    if (single.hasError()) {
      if (dropped)
        ++*dropped;
    } else {
      kept += one;
    }
    i += units;
  }
  return kept;
}

QString FromBig5(std::span<const std::uint8_t> bytes) {
  QStringDecoder decoder(kBig5);
  return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// Latin-1 bytes of a memo text; characters without a single-byte code are left out and counted.
QByteArray ToLatin1(const QString& text, std::size_t* dropped = nullptr) {
  QByteArray kept;
  kept.reserve(text.size());
  for (const QChar c : text) {
    if (c.unicode() <= 0xFF)
      kept += static_cast<char>(c.unicode());
    else if (dropped && !c.isLowSurrogate())
      ++*dropped;
  }
  return kept;
}

// The record bytes a text would take, trimmed: the pager stream for "Binary", else its 8-bit
// bytes.
std::size_t RecordLength(const QString& text, bool binary) {
  const QByteArray bytes = binary ? ToBig5(text) : ToLatin1(text);
  const std::span<const std::uint8_t> trimmed = Bytes(bytes).first(TrimmedLength(Bytes(bytes)));
  return binary ? EncodedLength(trimmed) : trimmed.size();
}

// Whether a typed character has a byte form a record of this type can hold.
bool Representable(char16_t key, bool binary) {
  if (!binary)
    return key <= 0xFF;
  QStringEncoder encoder(kBig5);
  const QByteArray bytes = encoder.encode(QString(QChar(key)));
  if (encoder.hasError() || bytes.isEmpty())
    return false;
  const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.constData());
  return (bytes.size() == 1 && b[0] < 0x80) || (bytes.size() == 2 && IsCarriedBig5(b[0], b[1]));
}

QString StoreNotice(int entry, std::size_t dropped, bool cut, std::size_t recordLength) {
  QString text = QString("CapCode #%1: ").arg(entry + 1);
  if (dropped > 0)
    text += QString("%1 character(s) that this message type cannot hold were removed from the "
                    "message. ")
                .arg(dropped);
  if (cut)
    text += QString("The message was longer than its record of %1 bytes and was cut to fit. ")
                .arg(recordLength);
  return text + "The memo now shows what is stored !";
}

} // namespace

void TfmMain::WireCapcodes() {
  QLineEdit* const edits[kMaxCapcodes] = {edtCap0, edtCap1, edtCap2, edtCap3,
                                          edtCap4, edtCap5, edtCap6, edtCap7};
  QComboBox* const types[kMaxCapcodes] = {cboType0, cboType1, cboType2, cboType3,
                                          cboType4, cboType5, cboType6, cboType7};
  QComboBox* const functions[kMaxCapcodes] = {cboFun0, cboFun1, cboFun2, cboFun3,
                                              cboFun4, cboFun5, cboFun6, cboFun7};
  TMemo* const memos[kMaxCapcodes] = {memMsg0, memMsg1, memMsg2, memMsg3,
                                      memMsg4, memMsg5, memMsg6, memMsg7};
  for (int i = 0; i < kMaxCapcodes; ++i) {
    TEventAdapter& edit = TEventAdapter::Of(edits[i]);
    edit.OnEnter = [this](QObject* s) { edtRepeatTimesEnter(s); };
    edit.OnKeyPress = [this](QObject* s, char16_t& key) { edtCap0KeyPress(s, key); };
    edit.OnExit = [this](QObject* s) { edtCap0Exit(s); };
    OnListClick(types[i], [this](QObject* s) { cboType0Click(s); });
    OnListClick(functions[i], [this](QObject* s) { cboFun0Click(s); });
    TEventAdapter& memo = TEventAdapter::Of(memos[i]);
    memo.OnKeyPress = [this](QObject* s, char16_t& key) { memMsg0KeyPress(s, key); };
    memo.OnExit = [this](QObject* s) { memMsg0Exit(s); };
  }
}

void TfmMain::ApplyKeyDecision(QWidget* box, const TKeyDecision& decision, char16_t& Key,
                               bool focusBack) {
  switch (decision.Action) {
  case TKeyAction::Accept:
    Key = decision.Key;
    return;
  case TKeyAction::DiscardAndLeave:
    Key = 0;
    FocusNull();
    return;
  case TKeyAction::Discard:
    Key = 0;
    if (!decision.Message.empty()) {
      ShowMessage(QString::fromStdString(decision.Message));
      if (focusBack)
        box->setFocus(Qt::OtherFocusReason);
    }
    return;
  }
}

std::uint8_t TfmMain::HeaderCode() const {
  return CodeValue(edtHeaderCode->text().toStdString());
}
std::uint8_t TfmMain::TrailerCode() const {
  return CodeValue(edtEndCode->text().toStdString());
}

void TfmMain::edtCap0Exit(QObject* Sender) {
  const int entry = TagOf(Sender);
  QLineEdit* box = CapcodeEdits[entry];
  const QString text = box->text();
  const TFieldCheck check = CheckAddress(text.toStdString());
  switch (check.Status) {
  case TFieldStatus::Restore: {
    const bool wasRendering = Rendering;
    Rendering = true;
    RenderCapcodes();
    Rendering = wasRendering;
    return;
  }
  case TFieldStatus::OutOfRange:
    ShowMessage(kMsgAddressRange);
    box->setFocus(Qt::OtherFocusReason);
    return;
  case TFieldStatus::NotANumber:
    ShowMessage(QString::fromStdString(NotDecimalMessage(
        text.trimmed().toStdString(), "the address of CapCode #" + std::to_string(entry + 1))));
    box->setFocus(Qt::OtherFocusReason);
    return;
  case TFieldStatus::Store:
    box->setText(QString::asprintf("%07d", static_cast<int>(check.Value)));
    Image.WriteU32(TConfigImage::CapcodeRecordOffset(entry),
                   static_cast<std::uint32_t>(check.Value));
    return;
  }
}

void TfmMain::edtCap0KeyPress(QObject* Sender, char16_t& Key) {
  QLineEdit* box = CapcodeEdits[TagOf(Sender)];
  const auto length = static_cast<std::size_t>(box->text().trimmed().size());
  ApplyKeyDecision(box, DigitKey(Key, length, kAddressDigits), Key, true);
}

void TfmMain::cboType0Click(QObject* Sender) {
  if (Rendering)
    return;
  const int entry = TagOf(Sender);
  const int picked = TypeSelectors[entry]->currentIndex();
  const bool changed = picked != static_cast<int>(StoredValue(Image, kFieldType, entry));
  // While the boxes are reset, this entry's memo still holds the text of its old type; it is
  // stored below with the new type's text, so it is left out of the re-store.
  FTypeChangeEntry = changed ? entry : -1;
  edtHeaderCode->setText("00");
  edtHeaderCodeExit(edtHeaderCode);
  edtEndCode->setText("00");
  edtHeaderCodeExit(edtEndCode);
  FTypeChangeEntry = -1;
  if (!changed || picked < 0)
    return;
  WriteItem(Image, kFieldType, picked, entry);
  const auto type = static_cast<TMessageType>(picked);
  MessageMemos[entry]->SetText(DefaultMessageText(type));
  if (type != TMessageType::ToneOnly)
    MessageMemos[entry]->SetMaxLength(Image.RecordLength() - 1);
  StoreMessage(entry);
}

void TfmMain::cboFun0Click(QObject* Sender) {
  const int entry = TagOf(Sender);
  WriteItem(Image, kFieldFunction, FunctionSelectors[entry]->currentIndex(), entry);
}

void TfmMain::memMsg0KeyPress(QObject* Sender, char16_t& Key) {
  const int entry = TagOf(Sender);
  TMemo* memo = MessageMemos[entry];
  const auto type = static_cast<TMessageType>(TypeSelectors[entry]->currentIndex());
  const bool binary = IsBinaryType(type);
  const auto recordLength = static_cast<std::size_t>(Image.RecordLength());

  TMessageKeyContext context;
  context.Type = type;
  context.Limit = MessageLimit(type, HeaderCode(), recordLength);
  if (Key != kEnterKey && Key != kBackspaceKey) {
    const QString text = memo->Text();
    context.Representable = Representable(Key, binary);
    context.LengthBefore = RecordLength(text, binary);
    context.LengthWithKey = context.LengthBefore;
    if (context.Representable) {
      // The text as it would be with the key typed over the selection at the cursor.
      const QTextCursor cursor = memo->textCursor();
      QString typed = text;
      typed.replace(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart(),
                    QChar(Key));
      context.LengthWithKey = RecordLength(typed, binary);
    }
  }
  ApplyKeyDecision(memo, MessageKey(Key, context), Key, false);
}

void TfmMain::memMsg0Exit(QObject* Sender) {
  StoreMessage(TagOf(Sender));
}

void TfmMain::StoreMessage(int entry) {
  if (entry < 0 || entry >= Image.CapcodeCount() || entry == FTypeChangeEntry)
    return;
  TMemo* memo = MessageMemos[entry];
  const auto type = static_cast<TMessageType>(TypeSelectors[entry]->currentIndex());
  const bool binary = IsBinaryType(type);
  const auto recordLength = static_cast<std::size_t>(Image.RecordLength());

  std::size_t dropped = 0;
  const QByteArray bytes =
      binary ? ToBig5(memo->Text(), &dropped) : ToLatin1(memo->Text(), &dropped);
  const TMessageRecord record =
      BuildMessageRecord(type, Bytes(bytes), HeaderCode(), TrailerCode(), recordLength);
  WriteMessageRecord(Image, entry, record.Record);

  dropped += record.Dropped;
  if (dropped == 0 && !record.Cut)
    return;
  // The memo shows what the record holds, so nothing unseen is lost on the next store.
  memo->SetText(binary ? FromBig5(record.Text)
                       : QString::fromLatin1(reinterpret_cast<const char*>(record.Text.data()),
                                             static_cast<qsizetype>(record.Text.size())));
  ShowMessage(StoreNotice(entry, dropped, record.Cut, recordLength));
}

QString TfmMain::DecodeBinaryRecord(const std::uint8_t* record, std::size_t length) const {
  const std::vector<std::uint8_t> big5 = DecodeChineseText(record, length);
  return FromBig5(big5);
}
