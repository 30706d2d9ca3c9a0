// The paging content editors in the window: capcode groups, message memos, Config and Key Define
// groups, driven by key presses and focus changes as a user drives them.

#include "window_fixture.h"

#include "editors/chinese_text.h"
#include "editors/key_filters.h"
#include "editors/settings_editor.h"
#include "ui/memo.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringEncoder>
#include <algorithm>
#include <cstring>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Padded(TBytes head, std::size_t r) {
  head.resize(r, 0);
  return head;
}

TBytes Ascii(const std::string& s) {
  return TBytes(s.begin(), s.end());
}

TBytes Big5(const QString& text) {
  QStringEncoder encoder("Big5");
  const QByteArray bytes = encoder.encode(text);
  return TBytes(bytes.begin(), bytes.end());
}

class TEditorsWindow : public TWindowTest {
protected:
  // A user's pick in a drop-down list.
  void Pick(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
    QApplication::processEvents();
  }
  void Pick(QComboBox* list, const QString& item) { Pick(list, list->findText(item)); }

  // Typing characters the test keyboard has no key for (Chinese, other scripts).
  void TypeText(QWidget* control, const QString& text) {
    for (const QChar c : text)
      QTest::sendKeyEvent(QTest::Click, control, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }

  // Replaces the memo's text by pasting, the way the key filters cannot see.
  void Paste(TMemo* memo, const QString& text) {
    Focus(memo);
    memo->selectAll();
    QGuiApplication::clipboard()->setText(text);
    memo->paste();
  }

  // Types into a box after entering it, then leaves it.
  void Enter(QLineEdit* box, const QString& text) {
    Focus(box);
    Type(box, text);
    Leave();
  }

  TBytes Record(int entry) {
    const std::size_t offset = Window->Image.MessageRecordOffset(entry);
    const std::size_t r = static_cast<std::size_t>(Window->Image.RecordLength());
    return TBytes(Window->Image.Data() + offset, Window->Image.Data() + offset + r);
  }

  std::uint8_t TypeByte(int entry) {
    return Window->Image[TConfigImage::CapcodeRecordOffset(entry) + kCapcodeTypeOffset];
  }

  bool HasFocus(QWidget* control) { return QApplication::focusWidget() == control; }
};

// ---- Address boxes -------------------------------------------------------------------------

TEST_F(TEditorsWindow, AddressEntryEndsWithTheEighthKey) {
  TfmMain& w = ShowWindow();
  Focus(w.edtCap2);
  EXPECT_EQ(w.edtCap2->text(), "") << "cleared on entry";
  Type(w.edtCap2, "2097151");
  EXPECT_TRUE(HasFocus(w.edtCap2));
  Type(w.edtCap2, "9");
  EXPECT_TRUE(HasFocus(w.edtNull)) << "the key that would be the eighth leaves the box";
  EXPECT_EQ(w.edtCap2->text(), "2097151");
  EXPECT_EQ(w.Image.ReadU32(0x2C), 0x1FFFFFu);
  EXPECT_EQ(w.Image[0x2C], 0x00);
  EXPECT_EQ(w.Image[0x2D], 0x1F);

  Focus(w.edtCap0);
  Type(w.edtCap0, "8");
  PressEnter(w.edtCap0);
  EXPECT_TRUE(HasFocus(w.edtNull));
  EXPECT_EQ(w.edtCap0->text(), "0000008");
  EXPECT_EQ(w.Image.ReadU32(0x20), 8u);
  EXPECT_TRUE(Messages.empty());
}

TEST_F(TEditorsWindow, AddressOutOfRangeOrNotDigitsIsRefused) {
  TfmMain& w = ShowWindow();
  const TImageBytes before = w.Image.Bytes();
  Enter(w.edtCap1, "7");
  ASSERT_EQ(MessageTexts(), std::vector<QString>{"Please insert a number between 8 to 2097151!"});
  EXPECT_TRUE(HasFocus(w.edtCap1)) << "the focus goes back to the box";
  EXPECT_EQ(w.edtCap1->text(), "7") << "the box keeps the wrong text";
  EXPECT_EQ(w.Image.Bytes(), before);

  Type(w.edtCap1, "x");
  EXPECT_EQ(MessageTexts().back(), "Please insert a numeric !");
  EXPECT_EQ(w.edtCap1->text(), "7");
  EXPECT_TRUE(HasFocus(w.edtCap1));

  PressBackspace(w.edtCap1);
  Type(w.edtCap1, "2097152");
  Leave();
  EXPECT_EQ(MessageTexts().back(), "Please insert a number between 8 to 2097151!");
  EXPECT_EQ(w.Image.Bytes(), before);

  // Pasted text that is no number: nothing stored, and the message says why.
  w.edtCap1->clear();
  QGuiApplication::clipboard()->setText("12a4");
  w.edtCap1->paste();
  Leave();
  EXPECT_EQ(MessageTexts().back(),
            "\"12a4\" is not a decimal number: the address of CapCode #2 was not changed !");
  EXPECT_EQ(w.Image.Bytes(), before);
}

TEST_F(TEditorsWindow, LeavingAnAddressBoxEmptyRestoresItAndWritesNothing) {
  TfmMain& w = ShowWindow();
  Enter(w.edtHeaderCode, "05");
  const TImageBytes before = w.Image.Bytes();
  Focus(w.edtCap3);
  EXPECT_EQ(w.edtCap3->text(), "");
  Leave();
  EXPECT_EQ(w.edtCap3->text(), "1234563");
  EXPECT_EQ(w.Image.Bytes(), before);
  EXPECT_TRUE(Messages.empty());
}

// ---- Message type, header and trailer ------------------------------------------------------

TEST_F(TEditorsWindow, TypeChangeResetsHeaderAndTrailerAndRestoresAll) {
  TfmMain& w = ShowWindow();
  Enter(w.edtHeaderCode, "05");
  Enter(w.edtEndCode, "03");
  EXPECT_EQ(Record(0), Padded(Ascii("\x05"
                                    "Alpha Test !\x03"),
                              80));
  EXPECT_EQ(Record(7), Record(0)) << "the codes apply to every text record";

  Pick(w.cboType1, "Digit(0x0C)");
  EXPECT_EQ(w.edtHeaderCode->text(), "00");
  EXPECT_EQ(w.edtEndCode->text(), "00");
  EXPECT_EQ(TypeByte(1), 1);
  EXPECT_EQ(w.memMsg1->Text(), "1234567890");
  EXPECT_EQ(w.memMsg1->MaxLength(), 79);
  EXPECT_EQ(Record(1), Padded(Ascii("1234567890"), 80));
  EXPECT_EQ(Record(0), Padded(Ascii("Alpha Test !"), 80));
  EXPECT_EQ(Record(7), Padded(Ascii("Alpha Test !"), 80));

  // Picking the stored type again changes no type and no text but still resets the codes.
  Enter(w.edtHeaderCode, "05");
  w.memMsg0->SetText("Kept");
  Pick(w.cboType0, "Alpha");
  EXPECT_EQ(w.edtHeaderCode->text(), "00");
  EXPECT_EQ(w.memMsg0->Text(), "Kept");
  EXPECT_EQ(TypeByte(0), 0);
  EXPECT_EQ(Record(0), Padded(Ascii("Kept"), 80));
  EXPECT_TRUE(Messages.empty());
}

TEST_F(TEditorsWindow, TextRecordsAreByteExact) {
  TfmMain& w = ShowWindow();
  Paste(w.memMsg0, "AB");
  Leave();
  Pick(w.cboType1, "Digit(0x0C)");
  Focus(w.memMsg1);
  w.memMsg1->selectAll();
  Type(w.memMsg1, "12-u");
  Leave();
  EXPECT_EQ(w.memMsg1->Text(), "12-U");
  Pick(w.cboType2, "Tone Only");
  EXPECT_EQ(w.memMsg2->Text(), "");
  Pick(w.cboFun2, "1 0");
  EXPECT_EQ(w.Image[0x2C + 5], 2);

  Enter(w.edtHeaderCode, "05");
  Enter(w.edtEndCode, "03");
  EXPECT_EQ(Record(0), Padded({0x05, 0x41, 0x42, 0x03}, 80));
  EXPECT_EQ(Record(1), Padded({0x31, 0x32, 0x2D, 0x55, 0x03}, 80)) << "no header for digits";
  EXPECT_EQ(Record(2), Padded({0x03}, 80));

  Enter(w.edtEndCode, "00");
  EXPECT_EQ(Record(2), TBytes(80, 0));

  // Trailing blanks are not stored.
  Paste(w.memMsg0, "abc  ");
  Leave();
  EXPECT_EQ(Record(0), Padded({0x05, 0x61, 0x62, 0x63}, 80));
  EXPECT_TRUE(Messages.empty());
}

TEST_F(TEditorsWindow, ToneOnlyRecordReadsBackWithItsTrailerAsHeader) {
  TfmMain& w = ShowWindow();
  Pick(w.cboSet, "1 Set");
  Pick(w.cboType0, "Tone Only");
  Enter(w.edtEndCode, "03");
  EXPECT_EQ(Record(0), Padded({0x03}, 640));
  Focus(w.edtCap0);
  Leave(); // an empty address box shows the stored entries again
  EXPECT_EQ(w.edtHeaderCode->text(), "03");
  EXPECT_EQ(w.edtEndCode->text(), "00");
  EXPECT_EQ(w.memMsg0->Text(), "");
}

TEST_F(TEditorsWindow, HeaderAndTrailerBoxes) {
  TfmMain& w = ShowWindow();
  Focus(w.edtHeaderCode);
  Type(w.edtHeaderCode, "g");
  EXPECT_EQ(w.edtHeaderCode->text(), "") << "not a hexadecimal digit: nothing, no message";
  Type(w.edtHeaderCode, "1f");
  EXPECT_EQ(w.edtHeaderCode->text(), "1F");
  Leave();
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(Record(3), Padded(Ascii("\x1F"
                                    "Alpha Test !"),
                              80));

  const TImageBytes before = w.Image.Bytes();
  Enter(w.edtHeaderCode, "21");
  EXPECT_EQ(MessageTexts().back(), "Please insert a number between 0 and 0x20 !");
  EXPECT_EQ(w.edtHeaderCode->text(), "00");
  EXPECT_EQ(w.Image.Bytes(), before) << "no record is rewritten";

  Focus(w.edtEndCode);
  Leave();
  EXPECT_EQ(Messages.size(), 2u);
  EXPECT_EQ(MessageTexts().back(), "Please insert a number between 0 and 0x20 !");
  EXPECT_EQ(w.edtEndCode->text(), "00");
  EXPECT_EQ(w.Image.Bytes(), before);

  Focus(w.edtEndCode);
  Type(w.edtEndCode, "1");
  PressEnter(w.edtEndCode);
  EXPECT_TRUE(HasFocus(w.edtNull));
  EXPECT_EQ(w.edtEndCode->text(), "01");
  EXPECT_EQ(Record(3), Padded(Ascii("Alpha Test !\x01"), 80))
      << "the header box shows 00 since the refused value, and that is what is stored";
}

TEST_F(TEditorsWindow, HeaderCode20ReadsBackAsTextThatBeginsWithABlank) {
  TfmMain& w = ShowWindow();
  Enter(w.edtHeaderCode, "20");
  EXPECT_EQ(Record(7), Padded(Ascii(" Alpha Test !"), 80));
  Focus(w.edtCap7);
  Leave();
  EXPECT_EQ(w.edtHeaderCode->text(), "00");
  EXPECT_EQ(w.memMsg7->Text(), " Alpha Test !");
}

TEST_F(TEditorsWindow, EnteringAndLeavingABoxChangesNothing) {
  TfmMain& w = ShowWindow();
  const TImageBytes before = w.Image.Bytes();
  std::vector<QLineEdit*> boxes{w.edtRepeatTimes, w.edtWaitTime};
  boxes.insert(boxes.end(), w.CapcodeEdits.begin(), w.CapcodeEdits.end());
  for (QLineEdit* box : boxes) {
    const QString shown = box->text();
    Focus(box);
    EXPECT_EQ(box->text(), "") << box->objectName().toStdString();
    Leave();
    EXPECT_EQ(box->text(), shown) << box->objectName().toStdString();
  }
  EXPECT_EQ(w.Image.Bytes(), before);
  EXPECT_TRUE(Messages.empty());
  // The code boxes have no stored value to go back to.
  for (QLineEdit* box : {w.edtHeaderCode, w.edtEndCode}) {
    Focus(box);
    EXPECT_EQ(box->text(), "");
    Leave();
    EXPECT_EQ(box->text(), "00");
  }
  EXPECT_EQ(Messages.size(), 2u);
  EXPECT_EQ(w.Image.Bytes(), before);
}

TEST_F(TEditorsWindow, TypeChangeNeverStoresTheOldTextUnderTheNewType) {
  TfmMain& w = ShowWindow();
  // Latin-1 that Big5 lacks, then Chinese that Latin-1 lacks: neither is reported or stored
  // while the entry changes type, since the memo takes the new type's text.
  Paste(w.memMsg0, QString::fromLatin1("caf\xE9"));
  Leave();
  Pick(w.cboType0, "Binary");
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(Record(0),
            Padded({0x0F, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30}, 80));
  Paste(w.memMsg0, QString::fromUtf8("中文"));
  Leave();
  Pick(w.cboType0, "Alpha");
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(w.memMsg0->Text(), "Alpha Test !");
  EXPECT_EQ(Record(0), Padded(Ascii("Alpha Test !"), 80));
}

// ---- Message key filters -------------------------------------------------------------------

TEST_F(TEditorsWindow, MessageKeyFiltersOfEachType) {
  TfmMain& w = ShowWindow();
  Pick(w.cboType0, "Digit(0x0C)");
  Focus(w.memMsg0);
  w.memMsg0->moveCursor(QTextCursor::End);
  Type(w.memMsg0, "u");
  EXPECT_EQ(w.memMsg0->Text(), "1234567890U");
  Type(w.memMsg0, "a");
  EXPECT_EQ(w.memMsg0->Text(), "1234567890U");
  EXPECT_EQ(MessageTexts().back(), "Dec Number or 'U' or Space or '-' or ']' or '[' Only !");

  Pick(w.cboType1, "Digit(0x0F)");
  Focus(w.memMsg1);
  w.memMsg1->moveCursor(QTextCursor::End);
  Type(w.memMsg1, "f");
  Type(w.memMsg1, "g");
  EXPECT_EQ(w.memMsg1->Text(), "1234567890F");
  EXPECT_EQ(MessageTexts().back(), "Hex Number Only !");

  Pick(w.cboType2, "Tone Only");
  Focus(w.memMsg2);
  Type(w.memMsg2, "x");
  EXPECT_EQ(w.memMsg2->Text(), "");
  EXPECT_EQ(MessageTexts().back(), "Tone Only !");

  // Alpha takes letters as typed, and Latin-1 beyond ASCII, but nothing without a single byte.
  Focus(w.memMsg3);
  w.memMsg3->moveCursor(QTextCursor::End);
  Type(w.memMsg3, "a");
  TypeText(w.memMsg3, QString::fromLatin1("\xE9"));
  EXPECT_EQ(w.memMsg3->Text(), QString::fromLatin1("Alpha Test !a\xE9"));
  const std::size_t shown = Messages.size();
  TypeText(w.memMsg3, QString::fromUtf8("中"));
  EXPECT_EQ(w.memMsg3->Text(), QString::fromLatin1("Alpha Test !a\xE9"));
  ASSERT_EQ(Messages.size(), shown + 1);
  EXPECT_EQ(MessageTexts().back(), kMsgSingleByteOnly);
  Leave();
  EXPECT_EQ(Record(3), Padded(Ascii("Alpha Test !a\xE9"), 80));
}

TEST_F(TEditorsWindow, FullMemoRefusesTheNextCharacter) {
  TfmMain& w = ShowWindow();
  for (const char* set : {"8 Set", "4 Set", "1 Set"}) {
    SCOPED_TRACE(set);
    Pick(w.cboSet, set);
    const int r = w.Image.RecordLength();
    EXPECT_EQ(w.memMsg0->MaxLength(), r - 1);
    Paste(w.memMsg0, QString(r - 1, 'x'));
    w.memMsg0->moveCursor(QTextCursor::End);
    Type(w.memMsg0, "y");
    EXPECT_TRUE(HasFocus(w.edtNull)) << "the focus moves on";
    EXPECT_EQ(w.memMsg0->Text(), QString(r - 1, 'x'));
    EXPECT_EQ(Record(0), Padded(TBytes(static_cast<std::size_t>(r - 1), 'x'), r));
  }
  // With a header code, an Alpha text holds one byte less.
  Pick(w.cboSet, "8 Set");
  ASSERT_EQ(Messages.size(), 1u) << "the 639 characters of the 1 Set are cut to 79";
  Messages.clear();
  w.memMsg0->SetText("short");
  Enter(w.edtHeaderCode, "05");
  w.memMsg1->SetText(QString(78, 'z'));
  Focus(w.memMsg1);
  w.memMsg1->moveCursor(QTextCursor::End);
  Type(w.memMsg1, "z");
  EXPECT_TRUE(HasFocus(w.edtNull));
  EXPECT_EQ(w.memMsg1->Text(), QString(78, 'z'));
  EXPECT_TRUE(Messages.empty());
}

// ---- "Binary" messages ---------------------------------------------------------------------

TEST_F(TEditorsWindow, BinaryMessagesCarryChineseText) {
  TfmMain& w = ShowWindow();
  Pick(w.cboType4, "Binary");
  EXPECT_EQ(TypeByte(4), 4);
  EXPECT_EQ(w.memMsg4->Text(), "1234567890");
  EXPECT_EQ(Record(4),
            Padded({0x0F, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30}, 80));

  Focus(w.memMsg4);
  w.memMsg4->selectAll();
  Type(w.memMsg4, "a");
  TypeText(w.memMsg4, QString::fromUtf8("一"));
  EXPECT_EQ(w.memMsg4->Text(), QString::fromUtf8("A一")) << "letters become upper case";
  Leave();
  EXPECT_EQ(Record(4), Padded({0x0F, 0x41, 0x0E, 0x44, 0x21}, 80));

  // Refused as typed: a character Big5 lacks, and Big5 punctuation outside the carried set.
  Focus(w.memMsg4);
  w.memMsg4->moveCursor(QTextCursor::End);
  TypeText(w.memMsg4, QString::fromUtf8("这"));
  TypeText(w.memMsg4, QString::fromUtf8("，"));
  EXPECT_EQ(w.memMsg4->Text(), QString::fromUtf8("A一"));
  EXPECT_EQ(MessageTexts(), (std::vector<QString>{kMsgNotCarried, kMsgNotCarried}));
  Leave();
  EXPECT_EQ(Record(4), Padded({0x0F, 0x41, 0x0E, 0x44, 0x21}, 80));
}

TEST_F(TEditorsWindow, PastedCharactersARecordCannotHoldAreDroppedWithAMessage) {
  TfmMain& w = ShowWindow();
  Pick(w.cboType0, "Binary");
  Paste(w.memMsg0, QString::fromUtf8("A这B，中"));
  Leave();

  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_TRUE(Messages[0].Text.startsWith("CapCode #1: 2 character(s)"))
      << Messages[0].Text.toStdString();
  EXPECT_EQ(w.memMsg0->Text(), QString::fromUtf8("AB中")) << "the memo shows what is stored";
  const TBytes kept = Big5(QString::fromUtf8("AB中"));
  EXPECT_EQ(Record(0), Padded(EncodeChineseText(kept.data(), kept.size()), 80));
  EXPECT_EQ(Record(0), Padded({0x0F, 0x41, 0x42, 0x0E, 0x44, 0x63}, 80));

  Paste(w.memMsg1, QString::fromUtf8("Ab\u00E9\u4E2Dc"));
  Leave();
  EXPECT_EQ(Messages.size(), 2u);
  EXPECT_EQ(w.memMsg1->Text(), QString::fromUtf8("Ab\u00E9c"));
  EXPECT_EQ(Record(1), Padded(Ascii("Ab\xE9"
                                    "c"),
                              80));
}

// ---- Records never pass their end ------------------------------------------------------------

TEST_F(TEditorsWindow, OverlongTextIsCutInsideItsRecordForEverySet) {
  TfmMain& w = ShowWindow();
  for (const char* set : {"8 Set", "4 Set", "1 Set"}) {
    SCOPED_TRACE(set);
    Messages.clear();
    Pick(w.cboSet, set);
    const int r = w.Image.RecordLength();
    const TImageBytes before = w.Image.Bytes();
    Enter(w.edtHeaderCode, "05");
    Enter(w.edtEndCode, "03");
    Paste(w.memMsg0, QString(r - 1, 'x')); // the most the memo takes: one too many with a header
    Leave();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages[0].Text.contains(QString("record of %1 bytes").arg(r)));
    EXPECT_EQ(w.memMsg0->Text(), QString(r - 2, 'x'));
    TBytes expected{0x05};
    expected.insert(expected.end(), static_cast<std::size_t>(r - 2), 'x');
    expected.push_back(0x03);
    EXPECT_EQ(Record(0), expected);
    if (w.Image.CapcodeCount() > 1) {
      EXPECT_EQ(Record(1), Padded(Ascii("\x05"
                                        "Alpha Test !\x03"),
                                  r));
    }
    for (std::size_t i = kMessageAreaEnd; i < kImageSize; ++i)
      ASSERT_EQ(w.Image[i], before[i]) << "past the message area at " << i;
  }
}

