// The presence poll's decisions and the recovery after failed exchanges, over the scripted port
// and encoder: which ports are tried and when, what the status bar ends with, and that the link
// comes back by itself.

#include "fake_port.h"
#include "portable.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using TTexts = std::vector<std::string>;

// How a port error tells the I/O error the fake port raises: Windows has its own words for
// the number.
#ifdef _WIN32
const std::string kIoWords = [] {
  const std::string text = DescribeCommError(ECommError{ECommError::WriteFailed, EIO});
  return text.substr(text.find('('));
}();
#else
const std::string kIoWords = "(Input/output error)";
#endif

class TPoll : public ::testing::Test {
protected:
  void SetUp() override {
    port.Attach(state.Link);
    encoder.Attach(port);
    port.Open = false;
    CompleteHost(host);
    host.DispatchEvents = [this] { ++dispatched; };
    host.Message = [this](const std::string& text) {
      messages.push_back(text);
      if (duringMessage)
        duringMessage();
    };
    host.SetStatus = [this](int panel, const std::string& text) { panels[panel] = text; };
    host.EnablePagerMenu = [this](bool on) { pager = on; };
    host.SetPoll = [this](bool on) { poll = on; };
    TConfigImage image;
    image.WriteU32(TConfigImage::CapcodeRecordOffset(0), 1234567);
    image.StoreChecksum();
    encoder.Image = image.Bytes();
  }
  void TearDown() override { ClearEnvironment("KX470_PORTS"); }
  // The fixed port list, as KX470_PORTS gives it.
  static void Ports(const char* list) { SetEnvironment("KX470_PORTS", list); }
  TPollOutcome Tick() {
    const TPollResult result = PresencePoll(state, host);
    status = result.Status;
    return result.Outcome;
  }
  std::vector<std::string> Opened() const {
    std::vector<std::string> names;
    for (const auto& opening : port.Openings)
      names.push_back(opening.Name + "@" + std::to_string(opening.Rate));
    return names;
  }

  TFakePort port;
  TFakeEncoder encoder;
  TLinkState state;
  TLinkHost host;
  int dispatched = 0;
  TTexts messages;
  std::function<void()> duringMessage;
  std::string panels[3];
  std::string status;
  bool pager = false, poll = true;
};

TEST_F(TPoll, ProbesOnlyWhenTheEncoderIsMissingOrThePortsChanged) {
  Ports("/dev/a:/dev/b");
  encoder.PluggedInto = {"/dev/b"};
  std::vector<std::size_t> openedBeforeServing;
  host.DispatchEvents = [&] { openedBeforeServing.push_back(port.Openings.size()); };
  EXPECT_EQ(Tick(), TPollOutcome::Present);
  ASSERT_FALSE(openedBeforeServing.empty());
  EXPECT_EQ(openedBeforeServing[0], 0u) << "the window is served first";
  EXPECT_EQ(Opened(), (TTexts{"/dev/a@9600", "/dev/a@19200", "/dev/b@9600", "/dev/b@19200"}));
  EXPECT_EQ(port.Pauses, (std::vector<std::int64_t>{200000, 200000})) << "the entry wait";
  EXPECT_TRUE(state.EncoderPresent);
  EXPECT_EQ(state.LastPortCount, 2);
  EXPECT_EQ(state.SelectedPort, 1);
  EXPECT_FALSE(poll) << "switched off; the window switches it on after showing the result";
  EXPECT_EQ(panels[1], "Link Success");
  EXPECT_TRUE(pager);
  EXPECT_FALSE(state.Busy);

  port.Openings.clear();
  EXPECT_EQ(Tick(), TPollOutcome::Unchanged);
  EXPECT_TRUE(port.Openings.empty()) << "present on the same ports: nothing is tried";

  Ports("/dev/a:/dev/b:/dev/c");
  EXPECT_EQ(Tick(), TPollOutcome::Present) << "a port came: probe again";
  EXPECT_EQ(state.LastPortCount, 3);

  encoder.PluggedInto.clear();
  Ports("/dev/a:/dev/b");
  EXPECT_EQ(Tick(), TPollOutcome::Absent) << "a port went: probe again";
  EXPECT_EQ(status, kNotResponding);
  EXPECT_FALSE(state.EncoderPresent);
  EXPECT_TRUE(messages.empty()) << "the poll never opens a message box";

  // While absent, every tick probes, on an unchanged list too.
  port.Openings.clear();
  EXPECT_EQ(Tick(), TPollOutcome::Absent);
  EXPECT_FALSE(port.Openings.empty());
}

