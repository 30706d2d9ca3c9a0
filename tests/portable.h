#pragma once
// What the tests ask of the system, in one form for POSIX and for Windows: a fresh folder of
// their own and environment variables.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

// A new empty folder under the system's temporary folder, named after `prefix`.
inline std::filesystem::path MakeTemporaryFolder(const std::string& prefix) {
  std::random_device random;
  for (;;) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(random()));
    std::error_code failed;
    if (std::filesystem::create_directory(folder, failed))
      return folder;
    if (failed)
      throw std::filesystem::filesystem_error("no temporary folder", folder, failed);
  }
}

inline void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}

inline void ClearEnvironment(const char* name) {
#ifdef _WIN32
  _putenv_s(name, "");
#else
  unsetenv(name);
#endif
}
