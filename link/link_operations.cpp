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

// Marks an exchange as running for as long as it lives.
class TExchange {
public:
  explicit TExchange(TLinkState& state) : FState(state), FOwner(!state.Busy) { state.Busy = true; }
  ~TExchange() {
    if (FOwner)
      FState.Busy = false;
  }
  bool Refused() const { return !FOwner; }

private:
  TLinkState& FState;
  bool FOwner;
};

// Linking steps 1 to 4: entry sequence at 9600 baud, 200 ms, reopen at 19200 baud.
bool EnterProgramming(TLinkState& state, TLinkHost& host, int slot, bool quiet) {
  if (!OpenLinkPort(state, host, kEntryBaud, slot, quiet))
    return false;
  SendRaw(state.Link, kEntrySequence, sizeof kEntrySequence);
  WaitMicroseconds(kEntryWaitMicroseconds);
  return OpenLinkPort(state, host, kLinkBaud, slot, quiet);
}

void ClearReceive(TLinkState& state) {
  state.Link.Receive = TReceiveState{};
}

// "Restore": the end of read, write and verify.
void Restore(TLinkState&, TLinkHost& host, bool statusText, bool poll) {
  host.SetProgress(0);
  host.EnableWindow(true);
  host.EnablePagerMenu(true);
  if (statusText)
    host.SetStatus(1, " Ready");
  if (poll)
    host.SetPoll(true);
}

// Reads the 8 blocks into `copy` and checks the image checksum. Reports its own failures.
bool ReadImage(TLinkState& state, TLinkHost& host, TImageBytes& copy, bool poll) {
  copy.fill(0);
  for (int block = 1; block <= kBlockCount; ++block) {
    if (!SendCommand(state.Link, host, kReadBlock, 0x02, static_cast<std::uint8_t>(block),
                     kBlockCount, nullptr, 0)) {
      Restore(state, host, true, poll);
      host.Message(state.Link.StatusText);
      return false;
    }
    ClearReceive(state);
    std::uint8_t frame[kReadBufferSize] = {};
    std::size_t length = 0;
    if (!ReceiveFrame(state.Link, host, frame, sizeof frame, length, kFramePollLimit)) {
      Restore(state, host, true, poll);
      host.Message(state.Link.StatusText);
      return false;
    }
    if (!FrameChecksumOK(frame, length) || length < 5 + kBlockSize) {
      Restore(state, host, true, poll);
      host.Message(kChecksumError);
      return false;
    }
    std::memcpy(copy.data() + (static_cast<std::size_t>(block) - 1) * kBlockSize, frame + 5,
                kBlockSize);
    host.SetProgress(host.Progress() + block - 1);
    host.DispatchEvents();
  }
  if (!ChecksumValid(copy)) {
    Restore(state, host, true, poll);
    host.Message(kChecksumError);
    return false;
  }
  return true;
}

} // namespace

namespace {
TOutcome DoLinkEncoder(TLinkState& state, TLinkHost& host);
bool DoProbeEncoder(TLinkState& state, TLinkHost& host);
TOutcome DoReadEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image,
                       const std::function<void()>& show);
TOutcome DoWriteEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image);
TOutcome DoVerifyEncoder(TLinkState& state, TLinkHost& host, const TConfigImage& image);

// A port that fails in the middle of a transfer (an adapter unplugged) ends the operation
// with a message instead of an error nobody handles; the window is given back whole.
std::string PortFailure(TLinkState& state, const ECommError& error) {
  try {
    state.Link.Port.Close();
  } catch (const ECommError&) {
  }
  state.Link.StatusText = "Serial port error " + std::to_string(error.Code) + " (" +
                          std::to_string(error.SystemError) + "). Re-Link, Please !";
  return state.Link.StatusText;
}

