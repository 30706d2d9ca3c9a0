// Audio files on Windows: a file is replaced whole or not at all. The page is written to a
// file of its own beside the target, then moved over it.

#include "pocsag/transmission.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <limits>
#include <sys/stat.h>

namespace {

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length ? std::string(text, length) : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message;
}

} // namespace

bool WriteAudioFile(const std::string& path, bool wav, const TTransmission& transmission,
                    std::string& error) {
  if (wav && AudioSampleCount(transmission) * 2 > std::numeric_limits<std::uint32_t>::max() - 36u)
    return WriteAudio(-1, wav, transmission, error); // refused before the file is touched
  std::error_code code;
  const std::filesystem::path target(path);
  if (std::filesystem::is_directory(target, code)) {
    error = path + ": is a folder";
    return false;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    error = path + ": the file is read-only";
    return false;
  }
  const std::string temporary = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  const int fd =
      ::_open(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = WriteAudio(fd, wav, transmission, error);
  if (::_close(fd) != 0 && ok) {
    error = std::strerror(errno);
    ok = false;
  }
  if (ok && !MoveFileExA(temporary.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = SystemMessage(GetLastError());
    ok = false;
  }
  if (!ok) {
    DeleteFileA(temporary.c_str());
    error = path + ": " + error;
  }
  return ok;
}
