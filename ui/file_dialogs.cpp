#include "ui/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

TDialogResponder& Responder() {
  static TDialogResponder responder;
  return responder;
}

// "Table files (*.tbl)|*.tbl" -> "Table files (*.tbl)"; the description already names the
// pattern, which is the form the toolkit's filters take.
QString ToolkitFilter(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i];
    const QString pattern = QString(parts[i + 1]).replace(';', ' ');
    filters << (description.contains(pattern) ? description : description + " (" + pattern + ")");
  }
  return filters.join(";;");
}

} // namespace

TFileDialog::TFileDialog(TKind kind, const QString& name, QObject* parent)
    : QObject(parent), Kind(kind) {
  setObjectName(name);
  setProperty("ClassName", kind == TKind::Open ? "TOpenDialog" : "TSaveDialog");
}

void SetDialogResponder(TDialogResponder responder) {
  Responder() = std::move(responder);
}

bool TFileDialog::Execute(QWidget* owner) {
  std::optional<QString> chosen;
  if (Responder()) {
    chosen = Responder()(*this);
    if (chosen && !DefaultExt.isEmpty() && QFileInfo(*chosen).suffix().isEmpty())
      *chosen += "." + DefaultExt;
  } else {
    QFileDialog dialog(owner, Kind == TKind::Open ? tr("Open") : tr("Save As"), InitialDir,
                       ToolkitFilter(Filter));
    dialog.setAcceptMode(Kind == TKind::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode((Options & ofFileMustExist) ? QFileDialog::ExistingFile
                                                   : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(DefaultExt);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(Options & ofOverwritePrompt));
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(Options & ofEnableSizing);
    if (!FileName.isEmpty())
      dialog.selectFile(FileName);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      chosen = dialog.selectedFiles().first();
  }
  if (!chosen || chosen->isEmpty())
    return false;
  const QFileInfo info(QDir(InitialDir).absoluteFilePath(*chosen));
  FileName = QDir::toNativeSeparators(info.absoluteFilePath());
  QDir::setCurrent(info.absolutePath());
  return true;
}
