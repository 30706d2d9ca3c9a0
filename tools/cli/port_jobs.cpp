#include "port_jobs.h"

#include "cli.h"
#include "link/comm_port.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <system_error>
#include <thread>

std::vector<std::string> GivenPorts(const std::vector<std::string>& values) {
  if (values.empty())
    throw EUsage("--port DEVICE is required");
  std::vector<std::string> ports, paths;
  for (const std::string& value : values) {
    if (value.empty())
      throw EUsage("--port needs a device, not an empty name");
    const std::string path = value == kAutoPort ? value : TCommPort::DevicePath(value);
    if (std::find(paths.begin(), paths.end(), path) != paths.end())
      continue;
    paths.push_back(path);
    ports.push_back(value);
  }
  return ports;
}

bool HasAutoPort(const std::vector<std::string>& ports) {
  return std::find(ports.begin(), ports.end(), kAutoPort) != ports.end();
}

std::string PortFileName(const std::string& port) {
  std::string name = TCommPort::DevicePath(port);
  if (name.rfind("/dev/", 0) == 0)
    name.erase(0, 5);
  while (!name.empty() && name.front() == '/')
    name.erase(0, 1);
  for (char& c : name) {
    if (c == '/')
      c = '-';
    else if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
      c = '_';
  }
  // "." and ".." would name folders.
  if (name.empty() || name.find_first_not_of('.') == std::string::npos)
    name.insert(0, "port");
  return name;
}

bool HasPortPlaceholder(const std::string& pattern) {
  return pattern.find("{port}") != std::string::npos;
}

std::string ExpandPortPattern(const std::string& pattern, const std::string& port) {
  const std::string name = PortFileName(port);
  std::string out;
  for (std::size_t at = 0;;) {
    const std::size_t found = pattern.find("{port}", at);
    out += pattern.substr(at, found == std::string::npos ? found : found - at);
    if (found == std::string::npos)
      return out;
    out += name;
    at = found + 6;
  }
}

void RunInParallel(std::size_t count, const std::function<void(std::size_t)>& job,
                   const std::function<void(std::size_t, const std::string&)>& failed) {
  const auto guarded = [&](std::size_t index) {
    try {
      job(index);
    } catch (const std::exception& error) {
      failed(index, error.what());
    } catch (...) {
      failed(index, "unexpected failure");
    }
  };
  if (count == 1) {
    guarded(0);
    return;
  }
  std::vector<std::thread> threads;
  threads.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    try {
      threads.emplace_back(guarded, i);
    } catch (const std::system_error&) {
      // No thread to be had: this port runs here, the others go on in theirs.
      guarded(i);
    }
  }
  for (std::thread& thread : threads)
    thread.join();
}
