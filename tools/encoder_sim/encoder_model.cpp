#include "tools/encoder_sim/encoder_model.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

constexpr std::size_t kEntryLength = sizeof kEntrySequence;
constexpr unsigned kAllBlocks = (1u << kBlockCount) - 1u;

std::uint16_t ReadBigEndian16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((unsigned{p[0]} << 8) | p[1]);
}

void AppendBigEndian16(TBytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

unsigned BlockBit(int block) {
  return 1u << (block - 1);
}

} // namespace

std::uint16_t Sum16(const std::uint8_t* data, std::size_t length) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < length; ++i)
    sum += data[i];
  return static_cast<std::uint16_t>(sum & 0xFFFF);
}

TEncoderModel::TEncoderModel(const TImageBytes& image, TIdentity identity, TFaults faults)
    : FImage(image), FIdentity(identity), FFaults(faults) {}

void TEncoderModel::Log(const std::string& text) const {
  if (FLog)
    FLog(text);
}

std::size_t TEncoderModel::CommandLength(std::uint8_t code) {
  const std::size_t payload = code == kCmdWriteBlock ? kBlockSize : 0;
  return kCommandHeaderSize + payload + kChecksumSize;
}

void TEncoderModel::DropPartial(const char* why) {
  if (FCommand.empty())
    return;
  Log("discarded " + std::to_string(FCommand.size()) + " byte(s) of an unfinished command (" + why +
      ")");
  FCommand.clear();
}

void TEncoderModel::Receive(std::uint8_t byte, int baud, TClock::time_point at, TBytes& out) {
  if (FLastByte && at - *FLastByte > kResyncSilence)
    DropPartial("line silent");
  FLastByte = at;

  if (baud == kEntryBaud) {
    // The receiver is clocked for the entry sequence now: a command cut by the speed change
    // cannot be finished.
    DropPartial("line speed changed");
    if (byte == kEntrySequence[FEntryMatched])
      ++FEntryMatched;
    else
      FEntryMatched = byte == kEntrySequence[0] ? 1 : 0;
    if (FEntryMatched == kEntryLength) {
      FEntryMatched = 0;
      if (!FEntered)
        Log("entry sequence received: programming interface entered");
      FEntered = true;
    }
    return;
  }
  FEntryMatched = 0;
  if (baud != kCommandBaud) {
    // At any other speed the encoder's UART sees only noise.
    DropPartial("line speed changed");
    return;
  }
  ReceiveCommandByte(byte, out);
}

void TEncoderModel::ReceiveCommandByte(std::uint8_t byte, TBytes& out) {
  FCommand.push_back(byte);
  if (FCommand.size() == 2 && FCommand[1] != (FCommand[0] ^ 0xFF)) {
    // No frame starts with this byte; the next one may.
    Log("skipped stray byte " + Hex(FCommand[0]));
    FCommand.erase(FCommand.begin());
    return;
  }
  if (FCommand.size() >= 2 && FCommand.size() == CommandLength(FCommand[0])) {
    Execute(out);
    FCommand.clear();
  }
}

