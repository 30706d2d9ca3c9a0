#pragma once
// Shared pieces of kx470-cli's commands.

#include "image/config_image.h"

#include <optional>
#include <string>
#include <vector>

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct TCommandLine {
  std::string Command;
  std::vector<std::string> Arguments; // positional arguments after the command
  std::optional<std::string> Port;
  std::optional<std::string> Out;
  bool Json = false;
  bool Help = false;
};

// The tool's own message on stderr; returns kExitFailed.
int Fail(const std::string& message);

// Reads a table file for the commands that send or compare it; on failure says why on stderr.
std::optional<TImageBytes> LoadTableFile(const std::string& path);

int RunPorts(const TCommandLine& line);
int RunProbe(const TCommandLine& line);
int RunRead(const TCommandLine& line);
int RunWrite(const TCommandLine& line);
int RunVerify(const TCommandLine& line);
