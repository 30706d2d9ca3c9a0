#include "synth/private_profile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <optional>
#include <unistd.h>

namespace {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos)
    return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// The section a line opens, if it is a section line.
std::optional<std::string> SectionOf(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.size() < 2 || trimmed.front() != '[')
    return std::nullopt;
  const auto close = trimmed.find(']');
  if (close == std::string::npos)
    return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

// The key of a key=value line (comments and other lines have none).
std::optional<std::string> KeyOf(const std::string& line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '[')
    return std::nullopt;
  const auto equals = trimmed.find('=');
  if (equals == std::string::npos)
    return std::nullopt;
  return Trim(trimmed.substr(0, equals));
}

// [first, last) of the section's lines after its header; nothing when the section is absent.
std::optional<std::pair<std::size_t, std::size_t>>
FindSection(const std::vector<std::string>& lines, const std::string& section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionOf(lines[i]);
    if (!name || !SameName(*name, section))
      continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !SectionOf(lines[end]))
      ++end;
    return std::make_pair(i + 1, end);
  }
  return std::nullopt;
}

} // namespace

TPrivateProfile::TPrivateProfile(std::filesystem::path path) : FPath(std::move(path)) {
  std::ifstream in(FPath, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    FLines.push_back(line);
  }
}

std::string TPrivateProfile::GetString(const std::string& section, const std::string& key,
                                       const std::string& defaultValue) const {
  const auto range = FindSection(FLines, section);
  if (!range)
    return defaultValue;
  for (std::size_t i = range->first; i < range->second; ++i) {
    const auto name = KeyOf(FLines[i]);
    if (name && SameName(*name, key))
      return Trim(FLines[i].substr(FLines[i].find('=') + 1));
  }
  return defaultValue;
}

void TPrivateProfile::WriteString(const std::string& section, const std::string& key,
                                  const std::string& value) {
  const auto range = FindSection(FLines, section);
  if (!range) {
    if (!FLines.empty() && !Trim(FLines.back()).empty())
      FLines.emplace_back();
    FLines.push_back("[" + section + "]");
    FLines.push_back(key + "=" + value);
    return;
  }
  std::size_t lastContent = range->first;
  for (std::size_t i = range->first; i < range->second; ++i) {
    const auto name = KeyOf(FLines[i]);
    if (name && SameName(*name, key)) {
      FLines[i] = *name + "=" + value;
      return;
    }
    if (!Trim(FLines[i]).empty())
      lastContent = i + 1;
  }
  // After the section's last non-blank line, so that a blank line between sections stays.
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(lastContent), key + "=" + value);
}

bool TPrivateProfile::Save() const {
  std::error_code failed;
  const std::filesystem::path temporary =
      FPath.string() + ".tmp" + std::to_string(static_cast<long>(::getpid()));
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out)
      return false;
    for (const std::string& line : FLines)
      out << line << "\r\n";
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(temporary, failed);
      return false;
    }
  }
  // Replaces the file where one is there, on Windows too (where rename() would refuse).
  std::filesystem::rename(temporary, FPath, failed);
  if (failed) {
    std::filesystem::remove(temporary, failed);
    return false;
  }
  return true;
}
