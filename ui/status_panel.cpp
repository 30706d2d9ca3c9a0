#include "ui/status_panel.h"

#include <QFontMetrics>
#include <QTimer>

TStatusPanel::TStatusPanel(QWidget* parent) : QLabel(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
}

// The bar decides the width: a long text neither widens the panel nor pushes the window wider.
QSize TStatusPanel::sizeHint() const {
  return {0, QLabel::sizeHint().height()};
}

QSize TStatusPanel::minimumSizeHint() const {
  return {0, QLabel::minimumSizeHint().height()};
}

void TStatusPanel::SetText(const QString& text) {
  setText(text);
  Fit();
}

void TStatusPanel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  // Not while the bar's layout places its panels: a new font asks it to lay them out again.
  QTimer::singleShot(0, this, [this] { Fit(); });
}

int TStatusPanel::Room(const QFont& font) const {
  // A framed label without an indent of its own keeps half an "x" free at its left.
  int inset = indent();
  if (inset < 0)
    inset = frameWidth() > 0 ? QFontMetrics(font).horizontalAdvance(u'x') / 2 - margin() : 0;
  return contentsRect().width() - 2 * margin() - (inset > 0 ? inset : 0);
}

bool TStatusPanel::Fits(const QFont& font, const QString& line) const {
  return QFontMetrics(font).horizontalAdvance(line) <= Room(font);
}

void TStatusPanel::Fit() {
  if (FFitting)
    return;
  FFitting = true;
  QFont shown = parentWidget() ? parentWidget()->font() : QFont();
  const QString line = text();
  const int normalSize = shown.pointSize();
  while (!Fits(shown, line) && shown.pointSize() > kSmallestPointSize)
    shown.setPointSize(shown.pointSize() - 1);
  setFont(shown);
  const bool whole = Fits(shown, line);
  // Shrunk or cut: the tooltip shows the whole text in the normal size.
  setToolTip(whole && shown.pointSize() == normalSize ? QString() : line);
  FFitting = false;
}
