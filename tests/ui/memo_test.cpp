// The memo's own length limit, which holds whatever the text comes from.

#include "ui/memo.h"

#include <QInputMethodEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(TMemoLimit, InputMethodTextIsCutToTheRoomLeft) {
  TMemo memo;
  memo.SetMaxLength(5);
  memo.SetText("abc");
  memo.moveCursor(QTextCursor::End);
  QInputMethodEvent commit(QString::fromUtf8("zh"), {});
  commit.setCommitString("defg");
  QCoreApplication::sendEvent(&memo, &commit);
  EXPECT_EQ(memo.Text(), "abcde");
  QInputMethodEvent more;
  more.setCommitString("x");
  QCoreApplication::sendEvent(&memo, &more);
  EXPECT_EQ(memo.Text(), "abcde") << "full";
  memo.SetMaxLength(0);
  QCoreApplication::sendEvent(&memo, &more);
  EXPECT_EQ(memo.Text(), "abcdex") << "no limit";
}

} // namespace
