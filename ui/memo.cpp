#include "ui/memo.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setTabChangesFocus(true);
}

int TMemo::Room() const {
  if (FMaxLength == 0)
    return INT_MAX;
  const int selected = textCursor().selectedText().size();
  return FMaxLength - (toPlainText().size() - selected);
}

void TMemo::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
    return;
  const QString text = event->text();
  const bool typing = !text.isEmpty() && text.at(0).unicode() >= 0x20 &&
                      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (typing && Room() < text.size())
    return;
  QPlainTextEdit::keyPressEvent(event);
}

void TMemo::insertFromMimeData(const QMimeData* source) {
  if (!source || !source->hasText())
    return;
  QString text = source->text();
  text.replace("\r\n", " ").replace('\n', ' ').replace('\r', ' ');
  const int room = Room();
  if (room <= 0)
    return;
  if (text.size() > room)
    text.truncate(room);
  textCursor().insertText(text);
}

void TMemo::inputMethodEvent(QInputMethodEvent* event) {
  const int room = Room();
  if (event->commitString().size() <= room) {
    QPlainTextEdit::inputMethodEvent(event);
    return;
  }
  QInputMethodEvent cut(event->preeditString(), event->attributes());
  cut.setCommitString(event->commitString().left(room > 0 ? room : 0), event->replacementStart(),
                      event->replacementLength());
  QPlainTextEdit::inputMethodEvent(&cut);
}
