#include "link/frame_protocol.h"

#include <array>
#include <chrono>
#include <thread>

void CompleteHost(TLinkHost& host) {
  if (!host.DispatchEvents)
    host.DispatchEvents = [] {};
  if (!host.SetStatus)
    host.SetStatus = [](int, const std::string&) {};
  if (!host.SetProgressRange)
    host.SetProgressRange = [](int) {};
  if (!host.SetProgress)
    host.SetProgress = [](int) {};
  if (!host.Progress)
    host.Progress = [] { return 0; };
  if (!host.Message)
    host.Message = [](const std::string&) {};
  if (!host.EnableWindow)
    host.EnableWindow = [](bool) {};
  if (!host.EnablePagerMenu)
    host.EnablePagerMenu = [](bool) {};
  if (!host.EnableLinkButton)
    host.EnableLinkButton = [](bool) {};
  if (!host.SetPoll)
    host.SetPoll = [](bool) {};
  if (!host.SetIdentification)
    host.SetIdentification = [](const std::string&) {};
}

const char* StatusText(std::uint8_t code) {
  static constexpr std::array<const char*, 10> kTexts{nullptr,
                                                      "Receiver OK",
                                                      "Receiver Fail (Chksum Error)",
                                                      "Write OK",
                                                      "Write Fail",
                                                      "Total Checksum Error",
                                                      "Pager not in programmer. Re-Link, Please !",
                                                      "Data Not Ready. Re-Link, Please !",
                                                      "Command Error",
                                                      "Command Timeout"};
  return code < kTexts.size() ? kTexts[code] : nullptr;
}

std::string StatusMessage(std::uint8_t code) {
  if (const char* text = StatusText(code))
    return text;
  return "Unknown status code " + std::to_string(code) + " !";
}

int PayloadLengthOf(std::uint8_t frameType) {
  switch (frameType) {
  case 1:
    return 64;
  case 2:
    return 256;
  case 3:
    return 0;
  case 4:
    return 1;
  case 5:
    return 1;
  case 255:
    return 0;
  default:
    return -1;
  }
}

namespace {

std::uint16_t Sum16(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < count; ++i)
    sum += bytes[i];
  return static_cast<std::uint16_t>(sum);
}

} // namespace

std::vector<std::uint8_t> BuildCommandFrame(std::uint8_t code, std::uint8_t p1, std::uint8_t p2,
                                            std::uint8_t p3, const std::uint8_t* payload,
                                            std::size_t n) {
  if (!payload)
    n = 0;
  std::vector<std::uint8_t> frame(kFrameOverhead + n);
  frame[kFrameCodeOffset] = code;
  frame[kFrameComplementOffset] = static_cast<std::uint8_t>(code ^ 0xFF);
  frame[kCommandParameterOffset] = p1;
  frame[kCommandParameterOffset + 1] = p2;
  frame[kCommandParameterOffset + 2] = p3;
  for (std::size_t i = 0; i < n; ++i)
    frame[kFramePayloadOffset + i] = payload[i];
  const std::size_t sumAt = kFramePayloadOffset + n;
  const std::uint16_t sum = Sum16(frame.data(), sumAt);
  frame[sumAt] = static_cast<std::uint8_t>(sum >> 8);
  frame[sumAt + 1] = static_cast<std::uint8_t>(sum);
  return frame;
}

bool FrameChecksumOK(const std::uint8_t* buffer, std::size_t length) {
  if (length <= kChecksumLength)
    return false;
  const std::size_t sumAt = length - kChecksumLength;
  const std::uint16_t sum = Sum16(buffer, sumAt);
  return buffer[sumAt] == (sum >> 8) && buffer[sumAt + 1] == (sum & 0xFF);
}

