#include "link/link_operations.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kLinkBufferSize = 512;
constexpr std::size_t kReadBufferSize = 527;
constexpr std::size_t kWriteBufferSize = 128;
constexpr int kIdentifyProgress = 7;
constexpr int kIdentificationFrame = 71;
constexpr int kTransferProgress = 13;
constexpr std::uint8_t kBlockParameter = 0x02; // parameter 1 of the block commands
constexpr std::uint8_t kIdentifyParameter = 0xFF;

// Holds the link busy for as long as it lives.
class TBusy {
public:
  explicit TBusy(TLinkState& state) : FState(state) { state.Busy = true; }
  ~TBusy() { FState.Busy = false; }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;

private:
  TLinkState& FState;
};

void ClearReceive(TLinkState& state) {
  state.Link.Receive = TReceiveState{};
}

// An exchange with the encoder failed: whatever the cause (a stalled encoder, a pulled cable,
// a port that went away), the next poll tick has to find it again, on a fixed port list too,
// where the port count never changes.
void LinkLost(TLinkState& state) {
  state.EncoderPresent = false;
}

std::string SlotName(const TLinkState& state, int slot) {
  return slot >= 0 && slot < kPortSlots ? state.Ports.Slots[static_cast<std::size_t>(slot)] : "";
}

// The probe's status texts name the port they are about.
std::string ProbeText(const std::string& name, const std::string& text) {
  return " " + (name.empty() ? std::string("(no port)") : name) + ": " + text;
}

// Closes and reopens the port; a failure leaves it closed and its message in `failure`.
bool ReopenPort(TLinkState& state, std::uint32_t rate, const std::string& name,
                std::string& failure) {
  TPortIo& io = state.Link.Io;
  try {
    io.Close();
    io.Reconfigure(rate, name, kDataFormat8N1);
    io.DiscardBuffers();
    return true;
  } catch (const ECommError& error) {
    failure = error.Code == ECommError::OpenFailed ? "Error opening comm port. Port already in use?"
                                                   : "Error opening comm port.";
    try {
      io.Close();
    } catch (const ECommError&) {
    }
    return false;
  }
}

// Linking steps 1 to 4: the entry sequence at 9600 baud, 200 ms for the encoder to switch over
// (no events served meanwhile), then the port again at 19200 baud. For the manual link, with a
// message box when a port cannot be opened.
bool EnterProgramming(TLinkState& state, TLinkHost& host, int slot) {
  if (!OpenLinkPort(state, host, kEntryBaud, slot))
    return false;
  SendRaw(state.Link, kEntrySequence, sizeof kEntrySequence);
  state.Link.Io.Pause(kEntryWaitMicroseconds);
  return OpenLinkPort(state, host, kLinkBaud, slot);
}

// The same steps for the probe, which tells a port that cannot be opened in `failure`.
bool EnterProgrammingQuietly(TLinkState& state, const std::string& name, std::string& failure) {
  if (!ReopenPort(state, kEntryBaud, name, failure))
    return false;
  SendRaw(state.Link, kEntrySequence, sizeof kEntrySequence);
  state.Link.Io.Pause(kEntryWaitMicroseconds);
  return ReopenPort(state, kLinkBaud, name, failure);
}

enum class TIdentify { Accepted, CommandFailed, TimedOut, BadChecksum, WrongModel };

// Linking steps 5 to 7 after the port is open at 19200 baud and the progress bar set for the
// reply: Identify, its frame, the PID.
// The identification block is kept only for a KX470U.
TIdentify Identify(TLinkState& state, TLinkHost& host) {
  if (!SendCommand(state.Link, host, kIdentify, kIdentifyParameter, kIdentifyParameter,
                   kIdentifyParameter, nullptr, 0))
    return TIdentify::CommandFailed;
  host.SetProgressRange(kIdentificationFrame);
  host.SetProgress(0);
  ClearReceive(state);
  std::uint8_t frame[kLinkBufferSize] = {};
  std::size_t length = 0;
  if (!ReceiveFrame(state.Link, host, frame, sizeof frame, length, kFramePollLimit))
    return TIdentify::TimedOut;
  // A frame too short to hold the block cannot be the identification, whatever its sum says.
  if (!FrameChecksumOK(frame, length) || length < kIdentificationSize + kFrameOverhead)
    return TIdentify::BadChecksum;
  if (!IsKX470U(frame[kFramePayloadOffset]))
    return TIdentify::WrongModel;
  std::memcpy(state.Identification.data(), frame + kFramePayloadOffset, kIdentificationSize);
  return TIdentify::Accepted;
}

