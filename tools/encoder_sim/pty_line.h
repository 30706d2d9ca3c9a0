#pragma once
// The simulator's end of the cable: a pseudo terminal pair whose slave the tool opens as its
// serial port, an optional fixed path linked to it, and the sender that can pace bytes at the
// line rate.

#include "tools/encoder_sim/encoder_model.h"

#include <deque>
#include <optional>
#include <string>

namespace sim {

class TPtyLine {
public:
  TPtyLine() = default;
  TPtyLine(const TPtyLine&) = delete;
  TPtyLine& operator=(const TPtyLine&) = delete;
  ~TPtyLine() { Close(); }

  // Creates the pair; on failure returns false with the reason in `error`.
  bool Open(std::string& error);
  void Close();

  bool IsOpen() const { return FMaster >= 0; }
  int Master() const { return FMaster; }
  const std::string& SlavePath() const { return FSlavePath; }

  // The speed the tool set on its end, in bits per second; 0 when it is not a standard speed.
  int Baud() const;

private:
  int FMaster = -1;
  // Held open for the whole run: without it every close of the tool's port would hang up the
  // master and lose the settings the tool made.
  int FSlave = -1;
  std::string FSlavePath;
};

// A symbolic link at a fixed path to the terminal, removed again when it still points there.
class TLinkPath {
public:
  TLinkPath() = default;
  TLinkPath(const TLinkPath&) = delete;
  TLinkPath& operator=(const TLinkPath&) = delete;
  ~TLinkPath() { Remove(); }

  bool Create(const std::string& path, const std::string& target, std::string& error);
  void Remove();

private:
  std::string FPath, FTarget;
};

// Bytes on their way to the tool. Unpaced, they go out as fast as the terminal takes them;
// paced, byte k of a burst is due k byte times (10 bits at the current speed) after the burst
// began, on absolute deadlines, so a late wake-up catches up instead of stretching the frame.
class TSender {
public:
  explicit TSender(bool pace) : FPace(pace) {}

  void Queue(const TBytes& bytes, TClock::time_point now, int baud);
  // Writes what is due; false on a write error other than a full terminal buffer.
  bool Send(int fd, TClock::time_point now, int baud, std::string& error);
  // How long until the next byte is due, when the sender waits for a deadline.
  std::optional<TClock::duration> Timeout(TClock::time_point now) const;
  // True when the sender waits for the terminal to take more bytes.
  bool WantsWritable() const { return !FPending.empty() && (FBlocked || !FPace); }
  bool Empty() const { return FPending.empty(); }
  void Clear() { FPending.clear(); }

  static TClock::duration ByteTime(int baud);

private:
  bool FPace;
  bool FBlocked = false;
  std::deque<std::uint8_t> FPending;
  TClock::time_point FNextDue{};
};

} // namespace sim