TEST_F(TEditorsWindow, BinaryShiftCodesNeverPassTheRecord) {
  TfmMain& w = ShowWindow();
  Pick(w.cboType0, "Binary");
  QString mixed;
  while (mixed.size() < 79)
    mixed += QString::fromUtf8("a一");
  mixed.truncate(79);
  Paste(w.memMsg0, mixed); // 79 characters, about 200 stream bytes
  Leave();
  ASSERT_EQ(Messages.size(), 1u);
  const TBytes record = Record(0);
  const TBytes text = DecodeChineseText(record.data(), record.size());
  EXPECT_EQ(EncodeChineseText(text.data(), text.size()).size(), 80u) << "16 pairs of a and 一";
  EXPECT_EQ(w.memMsg0->Text(), mixed.left(32));
  EXPECT_EQ(Record(1), Padded(Ascii("Alpha Test !"), 80)) << "the next record is untouched";
}

TEST_F(TEditorsWindow, ShorterRecordsAfterASetChangeCutLongTexts) {
  TfmMain& w = ShowWindow();
  Pick(w.cboSet, "1 Set");
  Paste(w.memMsg0, QString(639, 'q'));
  Leave();
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(Record(0), Padded(TBytes(639, 'q'), 640));
  Pick(w.cboSet, "8 Set");
  ASSERT_EQ(Messages.size(), 1u) << "one notice for the one entry that was cut";
  EXPECT_TRUE(Messages[0].Text.startsWith("CapCode #1:"));
  EXPECT_EQ(w.memMsg0->Text(), QString(79, 'q'));
  EXPECT_EQ(Record(0), Padded(TBytes(79, 'q'), 80));
  for (int i = 1; i < 8; ++i)
    EXPECT_EQ(Record(i), Padded(Ascii("Alpha Test !"), 80)) << i;
}

