#include "tools/encoder_sim/transmitter.h"

#include "pocsag/entry_page.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace sim {

namespace {

void Tell(const std::string& text) {
  std::fprintf(stderr, "kx470-sim: %s\n", text.c_str());
  std::fflush(stderr);
}

} // namespace

TTransmitter::TTransmitter(std::string airPath) : FState(std::make_shared<TState>()) {
  FState->AirPath = std::move(airPath);
  FThread = std::thread([state = FState] { Work(state); });
}

TTransmitter::~TTransmitter() {
  std::unique_lock lock(FState->Mutex);
  FState->Stop = true;
  const bool sending = FState->Sending;
  lock.unlock();
  FState->Wake.notify_all();
  // A page still going out may wait on a FIFO nobody reads: the program is ending, so it is
  // left to the end of the process rather than waited for. The thread keeps the state alive.
  if (sending)
    FThread.detach();
  else
    FThread.join();
}

void TTransmitter::Press(int key, const TImageBytes& image) {
  const TPageLookup lookup = PageOfKey(image, key);
  const std::string name = "KEY_S" + std::to_string(key);
  if (!lookup.Page) {
    Tell(lookup.Error.rfind(name, 0) == 0 ? lookup.Error : name + ": " + lookup.Error);
    return;
  }
  for (const std::string& warning : lookup.Page->Warnings)
    Tell("warning: " + warning);
  {
    std::lock_guard lock(FState->Mutex);
    FState->Jobs.push_back({PageSummary(*lookup.Page), lookup.Page->Transmission});
  }
  FState->Wake.notify_all();
}

void TTransmitter::Work(const std::shared_ptr<TState>& state) {
  std::unique_lock lock(state->Mutex);
  for (;;) {
    state->Wake.wait(lock, [&] { return state->Stop || !state->Jobs.empty(); });
    if (state->Stop)
      return;
    const TJob job = std::move(state->Jobs.front());
    state->Jobs.pop_front();
    state->Sending = true;
    lock.unlock();
    const std::string& path = state->AirPath;
    // Appended: a file is a recording of the air, one page after the other.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    std::string error;
    if (fd < 0)
      Tell("cannot send to " + path + ": " + std::strerror(errno));
    else if (!WriteRawAudio(fd, job.Transmission, error))
      Tell("sending to " + path + " failed: " + error);
    else
      Tell(job.Summary.substr(0, job.Summary.find(':')) + " sent to " + path + ":" +
           job.Summary.substr(job.Summary.find(':') + 1));
    if (fd >= 0)
      ::close(fd);
    lock.lock();
    state->Sending = false;
  }
}

} // namespace sim
