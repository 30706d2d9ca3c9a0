#pragma once
// A scripted serial port for the protocol routines: bytes arrive at given moments of a clock
// that only the port's waits move, so time-outs run in no time and can be counted exactly.

#include "link/frame_protocol.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <vector>

struct TFakePort {
  struct TArrival {
    std::int64_t At; // microseconds on the fake clock
    std::uint8_t Byte;
  };
  std::deque<TArrival> Incoming;
  std::vector<std::uint8_t> Sent;
  std::vector<std::uint32_t> Waits; // every poll interval asked for
  std::int64_t Clock = 0;
  int Discards = 0;
  bool Open = true;

  // Bytes that arrive together, `after` microseconds from now.
  void Arrive(const std::vector<std::uint8_t>& bytes, std::int64_t after = 0) {
    for (const std::uint8_t byte : bytes)
      Incoming.push_back({Clock + after, byte});
  }
  // Bytes that arrive one by one, each `gap` microseconds after the one before.
  void Trickle(const std::vector<std::uint8_t>& bytes, std::int64_t gap) {
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
  std::int64_t TotalWait() const {
    std::int64_t total = 0;
    for (const auto wait : Waits)
      total += wait;
    return total;
  }

  void Attach(TLinkPort& link) {
    link.Io.IsOpen = [this] { return Open; };
    link.Io.PendingInput = [this] { return Arrived(); };
    link.Io.ReceiveByte = [this] {
      if (Arrived() == 0)
        throw std::logic_error("a byte was read that had not arrived");
      const std::uint8_t byte = Incoming.front().Byte;
      Incoming.pop_front();
      return byte;
    };
    link.Io.Transmit = [this](const std::uint8_t* buffer, std::size_t length) {
      Sent.insert(Sent.end(), buffer, buffer + length);
    };
    link.Io.DiscardBuffers = [this] {
      ++Discards;
      const std::size_t arrived = Arrived();
      Incoming.erase(Incoming.begin(), Incoming.begin() + static_cast<long>(arrived));
    };
    // Like the real port: the wait ends early when a byte arrives within it.
    link.Io.WaitForInput = [this](std::uint32_t microseconds) {
      Waits.push_back(microseconds);
      const std::int64_t end = Clock + microseconds;
      if (Arrived() > 0)
        return;
      Clock = !Incoming.empty() && Incoming.front().At <= end ? Incoming.front().At : end;
    };
  }
};