// ---- Capcode sets and keys -----------------------------------------------------------------

TEST_F(TEditorsWindow, SetChangesRelayTheEntriesAndKeyMap) {
  TfmMain& w = ShowWindow();
  Pick(w.cboType5, "Digit(0x0F)");
  Pick(w.cboSet, "4 Set");
  EXPECT_EQ(w.Image[kOptionByte], 0x09);
  EXPECT_EQ(w.Image.CapcodeCount(), 4);
  EXPECT_EQ(w.Image.RecordLength(), 160);
  const TBytes keys4{0x04, 0x08, 0x40, 0x80, 0x10, 0x20, 0x40, 0x80};
  EXPECT_EQ(TBytes(w.Image.Data() + kKeyMap, w.Image.Data() + kKeyMap + 8), keys4);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(w.KeyLabels[k]->isVisible(), k < 4) << k;
    EXPECT_EQ(w.KeySelectors[k]->isVisible(), k < 4) << k;
    EXPECT_EQ(w.CapcodeGroups[k]->isVisible(), k < 4) << k;
  }
  EXPECT_EQ(w.cboKey0->currentText(), "KEY_S3");
  EXPECT_EQ(w.cboKey3->currentText(), "KEY_S8");
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(Record(i), Padded(Ascii("Alpha Test !"), 160)) << i;
  EXPECT_EQ(TypeByte(5), 2) << "entries beyond the set keep their bytes";
  EXPECT_EQ(w.memMsg0->MaxLength(), 159);

  Pick(w.cboSet, "1 Set");
  EXPECT_EQ(w.Image[kOptionByte], 0x08);
  EXPECT_EQ(w.Image[kKeyMap], 0x01);
  EXPECT_EQ(w.Image[kKeyMap + 1], 0x08);
  EXPECT_EQ(Record(0), Padded(Ascii("Alpha Test !"), 640));
  EXPECT_FALSE(w.grpCap1->isVisible());
  EXPECT_TRUE(w.grpCap0->isVisible());

  Pick(w.cboSet, "8 Set");
  EXPECT_EQ(w.Image[kOptionByte], 0x0A);
  for (int k = 0; k < 8; ++k)
    EXPECT_EQ(w.Image[kKeyMap + static_cast<std::size_t>(k)], 1 << k);
  EXPECT_EQ(TypeByte(5), 0) << "a shown entry of another type becomes Alpha";
  EXPECT_EQ(w.memMsg5->Text(), "Alpha Test !");
  EXPECT_TRUE(Messages.empty());
}