TEST_F(TPoll, IsAnExchangeLikeTheOthers) {
  Ports("/dev/a");
  state.Busy = true;
  EXPECT_EQ(Tick(), TPollOutcome::Busy);
  EXPECT_EQ(dispatched, 0) << "no events are served from inside another exchange's wait";
  EXPECT_TRUE(port.Openings.empty());
  EXPECT_EQ(state.LastPortCount, -1);

  // The probe holds the guard while it waits: an exchange started from its events is refused.
  state.Busy = false;
  encoder.PluggedInto = {"/dev/a"};
  TConfigImage image;
  std::vector<TOutcome> nested;
  host.DispatchEvents = [&] {
    if (state.Busy && nested.empty())
      nested.push_back(ReadEncoder(state, host, image, {}));
  };
  EXPECT_EQ(Tick(), TPollOutcome::Present);
  EXPECT_EQ(nested, std::vector<TOutcome>{TOutcome::Refused});
}

TEST_F(TPoll, APortFailingOnOneSlotCostsThatSlotOnly) {
  Ports("/dev/a:/dev/b");
  encoder.PluggedInto = {"/dev/a", "/dev/b"};
  port.TransferFailures["/dev/a"] = ECommError{ECommError::InputCountFailed, EIO};
  EXPECT_EQ(Tick(), TPollOutcome::Present);
  EXPECT_EQ(state.SelectedPort, 1);
  EXPECT_EQ(panels[1], "Link Success");
  EXPECT_TRUE(messages.empty());
}

TEST_F(TPoll, APortFailureStaysInThePanelAfterTheProbe) {
  // /dev/a cannot be opened, /dev/b fails in the middle, /dev/c is silent.
  Ports("/dev/a:/dev/b:/dev/c");
  port.OpenFailures["/dev/a"] = ECommError{ECommError::OpenFailed, EACCES};
  port.TransferFailures["/dev/b"] = ECommError{ECommError::WriteFailed, EIO};
  const std::string first = " /dev/a: Error opening comm port. Port already in use?";
  EXPECT_EQ(Tick(), TPollOutcome::Absent);
  EXPECT_EQ(status, first) << "instead of \"" << kNotResponding << "\"";
  EXPECT_EQ(panels[1], first) << "not overwritten by the slots after it";

  port.OpenFailures.clear();
  EXPECT_EQ(Tick(), TPollOutcome::Absent);
  EXPECT_EQ(status, " /dev/b: Serial port error 9 " + kIoWords + ". Re-Link, Please !");

  port.TransferFailures.clear();
  EXPECT_EQ(Tick(), TPollOutcome::Absent);
  EXPECT_EQ(status, kNotResponding);
  EXPECT_EQ(panels[1], "Read Timeout !");
  EXPECT_TRUE(messages.empty());
}

// Every way an exchange with a linked encoder can fail, and the fault that makes it fail.
struct TLostLink {
  const char* Name;
  std::function<void(TFakePort&, TFakeEncoder&)> Break;
  std::function<void(TFakePort&, TFakeEncoder&)> Mend;
};

const TLostLink kLostLinks[] = {
    {"time-out", [](TFakePort&, TFakeEncoder& e) { e.Silent = true; },
     [](TFakePort&, TFakeEncoder& e) { e.Silent = false; }},
    {"status", [](TFakePort&, TFakeEncoder& e) { e.Status = kStatusNotInProgrammer; },
     [](TFakePort&, TFakeEncoder& e) { e.Status.reset(); }},
    {"port",
     [](TFakePort& p, TFakeEncoder&) {
       p.TransferFailures["/dev/a"] = ECommError{ECommError::ReadFailed, EIO};
     },
     [](TFakePort& p, TFakeEncoder&) { p.TransferFailures.clear(); }},
};

