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

TTransmitter::TTransmitter(std::string airPath)
    : FAirPath(std::move(airPath)), FThread([this] { Work(); }) {}

TTransmitter::~TTransmitter() {
  {
    std::lock_guard lock(FMutex);
    FStop = true;
  }
  FWake.notify_all();
  std::unique_lock lock(FMutex);
  // A page still going out may wait on a FIFO nobody reads: the program is ending, so it is
  // left to the end of the process rather than waited for.
  if (FSending) {
    lock.unlock();
    FThread.detach();
    return;
  }
  lock.unlock();
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
    std::lock_guard lock(FMutex);
    FJobs.push_back({PageSummary(*lookup.Page), lookup.Page->Transmission});
  }
  FWake.notify_all();
}

void TTransmitter::Work() {
  std::unique_lock lock(FMutex);
  for (;;) {
    FWake.wait(lock, [this] { return FStop || !FJobs.empty(); });
    if (FStop)
      return;
    const TJob job = std::move(FJobs.front());
    FJobs.pop_front();
    FSending = true;
    lock.unlock();
    // Appended: a file is a recording of the air, one page after the other.
    const int fd = ::open(FAirPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    std::string error;
    if (fd < 0)
      Tell("cannot send to " + FAirPath + ": " + std::strerror(errno));
    else if (!WriteRawAudio(fd, job.Transmission, error))
      Tell("sending to " + FAirPath + " failed: " + error);
    else
      Tell(job.Summary.substr(0, job.Summary.find(':')) + " sent to " + FAirPath + ":" +
           job.Summary.substr(job.Summary.find(':') + 1));
    if (fd >= 0)
      ::close(fd);
    lock.lock();
    FSending = false;
  }
}

} // namespace sim
