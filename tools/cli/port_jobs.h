#pragma once
// The ports a link command runs on, the file names made from them, and one thread per port.

#include <functional>
#include <string>
#include <vector>

// "auto" as a --port value: every port of the port list on which an encoder answers.
constexpr const char* kAutoPort = "auto";

// The ports named by --port, in the order given, each once (by device path); `auto` stays in
// the list where it was given. An empty list is a usage error.
std::vector<std::string> GivenPorts(const std::vector<std::string>& values);
bool HasAutoPort(const std::vector<std::string>& ports);

// The name a port gives in a file name pattern: its device path without "/dev/", every "/"
// turned into "-" and every character other than a letter, a digit, ".", "_" or "-" into "_":
// /dev/ttyUSB0 gives ttyUSB0, /dev/pts/5 gives pts-5, /tmp/sim/a b gives tmp-sim-a_b.
std::string PortFileName(const std::string& port);
// `pattern` with every "{port}" replaced by PortFileName(port).
std::string ExpandPortPattern(const std::string& pattern, const std::string& port);
bool HasPortPlaceholder(const std::string& pattern);

// Runs job(0) .. job(count - 1) at once, one thread each, and returns when all have ended. A
// job that throws ends alone; its exception is taken by `failed` for that job.
void RunInParallel(std::size_t count, const std::function<void(std::size_t)>& job,
                   const std::function<void(std::size_t, const std::string&)>& failed);