TEST_F(TPoll, AFailedReadWriteOrVerifyLinksAgainByItselfOnAFixedPort) {
  Ports("/dev/a");
  encoder.PluggedInto = {"/dev/a"};
  TConfigImage image;
  image.Assign(encoder.Image);
  const std::function<TOutcome()> operations[] = {
      [&] { return ReadEncoder(state, host, image, {}); },
      [&] { return WriteEncoder(state, host, image); },
      [&] { return VerifyEncoder(state, host, image); }};
  for (const TLostLink& fault : kLostLinks) {
    for (std::size_t operation = 0; operation < std::size(operations); ++operation) {
      SCOPED_TRACE(std::string(fault.Name) + ", operation " + std::to_string(operation));
      ASSERT_NE(Tick(), TPollOutcome::Absent);
      ASSERT_TRUE(state.EncoderPresent);
      fault.Break(port, encoder);
      EXPECT_EQ(operations[operation](), TOutcome::Failed);
      EXPECT_FALSE(state.EncoderPresent);
      // The encoder is still away at the first tick and back for the second.
      EXPECT_EQ(Tick(), TPollOutcome::Absent);
      fault.Mend(port, encoder);
      EXPECT_EQ(Tick(), TPollOutcome::Present);
      EXPECT_TRUE(pager);
    }
  }
  // A mismatch is no fault of the link: the poll stays quiet.
  image.WriteU32(TConfigImage::CapcodeRecordOffset(1), 42);
  messages.clear();
  EXPECT_EQ(VerifyEncoder(state, host, image), TOutcome::Failed);
  EXPECT_EQ(messages, TTexts{"Verify error !"});
  EXPECT_EQ(Tick(), TPollOutcome::Unchanged);
}

TEST_F(TPoll, AFailedManualLinkLinksAgainByItself) {
  // The Pager menu goes off with a failed manual link; a present flag kept from an earlier
  // tick would keep it off for ever on a fixed port.
  Ports("/dev/a");
  encoder.PluggedInto = {"/dev/a"};
  ASSERT_EQ(Tick(), TPollOutcome::Present);
  encoder.Silent = true;
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::Failed);
  EXPECT_FALSE(pager);
  encoder.Silent = false;
  EXPECT_EQ(Tick(), TPollOutcome::Present);
  EXPECT_TRUE(pager);
}

TEST_F(TPoll, AStatusWithoutATextFailsNamingIt) {
  Ports("/dev/a");
  encoder.PluggedInto = {"/dev/a"};
  ASSERT_EQ(Tick(), TPollOutcome::Present);
  TConfigImage image;
  const TImageBytes before = image.Bytes();
  for (const std::uint8_t code : {0, 10, 200}) {
    messages.clear();
    encoder.Status = code;
    const std::string named = "Unknown status code " + std::to_string(code) + " !";
    EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Failed);
    EXPECT_EQ(messages, TTexts{named}) << "never the previous \"Receiver OK\"";
    EXPECT_EQ(image.Bytes(), before);
    messages.clear();
    EXPECT_EQ(LinkEncoder(state, host), TOutcome::Failed);
    EXPECT_EQ(messages, TTexts{named}) << "never an empty box";
  }
}

TEST_F(TPoll, APortFailureKeepsTheGuardWhileItsMessageIsOpen) {
  Ports("/dev/a");
  encoder.PluggedInto = {"/dev/a"};
  ASSERT_EQ(Tick(), TPollOutcome::Present);
  port.TransferFailures["/dev/a"] = ECommError{ECommError::InputCountFailed, EIO};
  TConfigImage image;
  std::vector<TPollOutcome> ticks;
  std::vector<TOutcome> operations;
  duringMessage = [&] {
    EXPECT_TRUE(state.Busy);
    ticks.push_back(Tick());
    operations.push_back(WriteEncoder(state, host, image));
  };
  EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Failed);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Serial port error 18 " + kIoWords + ". Re-Link, Please !");
  EXPECT_EQ(ticks, std::vector<TPollOutcome>{TPollOutcome::Busy});
  EXPECT_EQ(operations, std::vector<TOutcome>{TOutcome::Refused});
  EXPECT_FALSE(state.Busy);
  EXPECT_FALSE(pager);
  EXPECT_FALSE(port.Open) << "the failed port is closed";
}

} // namespace
