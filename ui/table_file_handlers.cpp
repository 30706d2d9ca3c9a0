// File menu: the default table at start-up, Open, Save, Save As, backups and the title.

#include "image/table_file.h"
#include "ui/Frmmain.h"
#include "ui/file_dialogs.h"
#include "ui/message_box.h"

#include <QDir>
#include <filesystem>

namespace {

const QString kTableFilter = "Table files (*.tbl)|*.tbl";
const QString kTableExtension = "tbl";

void PrepareDialog(TFileDialog& dialog, const std::string& startDirectory) {
  dialog.InitialDir = QString::fromStdString(startDirectory);
  dialog.Filter = kTableFilter;
  dialog.DefaultExt = kTableExtension;
  dialog.Options |= ofHideReadOnly | ofEnableSizing;
}

} // namespace

void TfmMain::UpdateTitle(const QString& text) {
  QString caption = windowTitle();
  const int bracket = caption.indexOf('[');
  if (bracket >= 0)
    caption = caption.left(bracket + 1) + text + "]";
  else
    caption += " - [" + text + "]";
  setWindowTitle(caption);
}

void TfmMain::LoadDefaultTable() {
  std::error_code error;
  if (!std::filesystem::exists(kDefaultTableName, error))
    return;
  const TTableRead read = ReadTableFile(kDefaultTableName);
  // A default table that cannot be read whole is not loaded: the built-in image is shown and
  // the file is left as it is, so nothing on disk is lost and the user knows why.
  if (!read.Ok) {
    MessageBoxA(this,
                QString("The default table %1 was not loaded: %2.\nThe built-in configuration "
                        "is shown instead.")
                    .arg(kDefaultTableName, QString::fromStdString(read.Error)),
                "KX470U", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  Image.Assign(read.Block);
  Process.CurrentFileName = kDefaultTableName;
  UpdateTitle(QString::fromStdString(StartDirectory) + QDir::separator() + kDefaultTableName);
}

void TfmMain::OpenTable() {
  PrepareDialog(*OpenDialog1, StartDirectory);
  OpenDialog1->FileName.clear();
  OpenDialog1->Options |= ofFileMustExist;
  if (!OpenDialog1->Execute(this))
    return;
  const QString path = OpenDialog1->FileName;
  const TTableRead read = ReadTableFile(path.toStdString());
  // A short file would only fail its checksum; its size says what is wrong with it.
  if (read.TooShort) {
    MessageBoxA(this,
                QString("Can't open the table file %1: %2.\nThe configuration shown is unchanged.")
                    .arg(path, QString::fromStdString(read.Error)),
                "File Error", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!read.Ok) {
    MessageBoxA(this,
                "Can't perform one of the following file operations: Open, Seek, Read, Close.\n" +
                    path + ": " + QString::fromStdString(read.Error),
                "File Error", MB_OKCANCEL);
    return;
  }
  if (!ChecksumValid(read.Block)) {
    MessageBoxA(this, "Checksum error !", "KX470", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  Image.Assign(read.Block);
  Rendering = true;
  RenderImage();
  Rendering = false;
  Process.CurrentFileName = path.toStdString();
  UpdateTitle(path);
}

void TfmMain::SaveTable() {
  PrepareDialog(*SaveDialog1, StartDirectory);
  const QString name = SaveDialog1->FileName;
  if (name == kDefaultTableName &&
      MessageBoxA(this,
                  "Click OK will save all changes to the default file.\nThis will change all the "
                  "default values and automatically loaded up by KX470U programming software in "
                  "the future.",
                  "KX470U", MB_YESNO | MB_ICONEXCLAMATION) == IDNO)
    return;
  // After a cancelled Save As there is no file to save to.
  if (name.isEmpty())
    return;
  const QString title = windowTitle().contains('[')
                            ? name
                            : QString::fromStdString(StartDirectory) + QDir::separator() + name;
  WriteTableFile(name, title);
}

void TfmMain::SaveTableAs() {
  SaveDialog1->FileName.clear();
  PrepareDialog(*SaveDialog1, StartDirectory);
  SaveDialog1->Options |= ofOverwritePrompt;
  if (!SaveDialog1->Execute(this))
    return;
  WriteTableFile(SaveDialog1->FileName, SaveDialog1->FileName);
}

bool TfmMain::WriteTableFile(const QString& name, const QString& titleText) {
  Image.StoreChecksum();
  const TTableWrite written = WriteTableFileSafely(name.toStdString(), Image.Bytes());
  const QString reason = QString::fromStdString(written.Error);
  if (!written.Replaced) {
    MessageBoxA(this,
                QString("Can't save the table file %1: %2.\nThe file on disk is unchanged.")
                    .arg(name, reason),
                "File Error", MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  Process.CurrentFileName = name.toStdString();
  UpdateTitle(titleText);
  if (!written.Ok) {
    MessageBoxA(this, QString("The table file %1 was saved, but %2.").arg(name, reason),
                "File Error", MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  return true;
}
