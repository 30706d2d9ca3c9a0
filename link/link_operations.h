#pragma once
// The programmer link's operations: linking to the encoder (by hand or by the presence poll),
// reading its configuration, writing it, and verifying it.

#include "image/config_image.h"
#include "link/frame_protocol.h"
#include "link/port_list.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

constexpr std::uint8_t kEntrySequence[5] = {0x3B, 0x8E, 0x41, 0xC7, 0x29};
constexpr std::uint32_t kEntryBaud = 9600;
constexpr std::uint32_t kLinkBaud = 19200;
constexpr std::int64_t kEntryWaitMicroseconds = 200000;
constexpr std::size_t kIdentificationSize = 64;

// Everything the link keeps for the whole run.
struct TLinkState {
  TLinkPort Link;
  TPortList Ports;
  int SelectedPort = 0;        // the slot the manual link and write use
  bool EncoderPresent = false; // the presence poll's memory
  int LastPortCount = -1;
  std::array<std::uint8_t, kIdentificationSize> Identification{};
  bool Busy = false; // an exchange runs: no other may start
};

// "PID:%d,  MCU Type:%d,  IAP Ver:%d.%d,  User Ver:%d.%d"
std::string IdentificationLine(const std::array<std::uint8_t, kIdentificationSize>& block);
bool IsKX470U(std::uint8_t pid);

// Closes and reopens the port of `slot` at `rate`. A failure is told in a message box, or,
// for the presence poll (quiet), in status panel 1; the port is closed and the poll switched on.
bool OpenLinkPort(TLinkState& state, TLinkHost& host, std::uint32_t rate, int slot, bool quiet);

enum class TOutcome {
  Success,
  Refused,    // another exchange runs
  PortFailed, // the port could not be opened (already told)
  Failed,     // told with a message (or, for the probe, in the status bar)
  WrongModel, // the encoder's PID is neither 8 nor 10
};

// Every operation below is one exchange: while one runs (message boxes included) the others
// are refused at once, without touching the port or the window.

// Manual link on the selected port.
TOutcome LinkEncoder(TLinkState& state, TLinkHost& host);
// The presence poll's link: tries every slot; reports in the status bar only, never in a
// message box. False also when refused.
bool ProbeEncoder(TLinkState& state, TLinkHost& host);

enum class TPollResult {
  Busy,      // another exchange runs: nothing was done
  Unchanged, // the encoder is present and the number of ports did not change
  Present,   // probed and found
  Absent,    // probed and not found
};
// One tick of the presence poll, after the caller served the window's events: refreshes the
// port list and probes again unless the encoder is known to be present on an unchanged set of
// ports. A probe switches the poll off; the caller shows the result and switches it on again.
TPollResult PresencePoll(TLinkState& state, TLinkHost& host);

// Reads the encoder's image. Only a complete read with a valid checksum replaces the image;
// `show` then puts it in front of the user before the operation ends.
TOutcome ReadEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image,
                     const std::function<void()>& show);
// Stores the checksum in the image and writes it into the encoder.
TOutcome WriteEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image);
// Reads the encoder's image and compares it with `image`; never changes it.
TOutcome VerifyEncoder(TLinkState& state, TLinkHost& host, const TConfigImage& image);
