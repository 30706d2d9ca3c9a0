// Text that an input method commits into the window's boxes: it passes the key filters like
// typed characters, and its pre-edit text is shown but never stored.

#include "xcb_fixture.h"

#include "ui/memo.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextLayout>

namespace {

using TInputMethodXcb = TXcbWindowTest;

// What an input method sends to the control that has the focus.
void Commit(const QString& text) {
  QInputMethodEvent event;
  event.setCommitString(text);
  QCoreApplication::sendEvent(QGuiApplication::focusObject(), &event);
  QTest::qWait(30);
}

void PreEdit(const QString& text) {
  QInputMethodEvent event(text, {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor,
                                                              static_cast<int>(text.size()), 1)});
  QCoreApplication::sendEvent(QGuiApplication::focusObject(), &event);
  QTest::qWait(30);
}

void PickType(TfmMain& w, int entry, int type) {
  w.TypeSelectors[entry]->setCurrentIndex(type);
  emit w.TypeSelectors[entry]->activated(type);
}

std::string Record(TfmMain& w, int entry) {
  const std::size_t start = kMessageArea + static_cast<std::size_t>(entry * w.Image.RecordLength());
  std::string text;
  for (std::size_t i = start; i < start + 20 && w.Image[i] != 0; ++i)
    text += static_cast<char>(w.Image[i]);
  return text;
}

TEST_F(TInputMethodXcb, ToneOnlyRefusesCommittedText) {
  TfmMain& w = ShowWindow();
  PickType(w, 1, 3);
  ClickInto(w.memMsg1);
  Commit("xyz");
  SettleBoxes();
  EXPECT_EQ(w.memMsg1->Text(), "");
  EXPECT_EQ(MessageTexts(), std::vector<QString>(3, "Tone Only !")) << "one message a character";
  w.FocusNull();
  EXPECT_EQ(Record(w, 1), "");
}

TEST_F(TInputMethodXcb, DigitMemosTurnAndRefuseCommittedCharactersOneByOne) {
  TfmMain& w = ShowWindow();
  PickType(w, 2, 2); // Digit(0x0F)
  ClickInto(w.memMsg2);
  w.memMsg2->SetText("");
  Commit("ab1g2");
  SettleBoxes();
  EXPECT_EQ(w.memMsg2->Text(), "AB12") << "lower case turned, g refused, the rest kept";
  EXPECT_EQ(MessageTexts(), std::vector<QString>{"Hex Number Only !"});
  PickType(w, 3, 1); // Digit(0x0C)
  ClickInto(w.memMsg3);
  w.memMsg3->SetText("");
  Commit("1u-a");
  SettleBoxes();
  EXPECT_EQ(w.memMsg3->Text(), "1U-");
  X.Key("Return");
  EXPECT_EQ(Record(w, 2), "AB12");
  EXPECT_EQ(Record(w, 3), "1U-");
}

TEST_F(TInputMethodXcb, ACommitStopsAtTheMessageLengthAndLeavesTheMemo) {
  TfmMain& w = ShowWindow();
  ClickInto(w.memMsg0);
  w.memMsg0->SetText(QString(77, 'a'));
  w.memMsg0->moveCursor(QTextCursor::End);
  Commit("bcdef");
  SettleBoxes();
  EXPECT_EQ(w.memMsg0->Text(), QString(77, 'a') + "bc") << "79 characters fill an 80-byte record";
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull) << "the full memo hands the focus on";
  EXPECT_EQ(Record(w, 0), std::string(20, 'a')) << "and was stored";
  EXPECT_TRUE(Messages.empty());
}

TEST_F(TInputMethodXcb, EditBoxesFilterCommittedDigits) {
  TfmMain& w = ShowWindow();
  ClickInto(w.edtCap4);
  Commit("12x3");
  SettleBoxes();
  EXPECT_EQ(w.edtCap4->text(), "123");
  EXPECT_EQ(MessageTexts(), std::vector<QString>{"Please insert a numeric !"});
  Commit("45678");
  SettleBoxes();
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull) << "the eighth digit ends the entry";
  EXPECT_EQ(w.edtCap4->text(), "1234567");
  EXPECT_EQ(w.Image.ReadU32(TConfigImage::CapcodeRecordOffset(4)), 1234567u);

  ClickInto(w.edtHeaderCode);
  Commit("1fz");
  EXPECT_EQ(w.edtHeaderCode->text(), "1F") << "upper case, and z dropped without a message";
  ClickInto(w.edtRepeatTimes);
  Commit("1234");
  SettleBoxes();
  EXPECT_EQ(w.edtRepeatTimes->text(), "123");
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);
  EXPECT_EQ(w.Image[kRepeatCount], 122);
  EXPECT_EQ(Messages.size(), 1u);
}

TEST_F(TInputMethodXcb, BinaryMemosTakeChineseAndTurnLetters) {
  TfmMain& w = ShowWindow();
  PickType(w, 5, 4);
  ClickInto(w.memMsg5);
  w.memMsg5->SetText("");
  Commit(QString::fromUtf8("中文ab"));
  SettleBoxes();
  EXPECT_EQ(w.memMsg5->Text(), QString::fromUtf8("中文AB"));
  EXPECT_TRUE(Messages.empty());
}

TEST_F(TInputMethodXcb, PreEditIsShownButNotStored) {
  TfmMain& w = ShowWindow();
  ClickInto(w.memMsg6);
  w.memMsg6->SetText("AB");
  w.memMsg6->moveCursor(QTextCursor::End);
  PreEdit(QString::fromUtf8("zhong"));
  EXPECT_EQ(w.memMsg6->Text(), "AB");
  EXPECT_EQ(w.memMsg6->document()->firstBlock().layout()->preeditAreaText(), "zhong")
      << "the memo shows what is being composed";
  Commit("C");
  EXPECT_EQ(w.memMsg6->Text(), "ABC");
  ClickInto(w.edtCap6);
  PreEdit("9");
  EXPECT_EQ(w.edtCap6->text(), "");
  Commit("");
  X.Key("Return");
  EXPECT_EQ(Record(w, 6), "ABC");
  EXPECT_EQ(w.edtCap6->text(), "1234566") << "an empty box restores the address";
}

} // namespace
