// The frame protocol over a scripted port: frames byte by byte, the receive state machine, the
// polling time-outs counted poll by poll, and the receive buffer's bound.

#include "fake_port.h"

#include <chrono>
#include <ctime>
#include <deque>
#include <gtest/gtest.h>

namespace {

class TProtocol : public ::testing::Test {
protected:
  void SetUp() override {
    port.Attach(link);
    CompleteHost(host);
    host.SetStatus = [this](int panel, const std::string& text) { panels[panel] = text; };
    host.EnableLinkButton = [this](bool on) { linkButton = on; };
    host.DispatchEvents = [this] { ++dispatched; };
    host.SetProgress = [this](int position) { progress.push_back(position); };
    port.Answer = [this](const TBytes&) {
      if (answers.empty())
        return;
      const TBytes answer = answers.front();
      answers.pop_front();
      port.Arrive(answer);
    };
  }
  // The encoder's answer to the next frame sent: it arrives the moment the frame is out.
  void Answer(const TBytes& bytes) { answers.push_back(bytes); }
  bool Command(std::uint8_t code = kIdentify) {
    return SendCommand(link, host, code, 0xFF, 0xFF, 0xFF, nullptr, 0);
  }
  bool Receive(std::size_t capacity = 527) {
    buffer.assign(capacity + 8, 0xEE); // 8 guard bytes past the capacity
    link.Receive = {};
    return ReceiveFrame(link, host, buffer.data(), capacity, length, kFramePollLimit);
  }
  TBytes Stored() const {
    return TBytes(buffer.begin(), buffer.begin() + static_cast<long>(length));
  }