// "Restore": the end of read, write and verify.
void Restore(TLinkHost& host, bool statusText, bool poll) {
  host.SetProgress(0);
  host.EnableWindow(true);
  host.EnablePagerMenu(true);
  if (statusText)
    host.SetStatus(1, " Ready");
  if (poll)
    host.SetPoll(true);
}

// Reads the 8 blocks into `copy` and checks the image checksum; reports its own failures
// after restoring. The image itself is never touched here.
bool ReadImage(TLinkState& state, TLinkHost& host, TImageBytes& copy, bool poll) {
  const auto fail = [&](const std::string& text) {
    Restore(host, true, poll);
    host.Message(text);
    return false;
  };
  const auto lost = [&](const std::string& text) {
    LinkLost(state);
    return fail(text);
  };
  copy.fill(0);
  for (int block = 1; block <= kBlockCount; ++block) {
    if (!SendCommand(state.Link, host, kReadBlock, kBlockParameter,
                     static_cast<std::uint8_t>(block), kBlockCount, nullptr, 0))
      return lost(state.Link.StatusText);
    ClearReceive(state);
    std::uint8_t frame[kReadBufferSize] = {};
    std::size_t length = 0;
    if (!ReceiveFrame(state.Link, host, frame, sizeof frame, length, kFramePollLimit))
      return lost(state.Link.StatusText);
    // A short frame with a good sum would fill the block from the cleared buffer: refuse it.
    if (!FrameChecksumOK(frame, length) || length < kBlockSize + kFrameOverhead)
      return lost(kChecksumError);
    std::memcpy(copy.data() + (static_cast<std::size_t>(block) - 1) * kBlockSize,
                frame + kFramePayloadOffset, kBlockSize);
    host.SetProgress(host.Progress() + block - 1);
    host.DispatchEvents();
  }
  // Every frame came through whole: a wrong image checksum is the encoder's content, not a
  // fault of the link.
  if (!ChecksumValid(copy))
    return fail(kChecksumError);
  return true;
}

// A port that fails in the middle of an exchange (an adapter pulled out) closes the port and
// forgets the encoder, so that the next poll tick links afresh.
std::string PortFailure(TLinkState& state, const ECommError& error) {
  try {
    state.Link.Io.Close();
  } catch (const ECommError&) {
  }
  LinkLost(state);
  state.Link.StatusText = DescribeCommError(error) + ". Re-Link, Please !";
  return state.Link.StatusText;
}

// Runs one user operation as the only exchange. A port failure ends it with a message instead
// of leaving the window disabled; the Pager menu goes off until the encoder is linked again.
// The link stays busy until the message box is closed.
template <typename TOperation>
TOutcome RunExchange(TLinkState& state, TLinkHost& host, bool poll, TOperation operation) {
  if (state.Busy)
    return TOutcome::Refused;
  const TBusy busy(state);
  try {
    return operation();
  } catch (const ECommError& error) {
    const std::string text = PortFailure(state, error);
    Restore(host, true, poll);
    host.EnablePagerMenu(false);
    host.Message(text);
    return TOutcome::Failed;
  }
}

TOutcome DoLinkEncoder(TLinkState& state, TLinkHost& host) {
  host.SetPoll(false);
  if (!EnterProgramming(state, host, state.SelectedPort)) {
    LinkLost(state);
    return TOutcome::PortFailed;
  }
  host.SetStatus(1, "");
  host.SetProgressRange(kIdentifyProgress);
  host.SetProgress(0);
  host.EnablePagerMenu(false);
  host.EnableWindow(false);
  const TIdentify result = Identify(state, host);
  if (result == TIdentify::CommandFailed || result == TIdentify::TimedOut ||
      result == TIdentify::BadChecksum) {
    host.EnableWindow(true);
    host.SetProgress(0);
    host.SetPoll(true);
    LinkLost(state);
    host.Message(result == TIdentify::BadChecksum ? kChecksumError : state.Link.StatusText);
    return TOutcome::Failed;
  }
  TOutcome outcome = TOutcome::WrongModel;
  if (result == TIdentify::Accepted) {
    host.Message("Link Success");
    host.EnablePagerMenu(true);
    host.SetIdentification(IdentificationLine(state.Identification));
    outcome = TOutcome::Success;
  } else {
    LinkLost(state);
    host.Message("The model is not KX470U !");
  }
  host.SetPoll(true);
  host.SetProgress(0);
  host.EnableWindow(true);
  return outcome;
}

