// Enter in each box with a key filter, typed through the X server: it ends the entry, the box's
// exit handler stores the value, and the focus goes to the focus sink.

#include "xcb_fixture.h"

#include "ui/memo.h"

#include <QLineEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <functional>

namespace {

using TEnterXcb = TXcbWindowTest;

struct TEntry {
  QWidget* Box;
  const char* Keys; // typed one by one; each is an X keysym name of one character
  QString Shown;    // the box text afterwards
  std::function<bool(TfmMain&)> Stored;
};

void TypeKeys(TX11Input& x, const char* keys) {
  for (const char* k = keys; *k; ++k) {
    const char name[2] = {*k, 0};
    x.Key(name);
  }
}

TEST_F(TEnterXcb, EnterStoresEachFilteredBoxAndLeavesIt) {
  TfmMain& w = ShowWindow();
  const std::uint32_t frequency = 155000000;
  std::vector<TEntry> entries = {
      {w.edtRepeatTimes, "12", "12", [](TfmMain& m) { return m.Image[kRepeatCount] == 11; }},
      {w.edtWaitTime, "250", "250", [](TfmMain& m) { return m.Image[kRepeatWait] == 250; }},
      {w.edtHeaderCode, "1f", "1F", [](TfmMain& m) { return m.Image[kMessageArea] == 0x1F; }},
      {w.edtEndCode, "3", "03", [](TfmMain& m) { return m.Image[kMessageArea + 1 + 12] == 0x03; }},
      {w.edtFreq, "155000000", QString::number(frequency),
       [](TfmMain& m) { return m.edtFreq->text() == "155000000" && m.Image.ReadU32(0) != 0; }},
  };
  for (int i = 0; i < kMaxCapcodes; ++i)
    entries.push_back({w.CapcodeEdits[i], "2097151", "2097151", [i](TfmMain& m) {
                         return m.Image.ReadU32(TConfigImage::CapcodeRecordOffset(i)) == 2097151;
                       }});
  for (int i = 0; i < kMaxCapcodes; ++i)
    entries.push_back({w.MessageMemos[i], "x", "Alpha Test !x", [i](TfmMain& m) {
                         const std::size_t end = kMessageArea + 80u * i + 1 + 12;
                         return m.Image[end] == 'x';
                       }});
  for (TEntry& entry : entries) {
    const std::string name = entry.Box->objectName().toStdString();
    if (auto* memo = qobject_cast<TMemo*>(entry.Box)) {
      ScrollIntoView(memo);
      ClickInto(memo);
      memo->moveCursor(QTextCursor::End);
    } else {
      ScrollIntoView(entry.Box);
      ClickInto(entry.Box);
    }
    ASSERT_EQ(QApplication::focusWidget(), entry.Box)
        << name << " clicked, focus in "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString()
                                        : "none");
    TypeKeys(X, entry.Keys);
    X.Key("Return");
    SettleBoxes();
    EXPECT_EQ(QApplication::focusWidget(), w.edtNull) << "Enter in " << name;
    const QString shown = qobject_cast<TMemo*>(entry.Box)
                              ? qobject_cast<TMemo*>(entry.Box)->Text()
                              : qobject_cast<QLineEdit*>(entry.Box)->text();
    EXPECT_EQ(shown, entry.Shown) << name;
    EXPECT_TRUE(entry.Stored(w)) << name << " was not stored";
  }
  EXPECT_TRUE(Messages.empty()) << Messages.front().Text.toStdString();

  // The register panel's RF_TOC box.
  w.PageControl1->setCurrentWidget(w.tabConfig);
  QTest::qWait(50);
  ClickInto(w.edtRF_TOC);
  TypeKeys(X, "99");
  X.Key("Return");
  EXPECT_EQ(QApplication::focusWidget(), w.edtNull);
  EXPECT_EQ(w.Synth.RF_TOC, 99);
}

} // namespace
