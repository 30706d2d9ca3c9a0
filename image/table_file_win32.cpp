// Table files on a Windows file system: the same complete-or-nothing save as elsewhere, through
// a flushed temporary file beside the target, a hard link (or a copy) for the backup, and a
// write-through move over the target.

#include "image/table_file.h"

#include <windows.h>

#include <random>

namespace fs = std::filesystem;

namespace {

// The system's words for an error, without the full stop and line end it puts after them.
std::string SystemText(DWORD error) {
  char words[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, words, sizeof words, nullptr);
  std::string text(words, length);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
    text.pop_back();
  return text.empty() ? "system error " + std::to_string(error) : text;
}

std::string SizeText(std::uintmax_t size) {
  return "it holds " + std::to_string(size) + " bytes; a table file holds " +
         std::to_string(kImageSize);
}

constexpr const char* kFolderText = "it is a folder, not a table file";

// Why an open handle is no table file; empty when it is a file on a disk.
std::string KindText(HANDLE handle, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    return kFolderText;
  switch (GetFileType(handle)) {
  case FILE_TYPE_DISK:
    return "";
  case FILE_TYPE_PIPE:
    return "it is a pipe, not a table file";
  case FILE_TYPE_CHAR:
    return "it is a device, not a table file";
  default:
    return "it is not a regular file";
  }
}

// Closes a handle when it goes out of scope.
class THandle {
public:
  explicit THandle(HANDLE handle) : FHandle(handle) {}
  ~THandle() {
    if (Valid())
      CloseHandle(FHandle);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  bool Valid() const { return FHandle != INVALID_HANDLE_VALUE && FHandle != nullptr; }
  HANDLE Get() const { return FHandle; }
  // Closes now, so that the error of the close is seen; 0 or the system's error.
  DWORD Close() {
    const HANDLE handle = FHandle;
    FHandle = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) ? 0 : GetLastError();
  }

private:
  HANDLE FHandle;
};

// 0 or the system's error.
DWORD WriteAll(HANDLE handle, const std::uint8_t* data, std::size_t length) {
  while (length > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(length), &written, nullptr))
      return GetLastError();
    data += written;
    length -= written;
  }
  return 0;
}

