#pragma once
// The open and save dialogs of the File menu. Like the dialogs they stand for, a chosen file
// makes its folder the process's working directory. A test installs a responder that picks
// the file (or cancels) instead of showing a dialog.

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

enum : unsigned {
  ofHideReadOnly = 0x01,
  ofFileMustExist = 0x02,
  ofOverwritePrompt = 0x04,
  ofEnableSizing = 0x08,
};

class TFileDialog : public QObject {
  Q_OBJECT
public:
  enum class TKind { Open, Save };
  TFileDialog(TKind kind, const QString& name, QObject* parent);

  TKind Kind;
  QString InitialDir;
  QString Filter;     // "Description|pattern", as the table-file filter is written
  QString DefaultExt; // without the dot
  QString FileName;   // the chosen file's full path after Execute
  unsigned Options = 0;

  // Shows the dialog; true when the user chose a file.
  bool Execute(QWidget* owner);
};

// The responder gets the prepared dialog and returns the chosen path, or nothing to cancel.
using TDialogResponder = std::function<std::optional<QString>(const TFileDialog&)>;
void SetDialogResponder(TDialogResponder responder);
