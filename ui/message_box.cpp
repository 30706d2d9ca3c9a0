#include "ui/message_box.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace {

TMessageResponder& Responder() {
  static TMessageResponder responder;
  return responder;
}

QString ApplicationTitle() {
  // The program file's name without extension.
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

int Show(QWidget* owner, const TMessageRequest& request) {
  if (Responder())
    return Responder()(request);
  // A window disabled for a transfer cannot own a dialog: the box is then application-modal.
  QWidget* parent = owner ? owner : QApplication::activeWindow();
  if (parent && !parent->isEnabled())
    parent = nullptr;
  QMessageBox box(parent);
  box.setWindowTitle(request.Caption);
  box.setText(request.Text);
  box.setIcon((request.Flags & 0xF0) == MB_ICONEXCLAMATION ? QMessageBox::Warning
                                                           : QMessageBox::NoIcon);
  switch (request.Flags & 0x0F) {
  case MB_OKCANCEL:
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    break;
  case MB_YESNO:
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    break;
  default:
    box.setStandardButtons(QMessageBox::Ok);
    break;
  }
  // The window that was active gets the activation back when the box closes, whatever the
  // window manager does with it, so that the focus ends where the handler that showed the box
  // put it.
  const QPointer<QWidget> active = QApplication::activeWindow();
  const int answer = box.exec();
  if (active && active->isVisible() && !active->isActiveWindow() &&
      !QApplication::activeModalWidget())
    active->activateWindow();
  switch (answer) {
  case QMessageBox::Cancel:
    return IDCANCEL;
  case QMessageBox::Yes:
    return IDYES;
  case QMessageBox::No:
    return IDNO;
  default:
    return (request.Flags & 0x0F) == MB_YESNO ? IDNO : IDOK;
  }
}

} // namespace

void SetMessageResponder(TMessageResponder responder) {
  Responder() = std::move(responder);
}

void ShowMessage(const QString& text) {
  Show(nullptr, TMessageRequest{text, ApplicationTitle(), MB_OK, true});
}

int MessageBoxA(QWidget* owner, const QString& text, const QString& caption, unsigned flags) {
  return Show(owner, TMessageRequest{text, caption, flags, false});
}