TEST_F(TEditorsWindow, DuplicateKeyIsReportedAndStoredAnyway) {
  TfmMain& w = ShowWindow();
  Pick(w.cboKey0, "KEY_S2");
  EXPECT_EQ(MessageTexts(), std::vector<QString>{"Repeat definition of button !"});
  EXPECT_EQ(w.Image[kKeyMap], 0x02);
  EXPECT_TRUE(HasFocus(w.cboKey0));
  Pick(w.cboKey0, "KEY_S1");
  EXPECT_EQ(Messages.size(), 1u);

  Pick(w.cboSet, "4 Set"); // keys S3 S4 S7 S8; rows beyond 4 are not compared
  Pick(w.cboKey1, "KEY_S5");
  EXPECT_EQ(Messages.size(), 1u);
  EXPECT_EQ(w.Image[kKeyMap + 1], 0x10);
}

// ---- Config group --------------------------------------------------------------------------

TEST_F(TEditorsWindow, OptionByteFollowsTheConfigControls) {
  TfmMain& w = ShowWindow();
  ASSERT_EQ(w.Image[kOptionByte], 0x0A);
  Pick(w.cboBaud, "2400 bps");
  EXPECT_EQ(w.Image[kOptionByte], 0x2A);
  Pick(w.cboPolarity, "Invert");
  EXPECT_EQ(w.Image[kOptionByte], 0x22);
  w.chkKeyBeep->click();
  EXPECT_EQ(w.Image[kOptionByte], 0x26);
  w.chkKeyMode->click();
  EXPECT_EQ(w.Image[kTriggerEdge], 1);
  w.chkKeyMode->click();
  EXPECT_EQ(w.Image[kTriggerEdge], 0);
  Pick(w.cboPCCommand, "RF TEST");
  EXPECT_EQ(w.Image[kPcCommand], 2);
}