template <typename TOperation>
TOutcome Guarded(TLinkState& state, TLinkHost& host, bool poll, TOperation operation) {
  try {
    return operation();
  } catch (const ECommError& error) {
    const std::string text = PortFailure(state, error);
    Restore(state, host, true, poll);
    host.EnablePagerMenu(false);
    host.Message(text);
    return TOutcome::Failed;
  }
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

bool OpenLinkPort(TLinkState& state, TLinkHost& host, std::uint32_t rate, int slot, bool quiet) {
  TCommPort& port = state.Link.Port;
  const std::string name =
      slot >= 0 && slot < kPortSlots ? state.Ports.Slots[static_cast<std::size_t>(slot)] : "";
  try {
    port.Close();
    port.Reconfigure(rate, name, kDataFormat8N1);
    port.DiscardBuffers();
    return true;
  } catch (const ECommError& error) {
    const std::string text = error.Code == 8 ? "Error opening comm port. Port already in use?"
                                             : "Error opening comm port.";
    if (quiet)
      host.SetStatus(1, " " + (name.empty() ? std::string("(no port)") : name) + ": " + text);
    else
      host.Message(text);
    try {
      port.Close();
    } catch (const ECommError&) {
    }
    host.SetPoll(true);
    return false;
  }
}

namespace {
TOutcome DoLinkEncoder(TLinkState& state, TLinkHost& host) {
  const TExchange exchange(state);
  if (exchange.Refused())
    return TOutcome::Refused;
  host.SetPoll(false);
  if (!EnterProgramming(state, host, state.SelectedPort, false))
    return TOutcome::PortFailed;
  host.SetStatus(1, "");
  host.SetProgressRange(kIdentifyProgress);
  host.SetProgress(0);
  host.EnablePagerMenu(false);
  host.EnableWindow(false);
  auto fail = [&](const std::string& text) {
    host.EnableWindow(true);
    host.SetProgress(0);
    host.SetPoll(true);
    host.Message(text);
    return TOutcome::Failed;
  };
  if (!SendCommand(state.Link, host, kIdentify, 0xFF, 0xFF, 0xFF, nullptr, 0))
    return fail(state.Link.StatusText);
  host.SetProgressRange(kIdentificationFrame);
  host.SetProgress(0);
  ClearReceive(state);
  std::uint8_t frame[kLinkBufferSize] = {};
  std::size_t length = 0;
  if (!ReceiveFrame(state.Link, host, frame, sizeof frame, length, kFramePollLimit))
    return fail(state.Link.StatusText);
  if (!FrameChecksumOK(frame, length) || length < 5 + kIdentificationSize)
    return fail(kChecksumError);
  TOutcome outcome = TOutcome::WrongModel;
  if (IsKX470U(frame[5])) {
    std::memcpy(state.Identification.data(), frame + 5, kIdentificationSize);
    host.Message("Link Success");
    host.EnablePagerMenu(true);
    host.SetIdentification(IdentificationLine(state.Identification));
    outcome = TOutcome::Success;
  } else {
    host.Message("The model is not KX470U !");
  }
  host.SetPoll(true);
  host.SetProgress(0);
  host.EnableWindow(true);
  return outcome;
}

bool DoProbeEncoder(TLinkState& state, TLinkHost& host) {
  for (int slot = 0; slot < state.Ports.Count; ++slot) {
    // A port that cannot be opened is skipped at once: no entry sequence, no waiting.
    if (!EnterProgramming(state, host, slot, true))
      continue;
    host.SetProgressRange(kIdentifyProgress);
    host.SetProgress(0);
    if (!SendCommand(state.Link, host, kIdentify, 0xFF, 0xFF, 0xFF, nullptr, 0)) {
      host.EnableWindow(true);
      host.SetProgress(0);
      host.SetStatus(1, state.Link.StatusText);
      continue;
    }
    host.SetProgressRange(kIdentificationFrame);
    host.SetProgress(0);
    ClearReceive(state);
    std::uint8_t frame[kLinkBufferSize] = {};
    std::size_t length = 0;
    if (!ReceiveFrame(state.Link, host, frame, sizeof frame, length, kFramePollLimit)) {
      host.SetProgress(0);
      host.SetStatus(1, state.Link.StatusText);
      host.EnableWindow(true);
      return false;
    }
    if (!FrameChecksumOK(frame, length) || length < 5 + kIdentificationSize) {
      host.EnableWindow(true);
      host.SetProgress(0);
      host.SetStatus(1, kChecksumError);
      return false;
    }
    if (!IsKX470U(frame[5])) {
      host.EnableWindow(true);
      host.SetProgress(0);
      host.SetStatus(2, "The model is not KX470U !");
      return false;
    }
    std::memcpy(state.Identification.data(), frame + 5, kIdentificationSize);
    host.SetStatus(1, "Link Success");
    host.EnablePagerMenu(true);
    host.SetStatus(2, IdentificationLine(state.Identification));
    host.SetProgress(0);
    state.SelectedPort = slot;
    return true;
  }
  host.SetProgress(0);
  return false;
}

TOutcome DoReadEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image,
                       const std::function<void()>& show) {
  const TExchange exchange(state);
  if (exchange.Refused())
    return TOutcome::Refused;
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
  Restore(state, host, true, true);
  return TOutcome::Success;
}

TOutcome DoWriteEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image) {
  const TExchange exchange(state);
  if (exchange.Refused())
    return TOutcome::Refused;
  host.SetPoll(false);
  host.EnablePagerMenu(false);
  host.EnableWindow(false);
  if (!OpenLinkPort(state, host, kLinkBaud, state.SelectedPort, false)) {
    host.EnableWindow(true);
    host.EnablePagerMenu(true);
    return TOutcome::PortFailed;
  }
  image.StoreChecksum();
  host.SetProgressRange(kTransferProgress);
  host.SetProgress(0);
  std::uint8_t frame[kWriteBufferSize] = {};
  std::size_t length = 0;
  for (int block = 1; block <= kBlockCount; ++block) {
    const std::uint8_t* payload = image.Data() + (static_cast<std::size_t>(block) - 1) * kBlockSize;
    auto fail = [&](const std::string& text) {
      host.Message(text);
      Restore(state, host, false, true);
      return TOutcome::Failed;
    };
    if (!SendCommand(state.Link, host, kWriteBlock, 0x02, static_cast<std::uint8_t>(block),
                     kBlockCount, payload, kBlockSize))
      return fail(state.Link.StatusText);
    ClearReceive(state);
    std::memset(frame, 0, sizeof frame);
    if (!ReceiveFrame(state.Link, host, frame, sizeof frame, length, kFramePollLimit))
      return fail(state.Link.StatusText);
    if (!FrameChecksumOK(frame, length) || length < 6)
      return fail(kChecksumError);
    host.SetProgress(host.Progress() + block - 1);
    host.DispatchEvents();
  }
  // Only the frame after the last block says whether the encoder took the image.
  TOutcome outcome = TOutcome::Success;
  if (frame[5] == kStatusWriteOK) {
    host.Message("Write Success");
  } else {
    const char* text = StatusText(frame[5]);
    host.Message(text ? text : "Write Fail");
    outcome = TOutcome::Failed;
  }
  Restore(state, host, true, true);
  return outcome;
}

