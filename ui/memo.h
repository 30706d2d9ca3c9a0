#pragma once
// A multi-line memo with a maximum length in characters (0: no limit), enforced for typed,
// pasted and input-method text alike. Enter never adds a line: messages are one line.

#include <QPlainTextEdit>

class TMemo : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit TMemo(QWidget* parent = nullptr);
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int length) { FMaxLength = length < 0 ? 0 : length; }
  // The whole text as one line.
  QString Text() const { return toPlainText(); }
  void SetText(const QString& text) { setPlainText(text); }

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

private:
  int Room() const;
  int FMaxLength = 0;
};