bool Missing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool Taken(DWORD error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// Where a save really writes.
struct TTarget {
  fs::path Path;        // the file to replace: the path given, or what its links lead to
  bool Exists = false;  // a file is there now
  DWORD Attributes = 0; // its attributes when it exists
};

// Follows symbolic links to the file they name. Refuses what is not a file on a disk.
bool ResolveTarget(const fs::path& path, TTarget& target, std::string& error) {
  target.Path = path;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD failure = GetLastError();
    if (Missing(failure))
      return true;
    error = SystemText(failure);
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    std::error_code failed;
    const fs::path end = fs::weakly_canonical(path, failed);
    if (failed) {
      error = failed.message();
      return false;
    }
    target.Path = end;
  }
  // Opened for nothing but a look: a device or a pipe shows itself by its type.
  THandle look(CreateFileW(target.Path.c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!look.Valid()) {
    const DWORD failure = GetLastError();
    if (Missing(failure))
      return true;
    error = SystemText(failure);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(look.Get(), &info)) {
    error = SystemText(GetLastError());
    return false;
  }
  error = KindText(look.Get(), info.dwFileAttributes);
  if (!error.empty())
    return false;
  target.Exists = true;
  target.Attributes = info.dwFileAttributes;
  return true;
}

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

enum class TBackup { Added, AlreadyThere, Failed };

// Gives the file that is about to be replaced its backup name as well, never removing it: a
// second name where the file system has hard links, a flushed copy where it has none (FAT,
// exFAT) or the backup's folder is on another volume. Fails when the name is taken.
TBackup AddBackup(const TTarget& target, const fs::path& backup, DWORD& error) {
  if (CreateHardLinkW(backup.c_str(), target.Path.c_str(), nullptr))
    return TBackup::Added;
  error = GetLastError();
  if (Taken(error))
    return TBackup::AlreadyThere;
  if (!CopyFileW(target.Path.c_str(), backup.c_str(), TRUE)) {
    error = GetLastError();
    return Taken(error) ? TBackup::AlreadyThere : TBackup::Failed;
  }
  THandle copy(CreateFileW(backup.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  error = !copy.Valid() ? GetLastError() : FlushFileBuffers(copy.Get()) ? 0 : GetLastError();
  if (copy.Valid()) {
    const DWORD closed = copy.Close();
    if (error == 0)
      error = closed;
  }
  if (error != 0) {
    DeleteFileW(backup.c_str());
    return TBackup::Failed;
  }
  return TBackup::Added;
}

TTableWrite WriteReplacing(const fs::path& path, const TImageBytes& bytes, bool backup) {
  TTableWrite result;
  TTarget target;
  if (!ResolveTarget(path, target, result.Error))
    return result;
  const fs::path folder = FolderOf(target.Path);
  if (target.Exists) {
    // What would refuse the final move is asked first, before a backup name is added that
    // could then not be taken back: a read-only file, or one another program holds open
    // without letting it be replaced (the backup's second name would share its lock).
    if (target.Attributes & FILE_ATTRIBUTE_READONLY) {
      result.Error = SystemText(ERROR_ACCESS_DENIED);
      return result;
    }
    THandle replaceable(CreateFileW(target.Path.c_str(), DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!replaceable.Valid()) {
      result.Error = SystemText(GetLastError());
      return result;
    }
  }

  std::random_device random;
  fs::path temporary;
  HANDLE created = INVALID_HANDLE_VALUE;
  DWORD error = 0;
  for (int attempt = 0; attempt < 16 && created == INVALID_HANDLE_VALUE; ++attempt) {
    std::wstring name(1, L'.');
    name.append(target.Path.filename().wstring()).append(L".");
    name.append(std::to_wstring(random())).append(L".tmp");
    temporary = folder / name;
    created = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    error = created == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (error != 0 && !Taken(error))
      break;
  }
  if (created == INVALID_HANDLE_VALUE) {
    result.Error = SystemText(error);
    return result;
  }
  THandle file(created);
  error = WriteAll(file.Get(), bytes.data(), bytes.size());
  if (error == 0 && !FlushFileBuffers(file.Get()))
    error = GetLastError();
  const DWORD closed = file.Close();
  if (error == 0)
    error = closed;
  // The new file shows like the old one (hidden, say).
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  if (error == 0 && target.Exists && (target.Attributes & kKept) != 0 &&
      !SetFileAttributesW(temporary.c_str(), target.Attributes & kKept))
    error = GetLastError();
  if (error != 0) {
    DeleteFileW(temporary.c_str());
    result.Error = SystemText(error);
    return result;
  }

  const fs::path backupName = backup && target.Exists ? BackupName(path.string()) : "";
  if (!backupName.empty()) {
    switch (AddBackup(target, backupName, error)) {
    case TBackup::Added:
      result.BackedUp = true;
      break;
    case TBackup::AlreadyThere:
      break;
    case TBackup::Failed:
      DeleteFileW(temporary.c_str());
      result.Error =
          "the backup " + backupName.string() + " could not be made (" + SystemText(error) + ")";
      return result;
    }
  }

  if (!MoveFileExW(temporary.c_str(), target.Path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
    DeleteFileW(temporary.c_str());
    if (result.BackedUp)
      DeleteFileW(backupName.c_str());
    result.BackedUp = false;
    result.Error = SystemText(error);
    return result;
  }
  result.Replaced = true;
  result.Ok = true;
  return result;
}

} // namespace

TTableRead ReadTableFile(const fs::path& path) {
  TTableRead result;
  // Backup semantics open a folder too, so that it is told as one.
  THandle file(CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.Valid()) {
    result.Error = SystemText(GetLastError());
    return result;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) {
    result.Error = SystemText(GetLastError());
    return result;
  }
  result.Error = KindText(file.Get(), info.dwFileAttributes);
  if (!result.Error.empty())
    return result;
  std::size_t got = 0;
  while (got < kImageSize) {
    DWORD n = 0;
    if (!ReadFile(file.Get(), result.Block.data() + got, static_cast<DWORD>(kImageSize - got), &n,
                  nullptr)) {
      result.Error = SystemText(GetLastError());
      result.Block.fill(0);
      return result;
    }
    if (n == 0)
      break;
    got += n;
  }
  result.FileSize = (static_cast<std::uintmax_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (got < kImageSize) {
    // The size read counts: a file that shrank while it was read is as short as what came.
    result.FileSize = got;
    result.TooShort = true;
    result.Error = SizeText(result.FileSize);
    result.Block.fill(0);
    return result;
  }
  result.Ok = true;
  return result;
}

std::string SaveTargetProblem(const fs::path& path) {
  TTarget target;
  std::string error;
  ResolveTarget(path, target, error);
  return error;
}

TTableWrite WriteTableFileSafely(const fs::path& path, const TImageBytes& bytes) {
  return WriteReplacing(path, bytes, true);
}

TTableWrite WriteFileAtomically(const fs::path& path, const TImageBytes& bytes) {
  return WriteReplacing(path, bytes, false);
}