TOutcome DoVerifyEncoder(TLinkState& state, TLinkHost& host, const TConfigImage& image) {
  const TExchange exchange(state);
  if (exchange.Refused())
    return TOutcome::Refused;
  host.EnablePagerMenu(false);
  host.EnableWindow(false);
  host.SetProgressRange(kTransferProgress);
  host.SetProgress(0);
  TImageBytes copy{};
  if (!ReadImage(state, host, copy, false))
    return TOutcome::Failed;
  if (copy != image.Bytes()) {
    Restore(state, host, true, false);
    host.Message("Verify error !");
    return TOutcome::Failed;
  }
  host.Message("Verify success !");
  Restore(state, host, true, false);
  return TOutcome::Success;
}

} // namespace

TOutcome LinkEncoder(TLinkState& state, TLinkHost& host) {
  return Guarded(state, host, true, [&] { return DoLinkEncoder(state, host); });
}

bool ProbeEncoder(TLinkState& state, TLinkHost& host) {
  try {
    return DoProbeEncoder(state, host);
  } catch (const ECommError& error) {
    host.SetProgress(0);
    host.EnableWindow(true);
    host.SetStatus(1, PortFailure(state, error));
    return false;
  }
}

TOutcome ReadEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image,
                     const std::function<void()>& show) {
  return Guarded(state, host, true, [&] { return DoReadEncoder(state, host, image, show); });
}

TOutcome WriteEncoder(TLinkState& state, TLinkHost& host, TConfigImage& image) {
  return Guarded(state, host, true, [&] { return DoWriteEncoder(state, host, image); });
}

TOutcome VerifyEncoder(TLinkState& state, TLinkHost& host, const TConfigImage& image) {
  return Guarded(state, host, false, [&] { return DoVerifyEncoder(state, host, image); });
}