  TFakePort port;
  TLinkPort link;
  TLinkHost host;
  std::string panels[3] = {"-", "-", "-"};
  bool linkButton = false;
  int dispatched = 0;
  std::vector<int> progress;
  TBytes buffer;
  std::size_t length = 0;
  std::deque<TBytes> answers;
};

TEST(CommandFrames, AreByteExact) {
  EXPECT_EQ(BuildCommandFrame(kIdentify, 0xFF, 0xFF, 0xFF, nullptr, 0),
            (TBytes{0x20, 0xDF, 0xFF, 0xFF, 0xFF, 0x03, 0xFC}));
  EXPECT_EQ(BuildCommandFrame(kReadBlock, 0x02, 0x01, 0x08, nullptr, 0),
            (TBytes{0x40, 0xBF, 0x02, 0x01, 0x08, 0x01, 0x0A}));
  TBytes block(256);
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<std::uint8_t>(i);
  const TBytes write = BuildCommandFrame(kWriteBlock, 0x02, 0x08, 0x08, block.data(), block.size());
  ASSERT_EQ(write.size(), 263u);
  const auto payload = write.begin() + kFramePayloadOffset;
  EXPECT_EQ(TBytes(write.begin(), payload), (TBytes{0x30, 0xCF, 0x02, 0x08, 0x08}));
  EXPECT_EQ(TBytes(payload, payload + 256), block);
  // 0x30 + 0xCF + 2 + 8 + 8 + (0 + 1 + ... + 255) = 0x8091
  EXPECT_EQ(TBytes(payload + 256, write.end()), (TBytes{0x80, 0x91}));
}

TEST(CommandFrames, ChecksumsWrapAt16Bits) {
  TBytes ones(300, 0xFF); // 300 * 255 = 76500 = 0x12AD4
  const TBytes frame = BuildCommandFrame(0x30, 0, 0, 0, ones.data(), 256);
  EXPECT_TRUE(FrameChecksumOK(frame.data(), frame.size()));
  TBytes good = WithSum(TBytes(300, 0xFF));
  EXPECT_EQ(good[300], 0x2A);
  EXPECT_EQ(good[301], 0xD4);
  EXPECT_TRUE(FrameChecksumOK(good.data(), good.size()));
  good[300] ^= 0x01;
  EXPECT_FALSE(FrameChecksumOK(good.data(), good.size())) << "high byte";
  good[300] ^= 0x01;
  good[301] ^= 0x80;
  EXPECT_FALSE(FrameChecksumOK(good.data(), good.size())) << "low byte";
}

TEST(CommandFrames, StatusTextsAndFrameTypes) {
  const char* texts[] = {"Receiver OK",
                         "Receiver Fail (Chksum Error)",
                         "Write OK",
                         "Write Fail",
                         "Total Checksum Error",
                         "Pager not in programmer. Re-Link, Please !",
                         "Data Not Ready. Re-Link, Please !",
                         "Command Error",
                         "Command Timeout"};
  for (int code = 1; code <= 9; ++code)
    EXPECT_STREQ(StatusText(static_cast<std::uint8_t>(code)), texts[code - 1]);
  EXPECT_EQ(StatusText(0), nullptr);
  EXPECT_EQ(StatusText(10), nullptr);
  EXPECT_EQ(StatusText(255), nullptr);
  const std::pair<int, int> lengths[] = {{0, -1}, {1, 64}, {2, 256}, {3, 0},    {4, 1},
                                         {5, 1},  {6, -1}, {7, -1},  {254, -1}, {255, 0}};
  for (const auto& [type, payload] : lengths)
    EXPECT_EQ(PayloadLengthOf(static_cast<std::uint8_t>(type)), payload) << type;
}

TEST(ReceiveState, HuntsForHeaderComplementAndType) {
  TReceiveState s;
  for (std::uint8_t b : {0x20, 0x20, 0xDF})
    FeedReceiveState(s, b);
  EXPECT_EQ(s.Header, 0) << "a second 0x20 is no complement, and is not tried as a header";
  FeedReceiveState(s, 0x40);
  FeedReceiveState(s, 0xBF);
  FeedReceiveState(s, 0x06);
  EXPECT_EQ(s.Header, 0) << "type 6 restarts the hunt";
  EXPECT_EQ(s.Complement, 0);
  EXPECT_EQ(s.FrameType, 0);
  for (std::uint8_t b : {0x50, 0xAF, 0xFF})
    FeedReceiveState(s, b);
  EXPECT_EQ(s.FrameType, 0xFF) << "0x50 is a header too";
  EXPECT_EQ(s.PayloadLength, 0u);
  FeedReceiveState(s, 0x20);
  EXPECT_EQ(s.Header, 0x50) << "collecting: payload bytes change nothing";
}

TEST_F(TProtocol, FramesOfEveryTypeEndAtTheirLength) {
  const std::pair<int, std::size_t> types[] = {{3, 7}, {255, 7}, {4, 8}, {5, 8}, {1, 71}, {2, 263}};
  for (const auto& [type, size] : types) {
    const TBytes frame = Frame(0x40, static_cast<std::uint8_t>(type), size - 7);
    port.Arrive(frame);
    port.Arrive({0x99}); // the next frame's first byte stays queued
    ASSERT_TRUE(Receive()) << type;
    EXPECT_EQ(Stored(), frame) << type;
    EXPECT_EQ(port.Arrived(), 1u) << type;
    EXPECT_EQ(buffer[527], 0xEE);
    port.Incoming.clear();
  }
}

TEST_F(TProtocol, RejectedBytesAreStoredAndCounted) {
  // 20 20 DF: the second 0x20 is rejected as a complement and 0xDF is no header; the frame
  // that follows is complete when seven bytes were stored since the call began.
  port.Arrive({0x20, 0x20, 0xDF});
  port.Arrive(Frame(0x20, 3, 0));
  ASSERT_TRUE(Receive());
  EXPECT_EQ(Stored(), (TBytes{0x20, 0x20, 0xDF, 0x20, 0xDF, 0x03, 0x00}));
  EXPECT_FALSE(FrameChecksumOK(buffer.data(), length));

  // A type byte of 0 restarts the hunt; the three header bytes stay stored, so an 8-byte
  // frame after them ends after its fifth byte.
  port.Incoming.clear();
  port.Arrive({0x40, 0xBF, 0x00});
  port.Arrive(Frame(0x30, 4, 1, 0x03));
  ASSERT_TRUE(Receive());
  EXPECT_EQ(Stored(), (TBytes{0x40, 0xBF, 0x00, 0x30, 0xCF, 0x04, 0x00, 0x00}));
  EXPECT_EQ(port.Arrived(), 3u);
}

TEST_F(TProtocol, AStrayByteCutsTheFrameShort) {
  const TBytes frame = Frame(0x40, 2, 256);
  port.Arrive({0x07});
  port.Arrive(frame);
  ASSERT_TRUE(Receive());
  ASSERT_EQ(length, 263u) << "complete as soon as the frame's second-to-last byte is stored";
  EXPECT_EQ(buffer[0], 0x07);
  EXPECT_TRUE(std::equal(frame.begin(), frame.end() - 1, buffer.begin() + 1));
  EXPECT_FALSE(FrameChecksumOK(buffer.data(), length));
  ASSERT_EQ(port.Arrived(), 1u);
  EXPECT_EQ(port.Incoming.front().Byte, frame.back()) << "the last byte stays in the queue";
}

TEST_F(TProtocol, ProgressFollowsTheStoredBytes) {
  port.Arrive(Frame(0x20, 3, 0));
  ASSERT_TRUE(Receive());
  EXPECT_EQ(progress, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(TProtocol, AFullBufferFailsInsteadOfOverrunning) {
  // Stray bytes that never form a frame, for as long as they keep coming in time.
  port.Trickle(TBytes(100, 0x11), 20000);
  EXPECT_FALSE(Receive(32));
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(link.StatusText, "Checksum error !");
  for (std::size_t i = 32; i < buffer.size(); ++i)
    ASSERT_EQ(buffer[i], 0xEE) << "written past the buffer at " << i;
  EXPECT_EQ(port.Discards, 1);
  EXPECT_EQ(progress.back(), 0);

  // A frame whose header fills the buffer's last byte fails the same way.
  port.Incoming.clear();
  port.Arrive(TBytes(30, 0x11));
  port.Arrive(Frame(0x20, 3, 0));
  EXPECT_FALSE(Receive(32));
}

TEST_F(TProtocol, FrameTimeOutIs301PollsOf10Milliseconds) {
  // Each byte may come up to 300 polls after the one before: the count restarts per byte.
  const TBytes frame = Frame(0x20, 3, 0);
  port.Trickle(frame, 300 * 10000);
  ASSERT_TRUE(Receive());
  EXPECT_EQ(Stored(), frame);
  EXPECT_EQ(port.Clock, 7 * 3000000);

  // One microsecond later is too late: 301 polls, buffers discarded, "Read Timeout !".
  port.Waits.clear();
  dispatched = 0;
  progress.clear();
  port.Arrive({0x20}, 3000001);
  EXPECT_FALSE(Receive());
  EXPECT_EQ(port.Waits.size(), 301u);
  EXPECT_EQ(port.Waits, std::vector<std::uint32_t>(301, 10000));
  EXPECT_EQ(dispatched, 301) << "the window is served before every poll";
  EXPECT_EQ(port.Discards, 1);
  EXPECT_EQ(port.Arrived(), 0u) << "the late byte was discarded";
  EXPECT_EQ(link.StatusText, "Read Timeout !");
  EXPECT_EQ(progress, std::vector<int>{0}) << "the progress bar goes back to 0";
}

TEST_F(TProtocol, ReplyTimeOutIs101PollsOf5Milliseconds) {
  port.Trickle(Reply(1), 500000);
  EXPECT_TRUE(Command()) << "every reply byte may take 100 polls";
  EXPECT_EQ(port.Clock, 8 * 500000);

  port.Waits.clear();
  port.Discards = 0;
  dispatched = 0;
  Answer({0x11, 0x22, 0x33}); // three bytes, then one too late
  port.Arrive({0x44}, 500001);
  linkButton = false;
  EXPECT_FALSE(Command());
  EXPECT_EQ(port.Waits, std::vector<std::uint32_t>(101, 5000));
  EXPECT_EQ(dispatched, 101);
  EXPECT_EQ(port.Discards, 2) << "before the command went out, and at the time-out";
  EXPECT_EQ(link.StatusText, "Read Timeout !");
  EXPECT_EQ(panels[1], "") << "panel 1 stays empty";
}

TEST_F(TProtocol, PollsLastTheirIntervalWhenThePortWakesEarly) {
  // A hung-up line, or a signal, ends every wait at once; each poll still lasts its interval,
  // so the limits hold poll by poll instead of running out in a busy loop.
  port.WakeEarlyAfter = 1000;
  EXPECT_FALSE(Command());
  EXPECT_EQ(dispatched, 101) << "polls of the reply";
  EXPECT_EQ(port.Clock, 101 * 5000);
  EXPECT_EQ(port.Pauses, std::vector<std::int64_t>(101, 4000)) << "each poll made up its rest";
  EXPECT_EQ(link.StatusText, "Read Timeout !");

  dispatched = 0;
  port.Clock = 0;
  EXPECT_FALSE(Receive());
  EXPECT_EQ(dispatched, 301) << "polls of a frame byte";
  EXPECT_EQ(port.Clock, 301 * 10000);

  // The count still starts afresh for every byte: each may take 300 polls.
  const TBytes frame = Frame(0x20, 3, 0);
  port.Clock = 0;
  port.Trickle(frame, 300 * 10000);
  ASSERT_TRUE(Receive());
  EXPECT_EQ(Stored(), frame);
  EXPECT_EQ(port.Clock, 7 * 3000000);
  port.Clock = 0;
  port.Trickle(Reply(1), 100 * 5000);
  EXPECT_TRUE(Command());
  EXPECT_EQ(port.Clock, 8 * 500000);
}

TEST_F(TProtocol, WhatWaitsBeforeACommandIsDiscarded) {
  // The frame of an exchange that timed out came in after all; the next command must not take
  // it for its reply.
  port.Arrive(Frame(0x40, 2, 256));
  Answer(Reply(1));
  EXPECT_TRUE(Command(kReadBlock));
  EXPECT_EQ(port.Discards, 1);
  EXPECT_EQ(link.StatusText, "Receiver OK");
}

TEST_F(TProtocol, SendCommandSendsOneFrameAndReadsTheStatus) {
  Answer(Reply(1));
  EXPECT_TRUE(Command(kIdentify));
  EXPECT_EQ(port.Sent, (TBytes{0x20, 0xDF, 0xFF, 0xFF, 0xFF, 0x03, 0xFC}));
  EXPECT_EQ(panels[1], "Receiver OK");
  EXPECT_EQ(link.StatusText, "Receiver OK");
  EXPECT_TRUE(port.Waits.empty()) << "no wait while bytes are waiting";

  port.Sent.clear();
  Answer(Reply(1));
  TBytes payload(256, 0xA5);
  EXPECT_TRUE(SendCommand(link, host, kWriteBlock, 0x02, 3, 0x08, payload.data(), payload.size()));
  EXPECT_EQ(port.Sent, BuildCommandFrame(kWriteBlock, 0x02, 3, 0x08, payload.data(), 256));
}

TEST_F(TProtocol, StatusCodesOtherThan1Fail) {
  for (std::uint8_t code = 2; code <= 9; ++code) {
    linkButton = false;
    Answer(Reply(code));
    EXPECT_FALSE(Command()) << int(code);
    EXPECT_EQ(panels[1], StatusText(code));
    EXPECT_EQ(link.StatusText, StatusText(code));
    EXPECT_EQ(linkButton, code == 6 || code == 7) << int(code);
  }
  // Codes without a text are named instead of leaving the previous text, which could read as
  // success ("Receiver OK") or be empty.
  Answer(Reply(1));
  EXPECT_TRUE(Command());
  for (const std::uint8_t code : {0, 10, 255}) {
    Answer(Reply(code));
    EXPECT_FALSE(Command());
    const std::string named = "Unknown status code " + std::to_string(code) + " !";
    EXPECT_EQ(link.StatusText, named);
    EXPECT_EQ(panels[1], named);
  }
  EXPECT_EQ(StatusMessage(7), "Data Not Ready. Re-Link, Please !");
}

TEST_F(TProtocol, AReplyWithABadChecksumFails) {
  for (const std::size_t at : {6u, 7u}) {
    TBytes reply = Reply(1);
    reply[at] ^= 0x01;
    Answer(reply);
    EXPECT_FALSE(Command());
    EXPECT_EQ(link.StatusText, "Checksum error !");
    EXPECT_EQ(panels[1], "") << "the status is not shown";
  }
}

TEST_F(TProtocol, AClosedPortSendsNothingAndFailsAtOnce) {
  port.Open = false;
  port.Arrive(Reply(1));
  const std::uint8_t byte = 1;
  EXPECT_FALSE(SendRaw(link, &byte, 1));
  EXPECT_FALSE(Command());
  EXPECT_EQ(link.StatusText, "Read Timeout !");
  EXPECT_TRUE(port.Sent.empty());
  EXPECT_TRUE(port.Waits.empty());
  EXPECT_FALSE(Receive());
  EXPECT_EQ(length, 0u);
}

TEST(WaitMicroseconds, SleepsUntilTheDeadline) {
  timespec cpuBefore{}, cpuAfter{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuBefore);
  const auto start = std::chrono::steady_clock::now();
  WaitMicroseconds(100000);
  const auto waited = std::chrono::steady_clock::now() - start;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuAfter);
  EXPECT_GE(waited, std::chrono::microseconds(100000));
  const double cpu = static_cast<double>(cpuAfter.tv_sec - cpuBefore.tv_sec) +
                     static_cast<double>(cpuAfter.tv_nsec - cpuBefore.tv_nsec) * 1e-9;
  EXPECT_LT(cpu, 0.05) << "the wait sleeps instead of spinning";
}

} // namespace
