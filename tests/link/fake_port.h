#pragma once
// A scripted serial port for the link: bytes arrive at given moments of a clock that only the
// port's waits move, so time-outs run in no time and can be counted exactly. Beside it a small
// scripted encoder that answers the tool's commands on the ports it is plugged into.

#include "link/link_operations.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

// `bytes` followed by their 16-bit sum, high byte first.
inline TBytes WithSum(TBytes bytes) {
  unsigned sum = 0;
  for (const auto b : bytes)
    sum += b;
  bytes.push_back(static_cast<std::uint8_t>(sum >> 8));
  bytes.push_back(static_cast<std::uint8_t>(sum));
  return bytes;
}

inline TBytes Reply(std::uint8_t status) {
  return WithSum({0x11, 0x22, 0x33, 0x44, 0x55, status});
}

// A data frame of `type` with a payload of `length` bytes and a good sum.
inline TBytes Frame(std::uint8_t header, std::uint8_t type, std::size_t length,
                    std::uint8_t fill = 0x5A) {
  TBytes frame{header, static_cast<std::uint8_t>(header ^ 0xFF), type, 0x00, 0x00};
  frame.resize(kFramePayloadOffset + length, fill);
  return WithSum(frame);
}

inline TBytes FrameWith(std::uint8_t header, std::uint8_t type, const TBytes& payload) {
  TBytes frame{header, static_cast<std::uint8_t>(header ^ 0xFF), type, 0x00, 0x00};
  frame.insert(frame.end(), payload.begin(), payload.end());
  return WithSum(frame);
}

struct TFakePort {
  struct TArrival {
    std::int64_t At; // microseconds on the fake clock
    std::uint8_t Byte;
  };
  struct TOpening {
    std::string Name;
    std::uint32_t Rate;
    bool operator==(const TOpening&) const = default;
  };
  std::deque<TArrival> Incoming;
  TBytes Sent;
  std::vector<std::uint32_t> Waits; // every wait for input asked for
  std::vector<std::int64_t> Pauses; // every wait that input does not end
  std::vector<TOpening> Openings;   // every successful open, in order
  std::int64_t Clock = 0;
  int Discards = 0;
  bool Open = true;
  std::string Name;       // the port open now
  std::uint32_t Rate = 0; // its speed
  // When set, a wait that no byte ends returns after this many microseconds without input,
  // as on a hung-up line (which reports at once, for ever) or when a signal interrupts it.
  std::int64_t WakeEarlyAfter = 0;
  // Ports that cannot be opened, with the error their open raises.
  std::map<std::string, ECommError> OpenFailures;
  // Ports that open (and purge), then fail in every transfer with this error: a pulled adapter.
  std::map<std::string, ECommError> TransferFailures;
  // Called with every block written, after it is recorded in Sent.
  std::function<void(const TBytes&)> Answer;

  // Bytes that arrive together, `after` microseconds from now.
  void Arrive(const TBytes& bytes, std::int64_t after = 0) {
    for (const std::uint8_t byte : bytes)
      Incoming.push_back({Clock + after, byte});
  }
  // Bytes that arrive one by one, each `gap` microseconds after the one before.
  void Trickle(const TBytes& bytes, std::int64_t gap) {
    std::int64_t at = Incoming.empty() ? Clock : std::max(Clock, Incoming.back().At);
    for (const std::uint8_t byte : bytes)
      Incoming.push_back({at += gap, byte});
  }
  std::size_t Arrived() const {
    std::size_t count = 0;
    while (count < Incoming.size() && Incoming[count].At <= Clock)
      ++count;
    return count;
  }

