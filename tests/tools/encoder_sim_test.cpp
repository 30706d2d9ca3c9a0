// The encoder simulator seen from the cable: a child process on a pseudo terminal, driven with
// plain termios and checked byte for byte.

#include "image/config_image.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <random>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using TBytes = std::vector<std::uint8_t>;

namespace {

const char* const kSimulator = KX470_BINARY_DIR "/tools/encoder_sim/kx470-sim";
const TBytes kEntry = {0x3B, 0x8E, 0x41, 0xC7, 0x29};

// The frames as the tool sees them on its end of the cable.
constexpr std::size_t kReplySize = 8;     // every answer starts with the 8-byte reply
constexpr std::size_t kStatusOffset = 5;  // the reply's status
constexpr std::size_t kTypeOffset = 2;    // a data frame's type
constexpr std::size_t kPayloadOffset = 5; // a frame's payload, after its five header bytes
constexpr std::size_t kFrameOverhead = 7; // the header and the checksum around the payload
constexpr std::size_t kIdentFrameSize = 64 + kFrameOverhead;
constexpr std::size_t kBlockFrameSize = kBlockSize + kFrameOverhead;
constexpr std::size_t kResultFrameSize = 1 + kFrameOverhead;

std::uint16_t Sum(const TBytes& bytes, std::size_t from, std::size_t to) {
  unsigned sum = 0;
  for (std::size_t i = from; i < to; ++i)
    sum += bytes[i];
  return static_cast<std::uint16_t>(sum);
}

void AppendSum(TBytes& bytes) {
  const std::uint16_t sum = Sum(bytes, 0, bytes.size());
  bytes.push_back(static_cast<std::uint8_t>(sum >> 8));
  bytes.push_back(static_cast<std::uint8_t>(sum));
}

bool SumOk(const TBytes& bytes) {
  if (bytes.size() < 3)
    return false;
  const std::size_t n = bytes.size();
  return Sum(bytes, 0, n - 2) == ((unsigned{bytes[n - 2]} << 8) | bytes[n - 1]);
}

// A command frame: code, its complement, three parameters, the payload, the sum.
TBytes Command(std::uint8_t code, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3,
               const TBytes& payload) {
  TBytes frame{code, static_cast<std::uint8_t>(code ^ 0xFF), p1, p2, p3};
  static_assert(kPayloadOffset == 5, "the header above is the frame up to its payload");
  for (const std::uint8_t byte : payload)
    frame.push_back(byte);
  AppendSum(frame);
  return frame;
}

// A command without payload. Its own function: GCC 12's Release build, inlining an empty
// default payload, warns of a copy out of bounds that never happens.
TBytes Command(std::uint8_t code, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3) {
  TBytes frame{code, static_cast<std::uint8_t>(code ^ 0xFF), p1, p2, p3};
  AppendSum(frame);
  return frame;
}

TBytes Identify() {
  return Command(0x20, 0xFF, 0xFF, 0xFF);
}
TBytes ReadBlock(int b) {
  return Command(0x40, 0x02, static_cast<std::uint8_t>(b), 0x08);
}
TBytes WriteBlock(int b, const TImageBytes& image) {
  const auto* start = image.data() + (b - 1) * kBlockSize;
  return Command(0x30, 0x02, static_cast<std::uint8_t>(b), 0x08, TBytes(start, start + kBlockSize));
}

// The reply the encoder must give: bytes 0..4 are free, so they are taken from the reply itself.
void ExpectReply(const TBytes& reply, std::uint8_t status) {
  ASSERT_EQ(reply.size(), kReplySize);
  EXPECT_EQ(reply[kStatusOffset], status);
  EXPECT_TRUE(SumOk(reply)) << "reply checksum";
}

void ExpectFrame(const TBytes& frame, std::uint8_t header, std::uint8_t type,
                 std::size_t payloadLength) {
  ASSERT_EQ(frame.size(), payloadLength + kFrameOverhead);
  EXPECT_EQ(frame[0], header);
  EXPECT_EQ(frame[1], header ^ 0xFF);
  EXPECT_EQ(frame[kTypeOffset], type);
  EXPECT_TRUE(SumOk(frame)) << "frame checksum";
}

TImageBytes RandomImage(unsigned seed) {
  std::mt19937 random(seed);
  TImageBytes image{};
  for (auto& byte : image)
    byte = static_cast<std::uint8_t>(random());
  WriteBigEndian32(image.data() + kChecksum, BlockSum(image));
  return image;
}

void WriteFile(const fs::path& path, const TBytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

TBytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(in), {});
}

