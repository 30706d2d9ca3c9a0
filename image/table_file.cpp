#include "image/table_file.h"

std::string BackupName(const std::string& name) {
  // Both separators count: names typed on the other system still get a plain base name.
  const std::size_t slash = name.find_last_of("/\\");
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  const std::size_t dot = base.find_last_of('.');
  if (dot != std::string::npos)
    base.erase(dot);
  base += kBackupExtension;
  return base;
}