struct TProbe {
  bool Found = false;
  std::string FirstPortFailure; // as told in status panel 1
};

TProbe DoProbeEncoder(TLinkState& state, TLinkHost& host) {
  TProbe probe;
  const auto portFailed = [&](const std::string& text) {
    host.SetStatus(1, text);
    if (probe.FirstPortFailure.empty())
      probe.FirstPortFailure = text;
  };
  // When nothing was found, a port failure met on the way is what panel 1 ends with: it says
  // more than the time-out of the slot after it.
  const auto end = [&] {
    if (!probe.FirstPortFailure.empty())
      host.SetStatus(1, probe.FirstPortFailure);
    return probe;
  };
  for (int slot = 0; slot < state.Ports.Count; ++slot) {
    const std::string name = SlotName(state, slot);
    try {
      // A port that cannot be opened is skipped at once: no entry sequence, no waiting.
      std::string failure;
      if (!EnterProgrammingQuietly(state, name, failure)) {
        portFailed(ProbeText(name, failure));
        continue;
      }
      host.SetProgressRange(kIdentifyProgress);
      host.SetProgress(0);
      switch (Identify(state, host)) {
      case TIdentify::CommandFailed:
        host.EnableWindow(true);
        host.SetProgress(0);
        host.SetStatus(1, state.Link.StatusText);
        continue;
      case TIdentify::TimedOut:
        host.SetProgress(0);
        host.SetStatus(1, state.Link.StatusText);
        host.EnableWindow(true);
        return end();
      case TIdentify::BadChecksum:
        host.EnableWindow(true);
        host.SetProgress(0);
        host.SetStatus(1, kChecksumError);
        return end();
      case TIdentify::WrongModel:
        host.EnableWindow(true);
        host.SetProgress(0);
        host.SetStatus(2, "The model is not KX470U !");
        return end();
      case TIdentify::Accepted:
        host.SetStatus(1, "Link Success");
        host.EnablePagerMenu(true);
        host.SetStatus(2, IdentificationLine(state.Identification));
        host.SetProgress(0);
        state.SelectedPort = slot;
        probe.Found = true;
        return probe;
      }
    } catch (const ECommError& error) {
      // A port that fails in the middle (pulled out, or not a serial port after all) costs
      // this slot only.
      host.SetProgress(0);
      host.EnableWindow(true);
      portFailed(ProbeText(name, PortFailure(state, error)));
    }
  }
  host.SetProgress(0);
  return end();
}

TOutcome DoReadEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image,
                       const std::function<void()>& show) {
  host.SetPoll(false);
  host.EnablePagerMenu(false);
  host.EnableWindow(false);
  host.SetProgressRange(kTransferProgress);
  host.SetProgress(0);
  TImageBytes copy{};
  if (!ReadImage(state, host, copy, true))
    return TOutcome::Failed;
  host.Message("Read Success");
  image.Assign(copy);
  if (show)
    show();
  Restore(host, true, true);
  return TOutcome::Success;
}