// The tool's end of the cable, reduced to what a test needs.
class TTestPort {
public:
  TTestPort(const std::string& path, speed_t speed) {
    FFd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FFd < 0)
      return;
    termios mode{};
    ::tcgetattr(FFd, &mode);
    ::cfmakeraw(&mode);
    mode.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&mode, speed);
    ::cfsetospeed(&mode, speed);
    ::tcsetattr(FFd, TCSANOW, &mode);
  }
  ~TTestPort() {
    if (FFd >= 0)
      ::close(FFd);
  }
  bool IsOpen() const { return FFd >= 0; }
  int Fd() const { return FFd; }

  void Send(const TBytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(FFd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EAGAIN) {
        pollfd p{FFd, POLLOUT, 0};
        ::poll(&p, 1, 100);
        continue;
      }
      ASSERT_GT(n, 0) << std::strerror(errno);
      done += static_cast<std::size_t>(n);
    }
  }

  // Up to `count` bytes; stops early after `patience` without a byte.
  TBytes Receive(std::size_t count, std::chrono::milliseconds patience = 2000ms) {
    TBytes bytes;
    while (bytes.size() < count) {
      pollfd p{FFd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(patience.count())) <= 0 || (p.revents & POLLIN) == 0)
        break;
      std::uint8_t buffer[512];
      const ssize_t n = ::read(FFd, buffer, std::min(sizeof buffer, count - bytes.size()));
      if (n <= 0)
        break;
      bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
  }

  // True when nothing at all arrives within `quiet`.
  bool Quiet(std::chrono::milliseconds quiet = 250ms) { return Receive(1, quiet).empty(); }

private:
  int FFd = -1;
};

class TSimProcess {
public:
  TSimProcess(const std::vector<std::string>& arguments, const fs::path& errorFile) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
      return;
    FPid = ::fork();
    if (FPid == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::dup2(out[1], STDOUT_FILENO);
      const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err >= 0)
        ::dup2(err, STDERR_FILENO);
      std::vector<char*> argv{const_cast<char*>(kSimulator)};
      for (const auto& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(kSimulator, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    FOut = out[0];
  }
  ~TSimProcess() {
    if (FPid > 0 && !FReaped) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
    }
    if (FOut >= 0)
      ::close(FOut);
  }

  // The first line of standard output, or empty when the process ended without one.
  std::string FirstLine() {
    std::string line;
    char c = 0;
    while (true) {
      pollfd p{FOut, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0 || ::read(FOut, &c, 1) != 1 || c == '\n')
        return line;
      line += c;
    }
  }

