#pragma once
// The encoder's programming interface as the simulator plays it: the entry sequence, the
// command frames, the replies and the data frames. No file descriptors here; the line layer
// feeds received bytes with the line speed and the time they arrived, and sends what comes back.

#include "image/config_image.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using TClock = std::chrono::steady_clock;
using TBytes = std::vector<std::uint8_t>;

// The encoder's own view of the protocol, written from its side of the cable.
constexpr std::uint8_t kEntrySequence[] = {0x3B, 0x8E, 0x41, 0xC7, 0x29};
constexpr int kEntryBaud = 9600;
constexpr int kCommandBaud = 19200;

constexpr std::uint8_t kCmdIdentify = 0x20;
constexpr std::uint8_t kCmdWriteBlock = 0x30;
constexpr std::uint8_t kCmdReadBlock = 0x40;
constexpr std::uint8_t kBlockParameter = 0x02; // parameter 1 of the block commands
constexpr std::uint8_t kIdentifyParameter = 0xFF;

constexpr std::size_t kCommandHeaderSize = 5; // code, complement, three parameters
constexpr std::size_t kChecksumSize = 2;
constexpr std::size_t kReplySize = 8;
constexpr std::size_t kIdentBlockSize = 64;

constexpr std::uint8_t kFrameIdent = 1;
constexpr std::uint8_t kFrameBlock = 2;
constexpr std::uint8_t kFrameWriteResult = 4;

constexpr std::uint8_t kStatusAccepted = 1;
constexpr std::uint8_t kStatusBadChecksum = 2;
constexpr std::uint8_t kStatusWriteOk = 3;
constexpr std::uint8_t kStatusWriteFail = 4;
constexpr std::uint8_t kStatusNotInProgrammer = 6;
constexpr std::uint8_t kStatusCommandError = 8;

// A partial command is given up after this much silence on the line, so that garbage or an
// interrupted frame cannot shift the framing of every later command.
constexpr std::chrono::milliseconds kResyncSilence{100};

struct TIdentity {
  std::uint8_t Pid = 8;
  std::uint8_t Mcu = 1;
  std::uint8_t IapMajor = 1, IapMinor = 0;
  std::uint8_t UserMajor = 1, UserMinor = 0;
};

// Faults the tool must survive. Block sets are bit masks, bit b-1 for block b.
struct TFaults {
  unsigned CorruptBlocks = 0;
  unsigned DropBlocks = 0;
  bool BadImageChecksum = false;
  std::optional<std::uint8_t> ForcedStatus; // every command gets this status, no data frame
  bool BadReplyChecksum = false;
  bool StrayByte = false;
  std::optional<std::uint8_t> WriteResult; // result byte after block 8 instead of "Write OK"
  // Blocks whose data frame (read or write) the encoder stalls before, once each: it sends and
  // reads nothing for StallTime, then goes on where it stopped.
  unsigned StallBlocks = 0;
  std::chrono::milliseconds StallTime{4000};
};

// 16-bit sum of the bytes, as both frame kinds carry it.
std::uint16_t Sum16(const std::uint8_t* data, std::size_t length);

class TEncoderModel {
public:
  // Called with the whole image once all eight blocks of a write arrived; false when it could
  // not be kept, which the write result reports.
  using TSaveHook = std::function<bool(const TImageBytes&)>;
  using TLogHook = std::function<void(const std::string&)>;

  TEncoderModel(const TImageBytes& image, TIdentity identity, TFaults faults);

  void SetSaveHook(TSaveHook hook) { FSave = std::move(hook); }
  void SetLogHook(TLogHook hook) { FLog = std::move(hook); }

  // One byte from the tool, received while the line ran at `baud`. Whatever the encoder sends
  // in answer is appended to `out`.
  void Receive(std::uint8_t byte, int baud, TClock::time_point at, TBytes& out);

  // Where in the answer of the latest Receive a stall begins: the bytes before it go out at
  // once, the rest after the stall. Asking clears it.
  std::optional<std::size_t> TakeStall();

  bool Entered() const { return FEntered; }
  const TImageBytes& Image() const { return FImage; }

private:
  void DropPartial(const char* why);
  void ReceiveCommandByte(std::uint8_t byte, TBytes& out);
  void Execute(TBytes& out);
  void Reply(std::uint8_t status, TBytes& out);
  void DataFrame(std::uint8_t type, const std::uint8_t* payload, std::size_t length, int block,
                 TBytes& out);
  static std::size_t CommandLength(std::uint8_t code);
  void Log(const std::string& text) const;

  TImageBytes FImage;
  TIdentity FIdentity;
  TFaults FFaults;
  TSaveHook FSave;
  TLogHook FLog;

  bool FEntered = false;
  std::size_t FEntryMatched = 0;
  TBytes FCommand;
  std::optional<TClock::time_point> FLastByte;
  unsigned FWrittenBlocks = 0; // blocks received since the last block 1
  unsigned FStalled = 0;       // blocks already stalled before
  std::optional<std::size_t> FStallAt;
};

} // namespace sim
