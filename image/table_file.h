#pragma once
// Table files: the 2048 image bytes on disk, nothing before or after them.

#include "image/config_image.h"

#include <filesystem>
#include <string>

constexpr const char* kDefaultTableName = "default.tbl";
constexpr const char* kBackupExtension = ".BAK";

struct TTableRead {
  bool Ok = false;
  std::string Error;           // why the file could not be read (empty when Ok)
  std::uintmax_t FileSize = 0; // the whole file's size; only the first 2048 bytes are used
  TImageBytes Block{};         // the first 2048 bytes, zero-filled when the file is shorter
};

// Reads the first 2048 bytes of a table file. A short file is read as far as it goes and the
// rest of the block stays zero; FileSize tells the caller how much there was.
TTableRead ReadTableFile(const std::filesystem::path& path);

// The backup name of a table file: its base name without folder and extension, plus ".BAK".
// It has no folder, so the backup lands in the working directory.
std::string BackupName(const std::string& name);

struct TTableWrite {
  bool Ok = false;
  std::string Error;
  bool BackedUp = false; // the previous file was renamed to its backup name
};

// Writes a table file so that a failure never costs the previous content: the bytes go to a
// temporary file beside the target first; only when that file is complete and flushed is the
// old file renamed to its backup (a backup that already exists is kept, as a rename onto an
// existing name fails) and the new file moved into place.
TTableWrite WriteTableFileSafely(const std::filesystem::path& path, const TImageBytes& bytes);

// The same complete-or-nothing write, without a backup: for files written by scripts.
TTableWrite WriteFileAtomically(const std::filesystem::path& path, const TImageBytes& bytes);