TEST_F(TEditorsWindow, RepeatTimesAndWaitTime) {
  TfmMain& w = ShowWindow();
  const TImageBytes before = w.Image.Bytes();
  Enter(w.edtRepeatTimes, "0");
  EXPECT_EQ(MessageTexts().back(), "Please insert a number between 1 and 256 !");
  EXPECT_TRUE(HasFocus(w.edtRepeatTimes));
  EXPECT_EQ(w.Image.Bytes(), before);
  PressBackspace(w.edtRepeatTimes);
  Type(w.edtRepeatTimes, "257");
  Leave();
  EXPECT_EQ(Messages.size(), 2u);
  EXPECT_EQ(w.Image.Bytes(), before);
  w.edtRepeatTimes->clear();
  Type(w.edtRepeatTimes, "256");
  Leave();
  EXPECT_EQ(w.Image[kRepeatCount], 0xFF);

  Focus(w.edtRepeatTimes);
  Type(w.edtRepeatTimes, "123");
  Type(w.edtRepeatTimes, "4");
  EXPECT_TRUE(HasFocus(w.edtNull)) << "a fourth digit cannot be typed";
  EXPECT_EQ(w.edtRepeatTimes->text(), "123");
  EXPECT_EQ(w.Image[kRepeatCount], 122);
  Focus(w.edtRepeatTimes);
  Type(w.edtRepeatTimes, "a");
  EXPECT_EQ(MessageTexts().back(), "Please insert a numeric !");
  Leave();
  EXPECT_EQ(w.edtRepeatTimes->text(), "123") << "an empty box shows the stored value again";
  EXPECT_EQ(w.Image[kRepeatCount], 122);

  Enter(w.edtWaitTime, "250");
  EXPECT_EQ(w.Image[kRepeatWait], 250);
  Enter(w.edtWaitTime, "0");
  EXPECT_EQ(w.Image[kRepeatWait], 0);
  Messages.clear();
  Enter(w.edtWaitTime, "251");
  EXPECT_EQ(MessageTexts(), std::vector<QString>{"Please insert a number between 0 and 250 !"});
  EXPECT_EQ(w.Image[kRepeatWait], 0);

  w.edtWaitTime->clear();
  QGuiApplication::clipboard()->setText("1x");
  w.edtWaitTime->paste();
  Leave();
  EXPECT_EQ(MessageTexts().back(),
            "\"1x\" is not a decimal number: Wait time Of Repeat was not changed !");
  EXPECT_EQ(w.Image[kRepeatWait], 0);
}

