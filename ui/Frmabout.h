#pragma once
// TfmAbout: product name, version and the two links. Created hidden at start and reused.

#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

class TfmAbout : public QDialog {
  Q_OBJECT
public:
  explicit TfmAbout(QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* Label2;
  QLabel* lblUrl;
  QLabel* Label1;
  QLabel* lblEmail;
  QPushButton* OKButton;

  QString WebAddress() const;
  QString EmailAddress() const;

  void lblUrlClick(QObject* Sender);
  void lblEmailClick(QObject* Sender);
  void LinkMouseEnter(QObject* Sender);
  void LinkMouseLeave(QObject* Sender);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
