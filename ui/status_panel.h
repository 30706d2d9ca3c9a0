#pragma once
// A panel of the status bar. Its width is fixed by the bar; a text wider than the panel is shown
// in a smaller font, down to the smallest size that stays readable, and a text that is still too
// wide is cut at the panel's edge with the whole text in the panel's tooltip.

#include <QLabel>

class TStatusPanel : public QLabel {
  Q_OBJECT
public:
  explicit TStatusPanel(QWidget* parent = nullptr);
  void SetText(const QString& text);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The width the text has in the panel when shown in a font.
  int Room(const QFont& font) const;

  static constexpr int kSmallestPointSize = 7;

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  bool Fits(const QFont& font, const QString& line) const;
  void Fit(); // the font and the tooltip for the current text and width
  bool FFitting = false;
};
