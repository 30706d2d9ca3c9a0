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

// Everything the link keeps for the whole run. Nothing in the link is shared between two
// states: each thread that runs its own state on its own port runs independently.
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

// Status panel 1 after a probe that found nothing and met no port failure.
constexpr const char* kNotResponding = " The KX470U is not responding !";

// Closes and reopens the port of `slot` at `rate`. A failure is told in a message box; the
// port is closed and the poll switched on.
bool OpenLinkPort(TLinkState& state, TLinkHost& host, std::uint32_t rate, int slot);

enum class TOutcome {
  Success,
  Refused,    // another exchange runs
  PortFailed, // the port could not be opened (already told)
  Failed,     // told with a message (or, for the probe, in the status bar)
  WrongModel, // the encoder's PID is neither 8 nor 10
};

// Every operation below is one exchange: while one runs (message boxes included) the others
// are refused at once, without touching the port or the window. An exchange with the encoder
// that fails (time-out, checksum, status, port) clears the encoder present flag, so that the
// next poll tick links again by itself.

// Manual link on the selected port.
TOutcome LinkEncoder(TLinkState& state, TLinkHost& host);
// The presence poll's link: tries every slot; reports in the status bar only, never in a
// message box. A port that fails on one slot is told and the next slot tried; when nothing
// was found, status panel 1 ends with the first such failure. False also when refused.
bool ProbeEncoder(TLinkState& state, TLinkHost& host);

enum class TPollOutcome {
  Busy,      // another exchange runs: nothing was done
  Unchanged, // the encoder is present and the number of ports did not change
  Present,   // probed and found
  Absent,    // probed and not found
};
struct TPollResult {
  TPollOutcome Outcome = TPollOutcome::Busy;
  // Absent: what status panel 1 shows, kNotResponding or the port failure the probe met.
  std::string Status;
};
// One tick of the presence poll: serves the window's pending events, refreshes the port list
// and probes again unless the encoder is known to be present on an unchanged set of ports. It
// is an exchange like the others: refused while one runs. A probe switches the poll off; the
// caller shows the result and switches it on again.
TPollResult PresencePoll(TLinkState& state, TLinkHost& host);

// Reads the encoder's image. Only a complete read with a valid checksum replaces the image;
// `show` then puts it in front of the user before the operation ends.
TOutcome ReadEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image,
                     const std::function<void()>& show);
// Stores the checksum in the image and writes it into the encoder.
TOutcome WriteEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image);
// Reads the encoder's image and compares it with `image`; never changes it. When the whole
// image came through, `encoderImage` (if given) receives it, equal or not.
TOutcome VerifyEncoder(TLinkState& state, TLinkHost& host, const TConfigImage& image,
                       TImageBytes* encoderImage = nullptr);