TOutcome DoWriteEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image) {
  host.SetPoll(false);
  host.EnablePagerMenu(false);
  host.EnableWindow(false);
  if (!OpenLinkPort(state, host, kLinkBaud, state.SelectedPort)) {
    LinkLost(state);
    host.EnableWindow(true);
    host.EnablePagerMenu(true);
    return TOutcome::PortFailed;
  }
  image.StoreChecksum();
  host.SetProgressRange(kTransferProgress);
  host.SetProgress(0);
  // A failed block keeps the status of its reply in panel 1.
  const auto fail = [&](const std::string& text) {
    LinkLost(state);
    host.Message(text);
    Restore(host, false, true);
    return TOutcome::Failed;
  };
  std::uint8_t frame[kWriteBufferSize] = {};
  for (int block = 1; block <= kBlockCount; ++block) {
    const std::uint8_t* payload = image.Data() + (static_cast<std::size_t>(block) - 1) * kBlockSize;
    if (!SendCommand(state.Link, host, kWriteBlock, kBlockParameter,
                     static_cast<std::uint8_t>(block), kBlockCount, payload, kBlockSize))
      return fail(state.Link.StatusText);
    ClearReceive(state);
    std::memset(frame, 0, sizeof frame);
    std::size_t length = 0;
    if (!ReceiveFrame(state.Link, host, frame, sizeof frame, length, kFramePollLimit))
      return fail(state.Link.StatusText);
    if (!FrameChecksumOK(frame, length) || length < 1 + kFrameOverhead)
      return fail(kChecksumError);
    host.SetProgress(host.Progress() + block - 1);
    host.DispatchEvents();
  }
  // Only the frame after the last block says whether the encoder took the image; anything but
  // "Write OK" is told with its own status text and is no success.
  TOutcome outcome = TOutcome::Success;
  const std::uint8_t result = frame[kFramePayloadOffset];
  if (result == kStatusWriteOK) {
    host.Message("Write Success");
  } else {
    const char* text = StatusText(result);
    host.Message(text ? text : StatusText(kStatusWriteFail));
    outcome = TOutcome::Failed;
  }
  Restore(host, true, true);
  return outcome;
}

TOutcome DoVerifyEncoder(TLinkState& state, TLinkHost& host, const TConfigImage& image,
                         TImageBytes* encoderImage) {
  host.EnablePagerMenu(false);
  host.EnableWindow(false);
  host.SetProgressRange(kTransferProgress);
  host.SetProgress(0);
  TImageBytes copy{};
  if (!ReadImage(state, host, copy, false))
    return TOutcome::Failed;
  if (encoderImage)
    *encoderImage = copy;
  if (copy != image.Bytes()) {
    Restore(host, true, false);
    host.Message("Verify error !");
    return TOutcome::Failed;
  }
  host.Message("Verify success !");
  Restore(host, true, false);
  return TOutcome::Success;
}

} // namespace

std::string IdentificationLine(const std::array<std::uint8_t, kIdentificationSize>& block) {
  char line[128];
  std::snprintf(line, sizeof line, "PID:%d,  MCU Type:%d,  IAP Ver:%d.%d,  User Ver:%d.%d",
                block[0], block[1], block[2], block[3], block[4], block[5]);
  return line;
}

bool IsKX470U(std::uint8_t pid) {
  return pid == 8 || pid == 10;
}

bool OpenLinkPort(TLinkState& state, TLinkHost& host, std::uint32_t rate, int slot) {
  std::string failure;
  if (ReopenPort(state, rate, SlotName(state, slot), failure))
    return true;
  host.Message(failure);
  host.SetPoll(true);
  return false;
}

TOutcome LinkEncoder(TLinkState& state, TLinkHost& host) {
  return RunExchange(state, host, true, [&] { return DoLinkEncoder(state, host); });
}

bool ProbeEncoder(TLinkState& state, TLinkHost& host) {
  if (state.Busy)
    return false;
  const TBusy busy(state);
  return DoProbeEncoder(state, host).Found;
}

TPollResult PresencePoll(TLinkState& state, TLinkHost& host) {
  if (state.Busy)
    return {};
  // An exchange those events start runs to its end inside them.
  host.DispatchEvents();
  const TBusy busy(state);
  RefreshPortList(state.Ports);
  if (state.Ports.Count == state.LastPortCount && state.EncoderPresent)
    return {TPollOutcome::Unchanged, ""};
  host.SetPoll(false);
  state.LastPortCount = state.Ports.Count;
  const TProbe probe = DoProbeEncoder(state, host);
  state.EncoderPresent = probe.Found;
  if (probe.Found)
    return {TPollOutcome::Present, ""};
  return {TPollOutcome::Absent,
          probe.FirstPortFailure.empty() ? kNotResponding : probe.FirstPortFailure};
}

TOutcome ReadEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image,
                     const std::function<void()>& show) {
  return RunExchange(state, host, true, [&] { return DoReadEncoder(state, host, image, show); });
}

TOutcome WriteEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image) {
  return RunExchange(state, host, true, [&] { return DoWriteEncoder(state, host, image); });
}

TOutcome VerifyEncoder(TLinkState& state, TLinkHost& host, const TConfigImage& image,
                       TImageBytes* encoderImage) {
  return RunExchange(state, host, false,
                     [&] { return DoVerifyEncoder(state, host, image, encoderImage); });
}
