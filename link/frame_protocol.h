#pragma once
// The programmer protocol: command frames out, 8-byte replies and data frames in, each with a
// 16-bit big-endian sum. The waits poll the port and keep the user interface served.

#include "link/comm_port.h"
#include "link/link_host.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr std::uint8_t kIdentify = 0x20;
constexpr std::uint8_t kWriteBlock = 0x30;
constexpr std::uint8_t kReadBlock = 0x40;

// Command and data frames: five header bytes, the payload, the 16-bit sum high byte first. The
// header is the command code (data frames: the header byte), its complement, then the three
// parameters (data frames: the frame type and two bytes nobody looks at).
constexpr std::size_t kFrameCodeOffset = 0;
constexpr std::size_t kFrameComplementOffset = 1;
constexpr std::size_t kCommandParameterOffset = 2;
constexpr std::size_t kFrameTypeOffset = 2;
constexpr std::size_t kFramePayloadOffset = 5;
constexpr std::size_t kChecksumLength = 2;
constexpr std::size_t kFrameOverhead = kFramePayloadOffset + kChecksumLength;
// Replies: five bytes nobody looks at, the status, the sum of those six.
constexpr std::size_t kReplyLength = 8;
constexpr std::size_t kReplyStatusOffset = 5;
constexpr std::size_t kReplyChecksumOffset = 6;
static_assert(kReplyChecksumOffset + kChecksumLength == kReplyLength,
              "a reply is checked like a frame: its sum is its last two bytes");

constexpr unsigned kReplyPollLimit = 100; // polls of 5 ms per reply byte
constexpr unsigned kFramePollLimit = 300; // polls of 10 ms per frame byte
constexpr std::uint32_t kReplyPollMicroseconds = 5000;
constexpr std::uint32_t kFramePollMicroseconds = 10000;
constexpr std::uint8_t kStatusAccepted = 1;
constexpr std::uint8_t kStatusWriteOK = 3;
constexpr std::uint8_t kStatusWriteFail = 4;
constexpr std::uint8_t kStatusNotInProgrammer = 6;
constexpr std::uint8_t kStatusDataNotReady = 7;

constexpr const char* kReadTimeout = "Read Timeout !";
constexpr const char* kChecksumError = "Checksum error !";

// The state the data-frame receiver keeps between bytes.
struct TReceiveState {
  std::uint8_t Header = 0;
  std::uint8_t Complement = 0;
  std::uint8_t FrameType = 0;
  std::size_t PayloadLength = 0;
};

// The port operations and the clock the link uses. A TLinkPort points them at its own
// TCommPort and the monotonic clock; tests put a scripted stand-in here to run the link and its
// time-outs without a device or real time.
struct TPortIo {
  std::function<bool()> IsOpen;
  std::function<void(std::uint32_t rate, const std::string& name, int format)> Reconfigure;
  std::function<void()> Close;
  std::function<std::size_t()> PendingInput;
  std::function<std::uint8_t()> ReceiveByte;
  std::function<void(const std::uint8_t*, std::size_t)> Transmit;
  std::function<void()> DiscardBuffers;
  // Waits for input at most this long; may end early, with input or without.
  std::function<void(std::uint32_t microseconds)> WaitForInput;
  std::function<std::int64_t()> Now; // microseconds on a monotonic clock
  // Waits this long whatever arrives (WaitMicroseconds).
  std::function<void(std::int64_t microseconds)> Pause;
};

TPortIo PortIoOf(TCommPort& port);

// The process-wide link: the port and the protocol's memory. It stays where it was made, as
// Io refers to Port.
struct TLinkPort {
  TLinkPort() : Io(PortIoOf(Port)) {}
  TLinkPort(const TLinkPort&) = delete;
  TLinkPort& operator=(const TLinkPort&) = delete;

  TCommPort Port;
  TPortIo Io;
  std::string StatusText; // the latest protocol message
  TReceiveState Receive;
};

// The status text of a reply's status code; nullptr for codes without one (0, 10..255).
const char* StatusText(std::uint8_t code);
// What a failed reply says: its status text, or for a code without one a text naming it.
std::string StatusMessage(std::uint8_t code);
// Payload length of a data frame type; -1 for a type that starts no frame.
int PayloadLengthOf(std::uint8_t frameType);

std::vector<std::uint8_t> BuildCommandFrame(std::uint8_t code, std::uint8_t p1, std::uint8_t p2,
                                            std::uint8_t p3, const std::uint8_t* payload,
                                            std::size_t n);
// The sum of bytes 0..length-3 equals the big-endian value in the last two bytes.
bool FrameChecksumOK(const std::uint8_t* buffer, std::size_t length);

// Sleeps until the deadline on the monotonic clock; no events are served meanwhile.
void WaitMicroseconds(std::int64_t microseconds);

bool SendRaw(TLinkPort& link, const std::uint8_t* buffer, std::size_t length);
bool ReadReply(TLinkPort& link, TLinkHost& host, std::uint8_t* buffer, std::size_t length,
               unsigned pollLimit);
void ShowLinkStatus(TLinkPort& link, TLinkHost& host, std::uint8_t code);
// Discards whatever is waiting (the late answer to an exchange that timed out would otherwise
// be taken as this command's reply), sends the command frame and reads the reply.
bool SendCommand(TLinkPort& link, TLinkHost& host, std::uint8_t code, std::uint8_t p1,
                 std::uint8_t p2, std::uint8_t p3, const std::uint8_t* payload, std::size_t n);

// One step of the receive state machine.
void FeedReceiveState(TReceiveState& state, std::uint8_t byte);
// Receives one data frame into buffer (capacity bytes). Every byte read is stored, stray bytes
// included. Fails on a time-out between two bytes, and when the buffer fills before a frame is
// complete. On success `length` is the number of bytes stored.
bool ReceiveFrame(TLinkPort& link, TLinkHost& host, std::uint8_t* buffer, std::size_t capacity,
                  std::size_t& length, unsigned pollLimit);
