#pragma once
// Starts kx470-sim for a test and stops it by its process id.

#include <csignal>
#include <cstdio>
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

class TSimProcess {
public:
  explicit TSimProcess(std::vector<std::string> options) {
    int out[2];
    if (::pipe(out) != 0)
      return;
    FPid = ::fork();
    if (FPid == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      ExecProgram(KX470_BINARY_DIR "/tools/encoder_sim/kx470-sim", options);
    }
    ::close(out[1]);
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
      Path += c;
    ::close(out[0]);
  }
  ~TSimProcess() { Stop(); }
  int Stop() {
    if (FPid <= 0)
      return -1;
    ::kill(FPid, SIGTERM);
    int status = 0;
    ::waitpid(FPid, &status, 0);
    FPid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Path; // the pty the simulator serves

private:
  pid_t FPid = -1;
};
