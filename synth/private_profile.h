#pragma once
// A small INI ("private profile") file reader and writer with the rules settings files of this
// kind follow: section and key names match without regard to letter case, values are trimmed,
// a missing file, section or key gives the caller's default, an existing empty value is empty,
// a write replaces a value in place and keeps every other line, and a new key goes to the end
// of its section (a new section to the end of the file).

#include <filesystem>
#include <string>
#include <vector>

class TPrivateProfile {
public:
  // Reads the file; a missing or unreadable file is an empty profile.
  explicit TPrivateProfile(std::filesystem::path path);

  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& defaultValue) const;
  void WriteString(const std::string& section, const std::string& key, const std::string& value);

  // Writes the lines back: to a temporary file beside the target first, then into place, so a
  // failed save never leaves a cut-off file. Returns false when the file could not be written.
  bool Save() const;

  const std::vector<std::string>& Lines() const { return FLines; }

private:
  std::filesystem::path FPath;
  std::vector<std::string> FLines;
};
