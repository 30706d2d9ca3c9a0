#pragma once
// Modal message boxes of the two kinds the window uses: the simple one (OK, the application
// title as caption) and the MessageBoxA kind (caption, buttons and icon given by the caller).
// A test installs a responder that answers instead of showing a dialog.

#include <QString>
#include <functional>

class QWidget;

enum : unsigned {
  MB_OK = 0x00,
  MB_OKCANCEL = 0x01,
  MB_YESNO = 0x04,
  MB_ICONEXCLAMATION = 0x30,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct TMessageRequest {
  QString Text;
  QString Caption;
  unsigned Flags = MB_OK;
  bool Simple = false; // shown through ShowMessage
};

using TMessageResponder = std::function<int(const TMessageRequest&)>;

// Replaces the dialogs by the responder; an empty responder brings the dialogs back.
void SetMessageResponder(TMessageResponder responder);

// The simple message box: OK button, no icon, the application title as caption.
void ShowMessage(const QString& text);

// The MessageBoxA kind; returns IDOK, IDCANCEL, IDYES or IDNO.
int MessageBoxA(QWidget* owner, const QString& text, const QString& caption, unsigned flags);