// ---- Images shown at start-up ----------------------------------------------------------------

TEST_F(TEditorsWindow, LoadedFourSetImageWithBinaryEntriesSurvivesStartUp) {
  TConfigImage image;
  image[kOptionByte] = 0x0D; // 4 Set, key beep
  image.SetCapcodeCount(4);
  const std::uint8_t keys[8] = {0x10, 0x99, 0x40, 0x03, 0xAA, 0xBB, 0xCC, 0xDD};
  std::copy(std::begin(keys), std::end(keys), image.Data() + kKeyMap);
  const QString chinese = QString::fromUtf8("中文ABC一");
  const TBytes big5 = Big5(chinese);
  const TBytes stream = EncodeChineseText(big5.data(), big5.size());
  for (const int entry : {1, 3}) {
    std::fill_n(image.Data() + image.MessageRecordOffset(entry), 160, 0);
    std::copy(stream.begin(), stream.end(), image.Data() + image.MessageRecordOffset(entry));
    image[TConfigImage::CapcodeRecordOffset(entry) + kCapcodeTypeOffset] = 4;
  }
  std::fill_n(image.Data() + image.MessageRecordOffset(2), 160, 0);
  std::memcpy(image.Data() + image.MessageRecordOffset(2),
              "\x07"
              "12-U\x02",
              6);
  image[TConfigImage::CapcodeRecordOffset(2) + kCapcodeTypeOffset] = 1;
  WriteImage("default.tbl", image.Bytes());

  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.cboSet->currentText(), "4 Set");
  EXPECT_EQ(w.Image.CapcodeCount(), 4);
  EXPECT_EQ(w.memMsg1->Text(), chinese);
  EXPECT_EQ(w.memMsg3->Text(), chinese);
  EXPECT_EQ(w.cboType3->currentText(), "Binary");
  EXPECT_EQ(w.memMsg2->Text(), "12-U");
  EXPECT_EQ(w.cboKey0->currentText(), "KEY_S5");
  EXPECT_EQ(w.cboKey1->currentIndex(), -1) << "KEY_S9 is not offered";
  EXPECT_FALSE(w.grpCap4->isVisible());
  EXPECT_TRUE(w.chkKeyBeep->isChecked());
  EXPECT_EQ(w.memMsg1->MaxLength(), 159);
  // Everything but the register words, which the start-up fills from the INI file.
  EXPECT_TRUE(std::equal(w.Image.Data() + kCapcodeRecords, w.Image.Data() + kImageSize,
                         image.Data() + kCapcodeRecords));
  EXPECT_TRUE(Messages.empty());

  // Typing in a shown "Binary" memo stores the text unchanged around the new character.
  Focus(w.memMsg1);
  w.memMsg1->moveCursor(QTextCursor::End);
  TypeText(w.memMsg1, QString::fromUtf8("中"));
  Leave();
  const TBytes more = Big5(chinese + QString::fromUtf8("中"));
  const TBytes moreStream = EncodeChineseText(more.data(), more.size());
  EXPECT_EQ(Record(1), Padded(moreStream, 160));
  EXPECT_EQ(Record(3), Padded(stream, 160));
}

TEST_F(TEditorsWindow, ImageWithoutANamedSetShowsEightEntriesAndKeepsItsSelector) {
  TImageBytes bytes = TConfigImage::DefaultBytes();
  bytes[kOptionByte] = 0x0B;
  WriteImage("default.tbl", bytes);
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.cboSet->currentIndex(), -1);
  EXPECT_EQ(w.Image.CapcodeCount(), 8);
  EXPECT_EQ(w.Image[kOptionByte], 0x0B);
  for (int k = 0; k < 8; ++k) {
    EXPECT_TRUE(w.CapcodeGroups[k]->isVisible()) << k;
    EXPECT_EQ(w.MessageMemos[k]->Text(), "Alpha Test !");
  }
}

} // namespace
