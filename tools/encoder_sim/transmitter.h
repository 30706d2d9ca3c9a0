#pragma once
// The encoder's radio: a key press sends the page of the image the encoder holds, as baseband
// audio, to a file or FIFO. Sending runs on a thread of its own, so that a FIFO waiting for its
// reader never holds up the serial line.

#include "image/config_image.h"
#include "pocsag/transmission.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace sim {

class TTransmitter {
public:
  explicit TTransmitter(std::string airPath);
  ~TTransmitter();
  TTransmitter(const TTransmitter&) = delete;
  TTransmitter& operator=(const TTransmitter&) = delete;

  // Push-button input `key` (1..8) pressed while the encoder holds `image`: its page is queued
  // behind the pages not yet sent. A key that sends nothing is told on standard error.
  void Press(int key, const TImageBytes& image);

private:
  struct TJob {
    std::string Summary;
    TTransmission Transmission;
  };
  // Shared with the sending thread, which may outlive the transmitter (see the destructor).
  struct TState {
    std::string AirPath;
    std::mutex Mutex;
    std::condition_variable Wake;
    std::deque<TJob> Jobs;
    bool Stop = false;
    bool Sending = false;
  };
  static void Work(const std::shared_ptr<TState>& state);

  std::shared_ptr<TState> FState;
  std::thread FThread;
};

} // namespace sim