  // Everything written to standard output until it is closed.
  std::string AllOutput() {
    std::string text;
    char buffer[4096];
    pollfd p{FOut, POLLIN, 0};
    while (::poll(&p, 1, 5000) > 0) {
      const ssize_t n = ::read(FOut, buffer, sizeof buffer);
      if (n <= 0)
        break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
  }

  // The exit code after `signal` (0 sends none); -1 when it did not end in time or was killed.
  int Stop(int signal = SIGTERM, std::chrono::milliseconds patience = 5000ms) {
    if (signal != 0)
      ::kill(FPid, signal);
    const auto end = std::chrono::steady_clock::now() + patience;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
      const pid_t done = ::waitpid(FPid, &status, WNOHANG);
      if (done == FPid) {
        FReaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

private:
  pid_t FPid = -1;
  int FOut = -1;
  bool FReaped = false;
};

class EncoderSimTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kx470-sim-test.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    FDir = pattern;
  }
  void TearDown() override {
    FSim.reset();
    std::error_code ignored;
    fs::remove_all(FDir, ignored);
  }

  // Starts the simulator and returns its terminal's path.
  std::string Start(const std::vector<std::string>& arguments = {}) {
    FSim = std::make_unique<TSimProcess>(arguments, FDir / "sim.err");
    FPath = FSim->FirstLine();
    return FPath;
  }

  std::string Errors() {
    std::ifstream in(FDir / "sim.err");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // The tool's link ritual: entry sequence at 9600, a pause, the port reopened at 19200.
  std::unique_ptr<TTestPort> Enter() {
    {
      TTestPort slow(FPath, B9600);
      EXPECT_TRUE(slow.IsOpen());
      slow.Send(kEntry);
      std::this_thread::sleep_for(50ms);
    }
    auto port = std::make_unique<TTestPort>(FPath, B19200);
    EXPECT_TRUE(port->IsOpen());
    return port;
  }

  // One command and the whole answer: the reply, then a frame of `frameLength` bytes.
  static TBytes Exchange(TTestPort& port, const TBytes& command, std::size_t frameLength) {
    port.Send(command);
    return port.Receive(kReplySize + frameLength);
  }

  static TImageBytes ReadImage(TTestPort& port) {
    TImageBytes image{};
    for (int b = 1; b <= kBlockCount; ++b) {
      const TBytes answer = Exchange(port, ReadBlock(b), kBlockFrameSize);
      EXPECT_EQ(answer.size(), kReplySize + kBlockFrameSize) << "block " << b;
      if (answer.size() != kReplySize + kBlockFrameSize)
        return image;
      std::copy_n(answer.begin() + kReplySize + kPayloadOffset, kBlockSize,
                  image.begin() + (b - 1) * kBlockSize);
    }
    return image;
  }

  fs::path FDir;
  std::string FPath;
  std::unique_ptr<TSimProcess> FSim;
};

TEST_F(EncoderSimTest, IdentifyAnswersWithReplyAndIdentificationFrame) {
  ASSERT_FALSE(Start({"--pid", "10", "--mcu", "3", "--iap", "2.5", "--user", "1.27"}).empty());
  auto port = Enter();
  const TBytes answer = Exchange(*port, Identify(), kIdentFrameSize);
  ASSERT_EQ(answer.size(), 79u);
  ExpectReply(TBytes(answer.begin(), answer.begin() + kReplySize), 1);
  const TBytes frame(answer.begin() + kReplySize, answer.end());
  ExpectFrame(frame, 0x20, 1, 64);
  EXPECT_EQ(TBytes(frame.begin() + kPayloadOffset, frame.begin() + kPayloadOffset + 6),
            (TBytes{10, 3, 2, 5, 1, 27}));
  EXPECT_TRUE(port->Quiet()) << "nothing may follow the frame";
}

TEST_F(EncoderSimTest, IdentifyDefaultsToProductEight) {
  Start();
  auto port = Enter();
  const TBytes answer = Exchange(*port, Identify(), kIdentFrameSize);
  ASSERT_EQ(answer.size(), 79u);
  EXPECT_EQ(answer[kReplySize + kPayloadOffset], 8);
}

TEST_F(EncoderSimTest, ServesTheBuiltInImageWithItsChecksumStored) {
  Start();
  auto port = Enter();
  TConfigImage expected;
  expected.StoreChecksum();
  const TImageBytes image = ReadImage(*port);
  EXPECT_EQ(image, expected.Bytes());
  EXPECT_TRUE(ChecksumValid(image));
}

TEST_F(EncoderSimTest, ReadBlockFramesCarryTheImageFile) {
  const TImageBytes source = RandomImage(1);
  TBytes file(source.begin(), source.end());
  file.insert(file.end(), {0xDE, 0xAD}); // anything after 2048 bytes is not part of the image
  WriteFile(FDir / "in.tbl", file);
  Start({"--image", (FDir / "in.tbl").string()});
  auto port = Enter();
  for (int b = 1; b <= kBlockCount; ++b) {
    const TBytes answer = Exchange(*port, ReadBlock(b), kBlockFrameSize);
    ASSERT_EQ(answer.size(), kReplySize + kBlockFrameSize);
    ExpectReply(TBytes(answer.begin(), answer.begin() + kReplySize), 1);
    const TBytes frame(answer.begin() + kReplySize, answer.end());
    ExpectFrame(frame, 0x40, 2, 256);
    EXPECT_TRUE(std::equal(frame.begin() + kPayloadOffset,
                           frame.begin() + kPayloadOffset + kBlockSize,
                           source.begin() + (b - 1) * kBlockSize))
        << "block " << b;
  }
}

TEST_F(EncoderSimTest, WrittenBlocksAreReadBackAndSavedOnlyAfterAllEight) {
  const fs::path saved = FDir / "encoder.tbl";
  Start({"--save", saved.string()});
  auto port = Enter();
  const TImageBytes written = RandomImage(2);
  for (int b = 1; b <= kBlockCount; ++b) {
    const TBytes answer = Exchange(*port, WriteBlock(b, written), kResultFrameSize);
    ASSERT_EQ(answer.size(), kReplySize + kResultFrameSize) << "block " << b;
    ExpectReply(TBytes(answer.begin(), answer.begin() + kReplySize), 1);
    const TBytes frame(answer.begin() + kReplySize, answer.end());
    ExpectFrame(frame, 0x30, 4, 1);
    EXPECT_EQ(frame[kPayloadOffset], 3) << "Write OK after block " << b;
    if (b < kBlockCount) {
      EXPECT_FALSE(fs::exists(saved)) << "saved after only " << b << " blocks";
    }
  }
  EXPECT_EQ(ReadFile(saved), TBytes(written.begin(), written.end()));
  EXPECT_EQ(ReadImage(*port), written);

  // A second write that stops half-way leaves the saved file alone.
  const TImageBytes second = RandomImage(3);
  for (int b = 1; b <= 4; ++b)
    ASSERT_EQ(Exchange(*port, WriteBlock(b, second), kResultFrameSize).size(),
              kReplySize + kResultFrameSize);
  EXPECT_EQ(ReadFile(saved), TBytes(written.begin(), written.end()));
}

TEST_F(EncoderSimTest, FailedSaveReportsWriteFail) {
  Start({"--save", (FDir / "missing" / "encoder.tbl").string()});
  auto port = Enter();
  const TImageBytes written = RandomImage(4);
  for (int b = 1; b <= kBlockCount; ++b) {
    const TBytes answer = Exchange(*port, WriteBlock(b, written), kResultFrameSize);
    ASSERT_EQ(answer.size(), kReplySize + kResultFrameSize);
    EXPECT_EQ(answer[kReplySize + kPayloadOffset], b == kBlockCount ? 4 : 3) << "block " << b;
  }
  EXPECT_NE(Errors().find("cannot save"), std::string::npos) << Errors();
}

TEST_F(EncoderSimTest, CommandsBeforeTheEntrySequenceGetStatusSix) {
  Start();
  TTestPort port(FPath, B19200);
  port.Send(Identify());
  const TBytes reply = port.Receive(kReplySize);
  ExpectReply(reply, 6);
  EXPECT_TRUE(port.Quiet());
}

TEST_F(EncoderSimTest, EntrySequenceCountsOnlyAtNineThousandSixHundred) {
  Start();
  for (speed_t wrong : {B19200, B38400, B4800}) {
    TTestPort port(FPath, wrong);
    port.Send(kEntry);
    std::this_thread::sleep_for(20ms);
  }
  {
    TTestPort port(FPath, B19200);
    port.Send(Identify());
    ExpectReply(port.Receive(kReplySize), 6);
  }
  auto port = Enter();
  const TBytes answer = Exchange(*port, Identify(), kIdentFrameSize);
  ASSERT_EQ(answer.size(), 79u);
  EXPECT_EQ(answer[kStatusOffset], 1);
}

TEST_F(EncoderSimTest, CommandsAreUnderstoodOnlyAtNineteenThousandTwoHundred) {
  Start();
  Enter();
  for (speed_t wrong : {B9600, B38400}) {
    TTestPort port(FPath, wrong);
    port.Send(Identify());
    EXPECT_TRUE(port.Quiet()) << "answered at speed code " << wrong;
  }
}

TEST_F(EncoderSimTest, StaysInTheProgrammerAcrossReopenedPorts) {
  Start();
  Enter();
  for (int i = 0; i < 3; ++i) {
    TTestPort port(FPath, B19200);
    const TBytes answer = Exchange(port, ReadBlock(i + 1), kBlockFrameSize);
    ASSERT_EQ(answer.size(), kReplySize + kBlockFrameSize) << "attempt " << i;
    EXPECT_EQ(answer[kStatusOffset], 1);
  }
}

TEST_F(EncoderSimTest, BadCommandChecksumGetsStatusTwoAndNoFrame) {
  Start();
  auto port = Enter();
  TBytes command = ReadBlock(1);
  command.back() ^= 0x01;
  port->Send(command);
  ExpectReply(port->Receive(kReplySize), 2);
  EXPECT_TRUE(port->Quiet());

  // A write with a damaged payload is not stored.
  const TImageBytes image = RandomImage(5);
  TBytes write = WriteBlock(1, image);
  write[100] ^= 0x40;
  port->Send(write);
  ExpectReply(port->Receive(kReplySize), 2);
  EXPECT_TRUE(port->Quiet());
  TConfigImage expected;
  expected.StoreChecksum();
  EXPECT_EQ(ReadImage(*port), expected.Bytes());
}

TEST_F(EncoderSimTest, UnknownCommandsAndBadBlocksGetStatusEight) {
  Start();
  auto port = Enter();
  const TBytes bad[] = {Command(0x50, 0x02, 0x01, 0x08),
                        ReadBlock(0),
                        ReadBlock(9),
                        Command(0x40, 0x01, 0x01, 0x08),
                        Command(0x20, 0x00, 0xFF, 0xFF),
                        Command(0x30, 0x02, 0x09, 0x08, TBytes(256, 0x11))};
  for (const TBytes& command : bad) {
    port->Send(command);
    ExpectReply(port->Receive(kReplySize), 8);
    EXPECT_TRUE(port->Quiet(150ms)) << "a data frame followed a refused command";
  }
}

TEST_F(EncoderSimTest, ResynchronisesAfterGarbageAndSilence) {
  Start();
  auto port = Enter();
  // Bytes that are not followed by their complement cannot start a command.
  TBytes garbage = {0x00, 0x40, 0x40, 0x13, 0x55};
  TBytes command = Identify();
  garbage.insert(garbage.end(), command.begin(), command.end());
  const TBytes answer = Exchange(*port, garbage, kIdentFrameSize);
  ASSERT_EQ(answer.size(), 79u);
  EXPECT_EQ(answer[kStatusOffset], 1);

  // An unfinished command is given up after a silence, and the next one is read afresh.
  port->Send({0x40, 0xBF, 0x02});
  std::this_thread::sleep_for(200ms);
  const TBytes read = Exchange(*port, ReadBlock(2), kBlockFrameSize);
  ASSERT_EQ(read.size(), kReplySize + kBlockFrameSize);
  EXPECT_EQ(read[kStatusOffset], 1);
  EXPECT_EQ(read[kReplySize + kTypeOffset], 2);
  EXPECT_TRUE(SumOk(TBytes(read.begin() + kReplySize, read.end())));
}

TEST_F(EncoderSimTest, CorruptBlockSpoilsOnlyThatBlocksFrame) {
  Start({"--corrupt-block", "3"});
  auto port = Enter();
  for (int b = 2; b <= 4; ++b) {
    const TBytes answer = Exchange(*port, ReadBlock(b), kBlockFrameSize);
    ASSERT_EQ(answer.size(), kReplySize + kBlockFrameSize);
    ExpectReply(TBytes(answer.begin(), answer.begin() + kReplySize), 1);
    EXPECT_EQ(SumOk(TBytes(answer.begin() + kReplySize, answer.end())), b != 3)
        << "read block " << b;
  }
  const TImageBytes image = RandomImage(6);
  for (int b = 2; b <= 4; ++b) {
    const TBytes answer = Exchange(*port, WriteBlock(b, image), kResultFrameSize);
    ASSERT_EQ(answer.size(), kReplySize + kResultFrameSize);
    EXPECT_EQ(SumOk(TBytes(answer.begin() + kReplySize, answer.end())), b != 3)
        << "write block " << b;
  }
}

TEST_F(EncoderSimTest, DropBlockSendsTheReplyButNoFrame) {
  Start({"--drop-block", "2"});
  auto port = Enter();
  port->Send(ReadBlock(2));
  ExpectReply(port->Receive(kReplySize), 1);
  EXPECT_TRUE(port->Quiet());
  port->Send(WriteBlock(2, RandomImage(7)));
  ExpectReply(port->Receive(kReplySize), 1);
  EXPECT_TRUE(port->Quiet());
  EXPECT_EQ(Exchange(*port, ReadBlock(1), kBlockFrameSize).size(), kReplySize + kBlockFrameSize);
}

TEST_F(EncoderSimTest, StallBlockHoldsItsFrameOnceAndTakesNothingInMeanwhile) {
  Start({"--stall-block", "2", "--stall-time", "600"});
  auto port = Enter();
  port->Send(ReadBlock(2));
  ExpectReply(port->Receive(kReplySize), 1);
  EXPECT_TRUE(port->Quiet(250ms)) << "the frame is held back";
  port->Send(ReadBlock(1)); // sent during the stall: answered only after the late frame
  const TBytes late = port->Receive(kBlockFrameSize, 2000ms);
  ExpectFrame(late, 0x40, 2, 256);
  ExpectReply(port->Receive(kReplySize), 1);
  ExpectFrame(port->Receive(kBlockFrameSize), 0x40, 2, 256);
  // The encoder stalls once: the next ReadBlock 2 is answered at once, with the same block.
  const TBytes again = Exchange(*port, ReadBlock(2), kBlockFrameSize);
  ASSERT_EQ(again.size(), kReplySize + kBlockFrameSize);
  EXPECT_EQ(TBytes(again.begin() + kReplySize, again.end()), late);
}

TEST_F(EncoderSimTest, BadImageChecksumOnlyTouchesTheStoredChecksum) {
  const TImageBytes source = RandomImage(8);
  WriteFile(FDir / "in.tbl", TBytes(source.begin(), source.end()));
  Start({"--image", (FDir / "in.tbl").string(), "--bad-image-checksum"});
  auto port = Enter();
  const TImageBytes served = ReadImage(*port);
  EXPECT_FALSE(ChecksumValid(served));
  EXPECT_TRUE(std::equal(served.begin(), served.begin() + kChecksum, source.begin()));
}

TEST_F(EncoderSimTest, ForcedStatusAnswersEveryCommandWithoutFrame) {
  Start({"--status", "7"});
  auto port = Enter();
  for (const TBytes& command : {Identify(), ReadBlock(1), WriteBlock(1, RandomImage(9))}) {
    port->Send(command);
    ExpectReply(port->Receive(kReplySize), 7);
    EXPECT_TRUE(port->Quiet(150ms));
  }
}

TEST_F(EncoderSimTest, ForcedStatusOneIsNormalService) {
  Start({"--status", "1"});
  auto port = Enter();
  const TBytes answer = Exchange(*port, Identify(), kIdentFrameSize);
  ASSERT_EQ(answer.size(), 79u);
  EXPECT_TRUE(SumOk(TBytes(answer.begin() + kReplySize, answer.end())));
}

TEST_F(EncoderSimTest, BadReplyChecksumStillSendsAGoodFrame) {
  Start({"--bad-reply-checksum"});
  auto port = Enter();
  const TBytes answer = Exchange(*port, Identify(), kIdentFrameSize);
  ASSERT_EQ(answer.size(), 79u);
  EXPECT_EQ(answer[kStatusOffset], 1);
  EXPECT_FALSE(SumOk(TBytes(answer.begin(), answer.begin() + kReplySize)));
  ExpectFrame(TBytes(answer.begin() + kReplySize, answer.end()), 0x20, 1, 64);
}

TEST_F(EncoderSimTest, StrayBytePrecedesEveryDataFrame) {
  Start({"--stray-byte"});
  auto port = Enter();
  const TBytes answer = Exchange(*port, ReadBlock(1), 1 + kBlockFrameSize);
  ASSERT_EQ(answer.size(), 8u + 1u + 263u);
  ExpectReply(TBytes(answer.begin(), answer.begin() + kReplySize), 1);
  EXPECT_EQ(answer[kReplySize], 0x00);
  ExpectFrame(TBytes(answer.begin() + 9, answer.end()), 0x40, 2, 256);
}

TEST_F(EncoderSimTest, WriteResultReplacesOnlyTheLastBlocksResult) {
  Start({"--write-result", "5"});
  auto port = Enter();
  const TImageBytes image = RandomImage(10);
  for (int b = 1; b <= kBlockCount; ++b) {
    const TBytes answer = Exchange(*port, WriteBlock(b, image), kResultFrameSize);
    ASSERT_EQ(answer.size(), kReplySize + kResultFrameSize);
    EXPECT_EQ(answer[kReplySize + kPayloadOffset], b == kBlockCount ? 5 : 3) << "block " << b;
  }
}

TEST_F(EncoderSimTest, HangupAfterClosesTheLineWithoutAnswering) {
  Start({"--hangup-after", "12"}); // the entry sequence and the Identify command
  auto port = Enter();
  port->Send(Identify());
  pollfd p{port->Fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);
  EXPECT_NE(p.revents & POLLHUP, 0) << "the line was not hung up";
  std::uint8_t byte = 0;
  EXPECT_LE(::read(port->Fd(), &byte, 1), 0) << "a byte was answered after the hang-up";
  EXPECT_EQ(FSim->Stop(SIGTERM), 0);
}

TEST_F(EncoderSimTest, PacedRepliesTakeTheLineTime) {
  Start({"--pace"});
  auto port = Enter();
  const auto start = std::chrono::steady_clock::now();
  const TBytes answer = Exchange(*port, ReadBlock(1), kBlockFrameSize);
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(answer.size(), kReplySize + kBlockFrameSize);
  EXPECT_TRUE(SumOk(TBytes(answer.begin() + kReplySize, answer.end())));
  // 271 bytes of 10 bits at 19200 baud.
  EXPECT_GE(took, (kReplySize + kBlockFrameSize) * 10 * 1'000'000us / 19200 - 1ms);
}

TEST_F(EncoderSimTest, StopSignalsExitCleanlyAndRemoveTheLink) {
  for (int signal : {SIGTERM, SIGINT}) {
    const fs::path link = FDir / "ttyENC";
    fs::create_symlink("/nonexistent", link); // an old link is replaced
    const std::string path = Start({"--link", link.string()});
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::read_symlink(link), fs::path(path));
    TTestPort port(link.string(), B19200);
    port.Send(Identify());
    ExpectReply(port.Receive(kReplySize), 6);
    EXPECT_EQ(FSim->Stop(signal), 0) << "signal " << signal;
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "signal " << signal;
  }
}

TEST_F(EncoderSimTest, LinkPathRefusesToReplaceAFile) {
  const fs::path file = FDir / "precious";
  WriteFile(file, {1, 2, 3});
  EXPECT_TRUE(Start({"--link", file.string()}).empty());
  EXPECT_EQ(FSim->Stop(0), 2);
  EXPECT_EQ(ReadFile(file), (TBytes{1, 2, 3}));
  EXPECT_NE(Errors().find("not a symbolic link"), std::string::npos) << Errors();
}

TEST_F(EncoderSimTest, BadOptionsAreRefusedWithExitCodeTwo) {
  WriteFile(FDir / "short.tbl", TBytes(100, 0));
  const std::vector<std::vector<std::string>> cases = {
      {"--frobnicate"},
      {"--pid", "300"},
      {"--pid"},
      {"--iap", "1"},
      {"--user", "1.x"},
      {"--corrupt-block", "9"},
      {"--drop-block", "0"},
      {"--stall-block", "9"},
      {"--stall-time", "0"},
      {"--status", "-1"},
      {"--hangup-after", "0"},
      {"--pace=yes"},
      {"stray-argument"},
      {"--image", (FDir / "missing.tbl").string()},
      {"--image", (FDir / "short.tbl").string()},
  };
  for (const auto& arguments : cases) {
    EXPECT_TRUE(Start(arguments).empty()) << arguments[0];
    EXPECT_EQ(FSim->Stop(0), 2) << arguments[0];
    EXPECT_NE(Errors().find("kx470-sim: "), std::string::npos) << arguments[0];
  }
}

TEST_F(EncoderSimTest, HelpNamesEveryOption) {
  FSim = std::make_unique<TSimProcess>(std::vector<std::string>{"--help"}, FDir / "sim.err");
  const std::string help = FSim->AllOutput();
  EXPECT_EQ(FSim->Stop(0), 0);
  for (const char* option : {"--image",
                             "--save",
                             "--link",
                             "--pace",
                             "--pid",
                             "--mcu",
                             "--iap",
                             "--user",
                             "--corrupt-block",
                             "--drop-block",
                             "--bad-image-checksum",
                             "--status",
                             "--bad-reply-checksum",
                             "--stray-byte",
                             "--write-result",
                             "--hangup-after",
                             "--stall-block",
                             "--stall-time",
                             "--verbose",
                             "100 ms"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

} // namespace
