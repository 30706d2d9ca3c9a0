#pragma once
// Starts kx470-sim for a test and stops it by its process id; on request with its standard
// input and error on pipes.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

// In a forked child: runs `program` with `arguments`; exits with 127 when it cannot start.
[[noreturn]] inline void ExecProgram(std::string program, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), std::move(program));
  std::vector<char*> argv;
  for (auto& a : arguments)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

// How the simulator's standard input and error are connected: left as the test's own, or on
// pipes, so that the test can type lines to it and read what it says.
enum class ESimStdio { Inherited, Piped };

class TSimProcess {
public:
  explicit TSimProcess(std::vector<std::string> options, ESimStdio stdio = ESimStdio::Inherited) {
    const bool piped = stdio == ESimStdio::Piped;
    int out[2], in[2] = {-1, -1}, err[2] = {-1, -1};
    if (::pipe(out) != 0 || (piped && (::pipe(in) != 0 || ::pipe(err) != 0)))
      return;
    FPid = ::fork();
    if (FPid == 0) {
      ::dup2(out[1], 1);
      if (piped) {
        ::dup2(in[0], 0);
        ::dup2(err[1], 2);
      }
      for (int fd : {out[0], out[1], in[0], in[1], err[0], err[1]})
        if (fd >= 0)
          ::close(fd);
      ExecProgram(KX470_BINARY_DIR "/tools/encoder_sim/kx470-sim", std::move(options));
    }
    ::close(out[1]);
    if (piped) {
      ::close(in[0]);
      ::close(err[1]);
      FIn = in[1];
      FErr = err[0];
    }
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
      Path += c;
    ::close(out[0]);
  }
  ~TSimProcess() {
    Stop();
    for (int fd : {FIn, FErr})
      if (fd >= 0)
        ::close(fd);
  }
  TSimProcess(const TSimProcess&) = delete;
  TSimProcess& operator=(const TSimProcess&) = delete;

  // Stops the simulator (once) and gives its exit status, -1 when it did not exit by itself.
  int Stop() {
    if (FPid <= 0)
      return FExit;
    ::kill(FPid, SIGTERM);
    int status = 0;
    ::waitpid(FPid, &status, 0);
    FPid = -1;
    FExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return FExit;
  }

  // With piped standard input: types a line to the simulator; false when it did not all go.
  bool Say(const std::string& line) {
    const std::string text = line + "\n";
    return FIn >= 0 && ::write(FIn, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }

  // With piped standard error: what the simulator said there, up to and with the first line
  // that contains `what`, or all of it that came within 30 s.
  std::string ErrorUntil(const std::string& what) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (FErr >= 0 && FErrText.find(what) == std::string::npos &&
           std::chrono::steady_clock::now() < end) {
      pollfd fd{FErr, POLLIN, 0};
      if (::poll(&fd, 1, 100) <= 0)
        continue;
      char buffer[512];
      const ssize_t got = ::read(FErr, buffer, sizeof buffer);
      if (got <= 0)
        break;
      FErrText.append(buffer, static_cast<std::size_t>(got));
    }
    return FErrText;
  }

  std::string Path; // the pty the simulator serves

private:
  pid_t FPid = -1;
  int FIn = -1, FErr = -1, FExit = -1;
  std::string FErrText;
};
