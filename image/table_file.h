#pragma once
// Table files: the 2048 image bytes on disk, nothing before or after them.

#include "image/config_image.h"

#include <filesystem>
#include <string>

constexpr const char* kDefaultTableName = "default.tbl";
constexpr const char* kBackupExtension = ".BAK";

struct TTableRead {
  bool Ok = false;
  bool TooShort = false;       // the file was read but holds fewer than 2048 bytes
  std::string Error;           // why the file is not usable: the system's reason, the kind of
                               // file it is, or its size (empty when Ok)
  std::uintmax_t FileSize = 0; // the bytes there were; only the first 2048 are used
  TImageBytes Block{};         // the first 2048 bytes when Ok
};

// Reads the first 2048 bytes of a table file. A file shorter than that is refused with its size,
// and anything that is not a regular file (a folder, a FIFO, a device) with its kind; a FIFO is
// never waited on.
TTableRead ReadTableFile(const std::filesystem::path& path);

// The backup name of a table file: its base name without folder and extension, plus ".BAK".
// It has no folder, so the backup lands in the working directory.
std::string BackupName(const std::string& name);

struct TTableWrite {
  bool Ok = false;
  std::string Error;
  bool BackedUp = false; // the previous content is now also under its backup name
  bool Replaced = false; // the new content is in place (also when a later step failed)
};

// Writes a table file so that no failure costs the previous content. The bytes go to a
// temporary file beside the target and are flushed; the previous file gets its backup name as a
// second name (a copy where the file system has no hard links or the working directory is on
// another one), and the temporary file is renamed over the target, whose folder is flushed
// last. A backup that already exists is kept and no new one is made, as a rename onto an
// existing name fails; a backup that cannot be made for any other reason stops the save. If
// the final rename fails, the backup name added is removed again.
// A symbolic link is followed: its target is replaced and the link stays. Anything else that
// is not a regular file is refused. The new file keeps the previous one's permission bits.
TTableWrite WriteTableFileSafely(const std::filesystem::path& path, const TImageBytes& bytes);

// Why a save to `path` would be refused before anything is written (it is a folder, a device,
// a FIFO, or cannot be looked at); empty when it can be tried. Lets a caller refuse early.
std::string SaveTargetProblem(const std::filesystem::path& path);

// The same complete-or-nothing write, without a backup: for files written by scripts.
TTableWrite WriteFileAtomically(const std::filesystem::path& path, const TImageBytes& bytes);