void TEncoderModel::Execute(TBytes& out) {
  const std::size_t length = FCommand.size();
  const std::uint8_t code = FCommand[0];
  const std::uint8_t p1 = FCommand[2], p2 = FCommand[3], p3 = FCommand[4];
  const bool sumOk = Sum16(FCommand.data(), length - kChecksumSize) ==
                     ReadBigEndian16(&FCommand[length - kChecksumSize]);
  const bool blockCommand = code == kCmdReadBlock || code == kCmdWriteBlock;

  std::string name = code == kCmdIdentify     ? "Identify"
                     : code == kCmdReadBlock  ? "ReadBlock " + std::to_string(p2)
                     : code == kCmdWriteBlock ? "WriteBlock " + std::to_string(p2)
                                              : "command " + Hex(code);
  Log("<- " + name + (sumOk ? "" : " (bad checksum)"));

  if (FFaults.ForcedStatus && *FFaults.ForcedStatus != kStatusAccepted) {
    Reply(*FFaults.ForcedStatus, out);
    return;
  }
  if (!sumOk) {
    Reply(kStatusBadChecksum, out);
    return;
  }
  if (!FEntered) {
    Reply(kStatusNotInProgrammer, out);
    return;
  }
  const bool valid = code == kCmdIdentify ? p1 == kIdentifyParameter && p2 == kIdentifyParameter &&
                                                p3 == kIdentifyParameter
                                          : blockCommand && p1 == kBlockParameter &&
                                                p3 == kBlockCount && p2 >= 1 && p2 <= kBlockCount;
  if (!valid) {
    Reply(kStatusCommandError, out);
    return;
  }

  const int block = blockCommand ? p2 : 0;
  const std::size_t offset = blockCommand ? static_cast<std::size_t>(block - 1) * kBlockSize : 0;
  if (code == kCmdIdentify) {
    std::uint8_t ident[kIdentBlockSize] = {FIdentity.Pid,       FIdentity.Mcu,
                                           FIdentity.IapMajor,  FIdentity.IapMinor,
                                           FIdentity.UserMajor, FIdentity.UserMinor};
    Reply(kStatusAccepted, out);
    DataFrame(kFrameIdent, ident, sizeof ident, 0, out);
  } else if (code == kCmdReadBlock) {
    TImageBytes served = FImage;
    if (FFaults.BadImageChecksum)
      WriteBigEndian32(served.data() + kChecksum, BlockSum(served) + 1);
    Reply(kStatusAccepted, out);
    DataFrame(kFrameBlock, served.data() + offset, kBlockSize, block, out);
  } else {
    std::copy_n(FCommand.begin() + kCommandHeaderSize, kBlockSize, FImage.begin() + offset);
    if (block == 1)
      FWrittenBlocks = 0;
    FWrittenBlocks |= BlockBit(block);
    std::uint8_t result = kStatusWriteOk;
    if (FWrittenBlocks == kAllBlocks) {
      FWrittenBlocks = 0;
      Log("all " + std::to_string(kBlockCount) + " blocks written");
      if (FSave && !FSave(FImage))
        result = kStatusWriteFail;
    }
    if (block == kBlockCount && FFaults.WriteResult)
      result = *FFaults.WriteResult;
    Reply(kStatusAccepted, out);
    DataFrame(kFrameWriteResult, &result, 1, block, out);
  }
}

std::optional<std::size_t> TEncoderModel::TakeStall() {
  const std::optional<std::size_t> at = FStallAt;
  FStallAt.reset();
  return at;
}

void TEncoderModel::Reply(std::uint8_t status, TBytes& out) {
  // The first five bytes echo the command's header, which makes a log of the line readable.
  const std::size_t start = out.size();
  out.insert(out.end(), FCommand.begin(), FCommand.begin() + kCommandHeaderSize);
  out.push_back(status);
  std::uint16_t sum = Sum16(out.data() + start, kReplySize - kChecksumSize);
  if (FFaults.BadReplyChecksum)
    sum ^= 0xFFFF;
  AppendBigEndian16(out, sum);
  Log("-> reply, status " + std::to_string(status) +
      (FFaults.BadReplyChecksum ? " (wrong checksum)" : ""));
}

void TEncoderModel::DataFrame(std::uint8_t type, const std::uint8_t* payload, std::size_t length,
                              int block, TBytes& out) {
  if (block != 0 && (FFaults.DropBlocks & BlockBit(block)) != 0) {
    Log("-> data frame for block " + std::to_string(block) + " withheld");
    return;
  }
  if (block != 0 && (FFaults.StallBlocks & ~FStalled & BlockBit(block)) != 0) {
    FStalled |= BlockBit(block);
    FStallAt = out.size();
    Log("stalling " + std::to_string(FFaults.StallTime.count()) +
        " ms before the data frame for block " + std::to_string(block));
  }
  if (FFaults.StrayByte)
    out.push_back(0x00);
  const std::size_t start = out.size();
  const std::uint8_t header = FCommand[0];
  out.push_back(header);
  out.push_back(header ^ 0xFF);
  out.push_back(type);
  // Bytes 3 and 4 carry the payload length; the tool does not look at them.
  AppendBigEndian16(out, static_cast<std::uint16_t>(length));
  out.insert(out.end(), payload, payload + length);
  std::uint16_t sum = Sum16(out.data() + start, out.size() - start);
  const bool corrupt = block != 0 && (FFaults.CorruptBlocks & BlockBit(block)) != 0;
  if (corrupt)
    sum ^= 0xFFFF;
  AppendBigEndian16(out, sum);
  Log("-> data frame type " + std::to_string(type) + ", " + std::to_string(out.size() - start) +
      " bytes" + (FFaults.StrayByte ? " after a stray byte" : "") +
      (corrupt ? " (wrong checksum)" : ""));
}

} // namespace sim