  void Attach(TLinkPort& link) {
    link.Io.IsOpen = [this] { return Open; };
    link.Io.Reconfigure = [this](std::uint32_t rate, const std::string& name, int) {
      Open = false;
      if (const auto failure = OpenFailures.find(name); failure != OpenFailures.end())
        throw failure->second;
      Open = true;
      Name = name;
      Rate = rate;
      Openings.push_back({name, rate});
    };
    link.Io.Close = [this] { Open = false; };
    link.Io.PendingInput = [this] {
      Transfer();
      return Arrived();
    };
    link.Io.ReceiveByte = [this] {
      Transfer();
      if (Arrived() == 0)
        throw std::logic_error("a byte was read that had not arrived");
      const std::uint8_t byte = Incoming.front().Byte;
      Incoming.pop_front();
      return byte;
    };
    link.Io.Transmit = [this](const std::uint8_t* buffer, std::size_t length) {
      Transfer();
      const TBytes block(buffer, buffer + length);
      Sent.insert(Sent.end(), block.begin(), block.end());
      if (Answer)
        Answer(block);
    };
    link.Io.DiscardBuffers = [this] {
      if (!Open)
        throw ECommError{ECommError::NotOpen, 0};
      ++Discards;
      const std::size_t arrived = Arrived();
      Incoming.erase(Incoming.begin(), Incoming.begin() + static_cast<long>(arrived));
    };
    // Like the real port: the wait ends early when a byte arrives within it.
    link.Io.WaitForInput = [this](std::uint32_t microseconds) {
      Waits.push_back(microseconds);
      if (Arrived() > 0)
        return;
      std::int64_t end = Clock + microseconds;
      if (WakeEarlyAfter > 0)
        end = std::min(end, Clock + WakeEarlyAfter);
      Clock = !Incoming.empty() && Incoming.front().At <= end ? Incoming.front().At : end;
    };
    link.Io.Now = [this] { return Clock; };
    link.Io.Pause = [this](std::int64_t microseconds) {
      Pauses.push_back(microseconds);
      Clock += microseconds;
    };
  }

private:
  void Transfer() const {
    if (!Open)
      throw ECommError{ECommError::NotOpen, 0};
    if (const auto failure = TransferFailures.find(Name); failure != TransferFailures.end())
      throw failure->second;
  }
};

// The encoder's side, on the ports it is plugged into: the entry sequence at 9600 baud, then
// Identify, ReadBlock and WriteBlock at 19200 baud, each answered `Latency` microseconds after
// the command went out. It stays in its programming interface once entered, as the device does.
struct TFakeEncoder {
  std::set<std::string> PluggedInto;
  std::uint8_t Pid = 8;
  TImageBytes Image{};
  std::int64_t Latency = 2000;
  std::optional<std::uint8_t> Status; // every command gets this status, and no data frame
  bool Silent = false;                // answers nothing at all
  std::set<std::string> Entered;      // ports on which the entry sequence arrived
  int Commands = 0;

  void Attach(TFakePort& port) {
    port.Answer = [this, &port](const TBytes& block) { Answer(port, block); };
  }

private:
  void Answer(TFakePort& port, const TBytes& block) {
    if (Silent || PluggedInto.count(port.Name) == 0)
      return;
    if (port.Rate == kEntryBaud) {
      if (std::equal(block.begin(), block.end(), std::begin(kEntrySequence),
                     std::end(kEntrySequence)))
        Entered.insert(port.Name);
      return;
    }
    if (port.Rate != kLinkBaud || block.size() < kFrameOverhead)
      return;
    ++Commands;
    const std::uint8_t code = block[kFrameCodeOffset];
    std::uint8_t status = Entered.count(port.Name) ? kStatusAccepted : kStatusNotInProgrammer;
    if (Status)
      status = *Status;
    TBytes answer = Reply(status);
    if (status == kStatusAccepted) {
      const std::size_t at =
          (static_cast<std::size_t>(block[kCommandParameterOffset + 1]) - 1) * kBlockSize;
      if (code == kIdentify) {
        TBytes identification(kIdentificationSize, 0);
        identification[0] = Pid;
        const TBytes frame = FrameWith(kIdentify, 1, identification);
        answer.insert(answer.end(), frame.begin(), frame.end());
      } else if (code == kReadBlock) {
        const TBytes frame =
            FrameWith(kReadBlock, 2, TBytes(Image.begin() + at, Image.begin() + at + kBlockSize));
        answer.insert(answer.end(), frame.begin(), frame.end());
      } else if (code == kWriteBlock) {
        std::copy_n(block.begin() + kFramePayloadOffset, kBlockSize, Image.begin() + at);
        const TBytes frame = FrameWith(kWriteBlock, 4, {kStatusWriteOK});
        answer.insert(answer.end(), frame.begin(), frame.end());
      }
    }
    port.Arrive(answer, Latency);
  }
};