void WaitMicroseconds(std::int64_t microseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
  // Windows' sleeps run on a coarser clock and may end a little before the deadline.
  while (std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_until(deadline);
}

TPortIo PortIoOf(TCommPort& port) {
  TPortIo io;
  io.IsOpen = [&port] { return port.IsOpen(); };
  io.Reconfigure = [&port](std::uint32_t rate, const std::string& name, int format) {
    port.Reconfigure(rate, name, format);
  };
  io.Close = [&port] { port.Close(); };
  io.PendingInput = [&port] { return port.PendingInput(); };
  io.ReceiveByte = [&port] { return port.ReceiveByte(); };
  io.Transmit = [&port](const std::uint8_t* buffer, std::size_t length) {
    port.Transmit(buffer, length);
  };
  io.DiscardBuffers = [&port] { port.DiscardBuffers(); };
  io.WaitForInput = [&port](std::uint32_t microseconds) { port.WaitForInput(microseconds); };
  io.Now = [] {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  io.Pause = [](std::int64_t microseconds) { WaitMicroseconds(microseconds); };
  return io;
}

bool SendRaw(TLinkPort& link, const std::uint8_t* buffer, std::size_t length) {
  if (!link.Io.IsOpen())
    return false;
  link.Io.Transmit(buffer, length);
  return true;
}

namespace {

// One poll: lasts `interval` unless input arrives first. The port's wait may return early
// without input (a hung-up line reports at once, for ever); the rest of the interval is then
// slept, so that a time-out keeps its length instead of running out in a busy loop.
void PollOnce(TLinkPort& link, std::uint32_t interval) {
  const std::int64_t deadline = link.Io.Now() + interval;
  link.Io.WaitForInput(interval);
  if (link.Io.PendingInput() > 0)
    return;
  const std::int64_t left = deadline - link.Io.Now();
  if (left > 0)
    link.Io.Pause(left);
}

// Waits for the next byte as long as `pollLimit` polls of `interval` allow, serving the window
// before every poll; the count starts afresh for every byte. A poll ends early when a byte
// arrives, so the wait costs no more than the byte's own time on the line, while a silent line
// takes the full count of intervals.
bool AwaitByte(TLinkPort& link, TLinkHost& host, unsigned pollLimit, std::uint32_t interval) {
  unsigned polls = 0;
  while (link.Io.PendingInput() == 0) {
    host.DispatchEvents();
    PollOnce(link, interval);
    if (++polls > pollLimit)
      return false;
  }
  return true;
}

} // namespace

bool ReadReply(TLinkPort& link, TLinkHost& host, std::uint8_t* buffer, std::size_t length,
               unsigned pollLimit) {
  if (!link.Io.IsOpen())
    return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (!AwaitByte(link, host, pollLimit, kReplyPollMicroseconds)) {
      link.Io.DiscardBuffers();
      return false;
    }
    buffer[i] = link.Io.ReceiveByte();
  }
  return true;
}

void ShowLinkStatus(TLinkPort& link, TLinkHost& host, std::uint8_t code) {
  // A code without a text of its own is named, so that the failure it means can never show
  // the text of an earlier status ("Receiver OK") or none at all.
  link.StatusText = StatusMessage(code);
  if (code == kStatusNotInProgrammer || code == kStatusDataNotReady)
    host.EnableLinkButton(true);
  host.SetStatus(1, link.StatusText);
}

bool SendCommand(TLinkPort& link, TLinkHost& host, std::uint8_t code, std::uint8_t p1,
                 std::uint8_t p2, std::uint8_t p3, const std::uint8_t* payload, std::size_t n) {
  host.SetStatus(1, "");
  const std::vector<std::uint8_t> frame = BuildCommandFrame(code, p1, p2, p3, payload, n);
  if (link.Io.IsOpen())
    link.Io.DiscardBuffers();
  SendRaw(link, frame.data(), frame.size());
  std::array<std::uint8_t, kReplyLength> reply{};
  if (!ReadReply(link, host, reply.data(), reply.size(), kReplyPollLimit)) {
    link.StatusText = kReadTimeout;
    return false;
  }
  if (!FrameChecksumOK(reply.data(), reply.size())) {
    link.StatusText = kChecksumError;
    return false;
  }
  const std::uint8_t status = reply[kReplyStatusOffset];
  ShowLinkStatus(link, host, status);
  return status == kStatusAccepted;
}

void FeedReceiveState(TReceiveState& state, std::uint8_t byte) {
  if (state.Header == 0) {
    // The headers are the command codes, and 0x50, which no command of ours has.
    if (byte == kIdentify || byte == kWriteBlock || byte == kReadBlock || byte == 0x50)
      state.Header = byte;
    return;
  }
  if (state.Complement == 0) {
    if (byte == (state.Header ^ 0xFF)) {
      state.Complement = byte;
    } else {
      state.Header = 0;
      state.Complement = 0;
    }
    return;
  }
  if (state.FrameType == 0) {
    const int length = PayloadLengthOf(byte);
    if (length >= 0) {
      state.FrameType = byte;
      state.PayloadLength = static_cast<std::size_t>(length);
    } else {
      state = TReceiveState{};
    }
  }
}

bool ReceiveFrame(TLinkPort& link, TLinkHost& host, std::uint8_t* buffer, std::size_t capacity,
                  std::size_t& length, unsigned pollLimit) {
  length = 0;
  if (!link.Io.IsOpen())
    return false;
  std::size_t count = 0;
  link.Receive.PayloadLength = 0;
  for (;;) {
    if (!AwaitByte(link, host, pollLimit, kFramePollMicroseconds)) {
      link.Io.DiscardBuffers();
      host.SetProgress(0);
      link.StatusText = kReadTimeout;
      return false;
    }
    // Bytes that keep coming without forming a frame must not run past the buffer; such a
    // stream would fail the frame's checksum in any case.
    if (count >= capacity) {
      link.Io.DiscardBuffers();
      host.SetProgress(0);
      link.StatusText = kChecksumError;
      return false;
    }
    host.SetProgress(static_cast<int>(count));
    const std::uint8_t byte = link.Io.ReceiveByte();
    FeedReceiveState(link.Receive, byte);
    buffer[count++] = byte;
    if (link.Receive.FrameType != 0 && count >= link.Receive.PayloadLength + kFrameOverhead) {
      length = count;
      return true;
    }
  }
}
