#include "link/frame_protocol.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes WithSum(TBytes bytes) {
  unsigned sum = 0;
  for (auto b : bytes)
    sum += b;
  bytes.push_back(static_cast<std::uint8_t>(sum >> 8));
  bytes.push_back(static_cast<std::uint8_t>(sum));
  return bytes;
}

// A device on the far side of a pseudo terminal: the test writes what the encoder would send.
class TPtyDevice : public ::testing::Test {
protected:
  void SetUp() override {
    char name[128];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    path = name;
    termios raw{};
    ::tcgetattr(master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
    CompleteHost(host);
    host.SetStatus = [this](int panel, const std::string& text) { panels[panel] = text; };
    host.EnableLinkButton = [this](bool on) { linkButton = on; };
    link.Port.Reconfigure(19200, path, kDataFormat8N1);
  }
  void TearDown() override {
    link.Port.Close();
    ::close(slave);
    ::close(master);
  }
  void Send(const TBytes& bytes) {
    ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  TBytes Sent() {
    TBytes got(600);
    ::usleep(20000);
    const int flags = ::fcntl(master, F_GETFL);
    ::fcntl(master, F_SETFL, flags | O_NONBLOCK);
    const ssize_t n = ::read(master, got.data(), got.size());
    ::fcntl(master, F_SETFL, flags);
    got.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return got;
  }
  int master = -1, slave = -1;
  std::string path;
  TLinkPort link;
  TLinkHost host;
  std::string panels[3];
  bool linkButton = false;
};

TEST(CommandFrames, AreByteExact) {
  EXPECT_EQ(BuildCommandFrame(kIdentify, 0xFF, 0xFF, 0xFF, nullptr, 0),
            (TBytes{0x20, 0xDF, 0xFF, 0xFF, 0xFF, 0x03, 0xFC}));
  EXPECT_EQ(BuildCommandFrame(kReadBlock, 0x02, 0x01, 0x08, nullptr, 0),
            (TBytes{0x40, 0xBF, 0x02, 0x01, 0x08, 0x01, 0x0A}));
  TBytes block(256, 0xFF);
  const TBytes write = BuildCommandFrame(kWriteBlock, 0x02, 0x08, 0x08, block.data(), block.size());
  ASSERT_EQ(write.size(), 263u);
  EXPECT_EQ(write[0], 0x30);
  EXPECT_EQ(write[1], 0xCF);
  EXPECT_TRUE(FrameChecksumOK(write.data(), write.size()));
  EXPECT_EQ(write[261], ((0x30 + 0xCF + 2 + 8 + 8 + 256 * 255) >> 8) & 0xFF);
}

TEST(CommandFrames, StatusTextsAndFrameTypes) {
  EXPECT_STREQ(StatusText(1), "Receiver OK");
  EXPECT_STREQ(StatusText(6), "Pager not in programmer. Re-Link, Please !");
  EXPECT_STREQ(StatusText(9), "Command Timeout");
  EXPECT_EQ(StatusText(0), nullptr);
  EXPECT_EQ(StatusText(10), nullptr);
  EXPECT_EQ(PayloadLengthOf(1), 64);
  EXPECT_EQ(PayloadLengthOf(2), 256);
  EXPECT_EQ(PayloadLengthOf(3), 0);
  EXPECT_EQ(PayloadLengthOf(4), 1);
  EXPECT_EQ(PayloadLengthOf(5), 1);
  EXPECT_EQ(PayloadLengthOf(255), 0);
  EXPECT_EQ(PayloadLengthOf(0), -1);
  EXPECT_EQ(PayloadLengthOf(6), -1);
}

TEST(ReceiveState, HeaderComplementAndType) {
  TReceiveState s;
  for (std::uint8_t b : {0x20, 0x20, 0xDF})
    FeedReceiveState(s, b);
  EXPECT_EQ(s.Header, 0) << "the second 0x20 is no complement and is not tried as a header";
  FeedReceiveState(s, 0x40);
  FeedReceiveState(s, 0xBF);
  FeedReceiveState(s, 0x06);
  EXPECT_EQ(s.Header, 0) << "type 6 restarts the hunt";
  EXPECT_EQ(s.FrameType, 0);
  for (std::uint8_t b : {0x50, 0xAF, 0x02})
    FeedReceiveState(s, b);
  EXPECT_EQ(s.FrameType, 2);
  EXPECT_EQ(s.PayloadLength, 256u);
}

TEST_F(TPtyDevice, ReceivesFramesOfEveryLength) {
  for (const auto& [type, length] : std::vector<std::pair<int, std::size_t>>{
           {3, 7}, {255, 7}, {4, 8}, {5, 8}, {1, 71}, {2, 263}}) {
    TBytes frame{0x40, 0xBF, static_cast<std::uint8_t>(type), 0, 0};
    frame.resize(length - 2, 0x5A);
    Send(WithSum(frame));
    link.Receive = {};
    std::uint8_t buffer[527];
    std::size_t got = 0;
    ASSERT_TRUE(ReceiveFrame(link, host, buffer, sizeof buffer, got, kFramePollLimit)) << type;
    EXPECT_EQ(got, length);
    EXPECT_TRUE(FrameChecksumOK(buffer, got));
  }
}

TEST_F(TPtyDevice, AStrayByteCutsTheFrameShort) {
  TBytes frame = WithSum({0x20, 0xDF, 0x03, 0, 0});
  frame.insert(frame.begin(), 0x00);
  Send(frame);
  std::uint8_t buffer[64];
  std::size_t got = 0;
  ASSERT_TRUE(ReceiveFrame(link, host, buffer, sizeof buffer, got, kFramePollLimit));
  EXPECT_EQ(got, 7u);
  EXPECT_EQ(buffer[0], 0x00) << "the stray byte is stored";
  EXPECT_FALSE(FrameChecksumOK(buffer, got));
  EXPECT_EQ(link.Port.PendingInput(), 1u) << "the last byte stays in the queue";
}

TEST_F(TPtyDevice, RejectedHeadersCountTowardsTheLength) {
  Send(WithSum({0x40, 0xBF, 0x00, 0x30, 0xCF, 0x03, 0x00, 0x00}));
  std::uint8_t buffer[64];
  std::size_t got = 0;
  ASSERT_TRUE(ReceiveFrame(link, host, buffer, sizeof buffer, got, kFramePollLimit));
  EXPECT_EQ(got, 7u) << "complete once 7 bytes were stored since the call began";
}

TEST_F(TPtyDevice, AFullBufferFailsInsteadOfOverrunning) {
  Send(TBytes(100, 0x11));
  std::uint8_t buffer[32];
  std::size_t got = 0;
  EXPECT_FALSE(ReceiveFrame(link, host, buffer, sizeof buffer, got, kFramePollLimit));
  EXPECT_EQ(got, 0u);
}

TEST_F(TPtyDevice, SendCommandWithGoodAndBadReplies) {
  Send(WithSum({0, 0, 0, 0, 0, 1}));
  EXPECT_TRUE(SendCommand(link, host, kIdentify, 0xFF, 0xFF, 0xFF, nullptr, 0));
  EXPECT_EQ(Sent(), (TBytes{0x20, 0xDF, 0xFF, 0xFF, 0xFF, 0x03, 0xFC}));
  EXPECT_EQ(panels[1], "Receiver OK");

  Send(WithSum({0, 0, 0, 0, 0, 6}));
  EXPECT_FALSE(SendCommand(link, host, kIdentify, 0xFF, 0xFF, 0xFF, nullptr, 0));
  EXPECT_EQ(panels[1], "Pager not in programmer. Re-Link, Please !");
  EXPECT_TRUE(linkButton);

  Send(WithSum({0, 0, 0, 0, 0, 12}));
  EXPECT_FALSE(SendCommand(link, host, kIdentify, 0xFF, 0xFF, 0xFF, nullptr, 0));
  EXPECT_EQ(panels[1], "Pager not in programmer. Re-Link, Please !") << "no text for code 12";

  TBytes bad = WithSum({0, 0, 0, 0, 0, 1});
  bad[7] ^= 1;
  Send(bad);
  EXPECT_FALSE(SendCommand(link, host, kIdentify, 0xFF, 0xFF, 0xFF, nullptr, 0));
  EXPECT_EQ(link.StatusText, "Checksum error !");
  EXPECT_EQ(panels[1], "");
}

TEST_F(TPtyDevice, ReplyTimeOut) {
  Send({0, 0, 0}); // three bytes, then silence
  EXPECT_FALSE(SendCommand(link, host, kIdentify, 0xFF, 0xFF, 0xFF, nullptr, 0));
  EXPECT_EQ(link.StatusText, "Read Timeout !");
  EXPECT_EQ(panels[1], "");
}

TEST_F(TPtyDevice, FrameTimeOutResetsTheProgress) {
  int progress = -1;
  host.SetProgress = [&](int p) { progress = p; };
  Send({0x20, 0xDF, 0x01});
  std::uint8_t buffer[128];
  std::size_t got = 0;
  EXPECT_FALSE(ReceiveFrame(link, host, buffer, sizeof buffer, got, 20));
  EXPECT_EQ(link.StatusText, "Read Timeout !");
  EXPECT_EQ(progress, 0);
}

TEST(ClosedPort, SendsNothingAndFails) {
  TLinkPort link;
  TLinkHost host;
  CompleteHost(host);
  std::uint8_t byte = 1;
  EXPECT_FALSE(SendRaw(link, &byte, 1));
  EXPECT_FALSE(SendCommand(link, host, kIdentify, 0xFF, 0xFF, 0xFF, nullptr, 0));
  EXPECT_EQ(link.StatusText, "Read Timeout !");
  std::size_t got = 9;
  EXPECT_FALSE(ReceiveFrame(link, host, &byte, 1, got, 1));
}

} // namespace
