// The link's operations on a real pseudo terminal against the encoder simulator.

#include "case_names.h"
#include "image/table_file.h"
#include "link/link_operations.h"
#include "sim_process.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <pty.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using TTexts = std::vector<std::string>;

class TSimLink : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/kx470-link-XXXXXX";
    dir = mkdtemp(pattern);
    CompleteHost(host);
    host.Message = [this](const std::string& text) {
      messages.push_back(text);
      if (duringMessage)
        duringMessage();
    };
    host.SetStatus = [this](int panel, const std::string& text) { panels[panel] = text; };
    host.EnablePagerMenu = [this](bool on) { pager = on; };
    host.EnableWindow = [this](bool on) { window = on; };
    host.SetPoll = [this](bool on) { poll = on; };
    host.SetProgressRange = [this](int maximum) { ranges.push_back(maximum); };
    host.SetProgress = [this](int position) { progress = position; };
    host.Progress = [this] { return progress; };
    host.SetIdentification = [this](const std::string& line) { identification = line; };
  }
  void TearDown() override {
    state.Link.Port.Close();
    sim.reset();
    fs::remove_all(dir);
  }
  void Start(std::vector<std::string> options = {}) {
    sim = std::make_unique<TSimProcess>(std::move(options));
    ASSERT_FALSE(sim->Path.empty());
    state.Ports.Slots[0] = sim->Path;
    state.Ports.Count = 1;
    state.SelectedPort = 0;
  }
  void Linked(std::vector<std::string> options = {}) {
    Start(std::move(options));
    ASSERT_EQ(LinkEncoder(state, host), TOutcome::Success);
    messages.clear();
    ranges.clear();
  }
  static TImageBytes Sample(std::uint32_t capcode) {
    TConfigImage image;
    image.WriteU32(TConfigImage::CapcodeRecordOffset(0), capcode);
    image.StoreChecksum();
    return image.Bytes();
  }
  std::string SampleFile(std::uint32_t capcode) {
    const fs::path path = dir / ("sample" + std::to_string(capcode) + ".tbl");
    EXPECT_TRUE(WriteFileAtomically(path, Sample(capcode)).Ok);
    return path.string();
  }
  // The window as every operation must leave it.
  void ExpectGivenBack() {
    EXPECT_TRUE(window);
    EXPECT_EQ(progress, 0);
    EXPECT_FALSE(state.Busy);
  }

  fs::path dir;
  std::unique_ptr<TSimProcess> sim;
  TLinkState state;
  TLinkHost host;
  TTexts messages;
  std::function<void()> duringMessage;
  std::string panels[3];
  std::string identification;
  std::vector<int> ranges;
  int progress = -1;
  bool pager = false, window = true, poll = false;
};

TEST_F(TSimLink, ManualLinkIdentifiesTheEncoder) {
  Start({"--mcu", "3", "--iap", "2.1", "--user", "1.27"});
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::Success);
  EXPECT_EQ(messages, TTexts{"Link Success"});
  EXPECT_TRUE(pager);
  EXPECT_TRUE(poll);
  ExpectGivenBack();
  EXPECT_EQ(ranges, (std::vector<int>{7, 71}));
  EXPECT_EQ(identification, "PID:8,  MCU Type:3,  IAP Ver:2.1,  User Ver:1.27");
  EXPECT_EQ(IdentificationLine(state.Identification), identification);
  EXPECT_TRUE(state.Link.Port.IsOpen()) << "the port stays open at 19200 baud";
  EXPECT_EQ(state.Link.Port.BaudRate(), 19200u);
  EXPECT_FALSE(state.EncoderPresent) << "the manual link leaves the poll's memory alone";
}

TEST_F(TSimLink, OnlyPids8And10AreLinked) {
  Start({"--pid", "10"});
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::Success);
  sim.reset();
  messages.clear();
  pager = false;
  Start({"--pid", "9"});
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::WrongModel);
  EXPECT_EQ(messages, TTexts{"The model is not KX470U !"});
  EXPECT_FALSE(pager);
  ExpectGivenBack();
  EXPECT_FALSE(ProbeEncoder(state, host));
  EXPECT_EQ(panels[2], "The model is not KX470U !");
  EXPECT_EQ(messages.size(), 1u) << "the probe says it in the status bar only";
}

TEST_F(TSimLink, ProbeSkipsPortsItCannotOpen) {
  Start({"--iap", "3.4"});
  state.Ports.Slots[0] = (dir / "no-such-port").string();
  state.Ports.Slots[1] = "";
  state.Ports.Slots[2] = sim->Path;
  state.Ports.Count = 3;
  EXPECT_TRUE(ProbeEncoder(state, host));
  EXPECT_TRUE(messages.empty()) << "the poll never opens a message box";
  EXPECT_EQ(panels[1], "Link Success");
  EXPECT_EQ(panels[2], "PID:8,  MCU Type:1,  IAP Ver:3.4,  User Ver:1.0");
  EXPECT_EQ(state.SelectedPort, 2);
  EXPECT_TRUE(pager);
}

TEST_F(TSimLink, ReadWriteAndVerify) {
  Linked({"--image", SampleFile(4242), "--save", (dir / "saved.tbl").string()});
  TConfigImage image;
  bool shown = false;
  host.SetPoll = [this](bool on) { poll = on; };
  EXPECT_EQ(ReadEncoder(state, host, image,
                        [&] {
                          shown = true;
                          EXPECT_EQ(messages, TTexts{"Read Success"}) << "shown after the message";
                          EXPECT_EQ(image.Bytes(), Sample(4242))
                              << "the image is replaced before it is shown";
                        }),
            TOutcome::Success);
  EXPECT_TRUE(shown);
  EXPECT_EQ(image.Bytes(), Sample(4242));
  EXPECT_EQ(panels[1], " Ready");
  EXPECT_EQ(ranges, std::vector<int>{13});
  EXPECT_TRUE(pager);
  EXPECT_TRUE(poll);
  ExpectGivenBack();

  image.WriteU32(TConfigImage::CapcodeRecordOffset(1), 777);
  messages.clear();
  EXPECT_EQ(WriteEncoder(state, host, image), TOutcome::Success);
  EXPECT_EQ(messages, TTexts{"Write Success"});
  EXPECT_TRUE(ChecksumValid(image.Bytes())) << "the checksum is stored before sending";
  EXPECT_EQ(ReadTableFile(dir / "saved.tbl").Block, image.Bytes());
  EXPECT_EQ(panels[1], " Ready");
  ExpectGivenBack();

  messages.clear();
  poll = false;
  EXPECT_EQ(VerifyEncoder(state, host, image), TOutcome::Success);
  EXPECT_EQ(messages, TTexts{"Verify success !"});
  EXPECT_FALSE(poll) << "verify leaves the poll alone";
  image.WriteU32(TConfigImage::CapcodeRecordOffset(2), 778);
  const TImageBytes edited = image.Bytes();
  messages.clear();
  EXPECT_EQ(VerifyEncoder(state, host, image), TOutcome::Failed);
  EXPECT_EQ(messages, TTexts{"Verify error !"});
  EXPECT_EQ(image.Bytes(), edited) << "verify changes nothing";
  EXPECT_EQ(panels[1], " Ready");
  ExpectGivenBack();
}

struct TFault {
  std::vector<std::string> Options;
  std::string Message;
};

std::ostream& operator<<(std::ostream& out, const TFault& fault) {
  for (const auto& option : fault.Options)
    out << option << ' ';
  return out << "-> " << fault.Message;
}

bool IsPortFailure(const std::string& text) {
  return text.rfind("Serial port error ", 0) == 0 && text.size() > 19 &&
         text.substr(text.size() - 19) == ". Re-Link, Please !";
}

class TReadFaults : public TSimLink, public ::testing::WithParamInterface<TFault> {};

TEST_P(TReadFaults, LeaveTheImageUntouched) {
  Linked(GetParam().Options);
  TConfigImage image;
  image.WriteU32(TConfigImage::CapcodeRecordOffset(3), 31337);
  const TImageBytes before = image.Bytes();
  EXPECT_EQ(ReadEncoder(state, host, image, [] { ADD_FAILURE() << "nothing to show"; }),
            TOutcome::Failed);
  ASSERT_EQ(messages.size(), 1u);
  if (GetParam().Message == "port")
    EXPECT_TRUE(IsPortFailure(messages[0])) << messages[0];
  else
    EXPECT_EQ(messages[0], GetParam().Message);
  EXPECT_EQ(image.Bytes(), before);
  EXPECT_EQ(panels[1], " Ready");
  EXPECT_TRUE(poll);
  ExpectGivenBack();

  messages.clear();
  poll = false;
  EXPECT_EQ(VerifyEncoder(state, host, image), TOutcome::Failed);
  EXPECT_EQ(image.Bytes(), before);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_FALSE(poll);
  ExpectGivenBack();
}

INSTANTIATE_TEST_SUITE_P(Simulator, TReadFaults,
                         ::testing::Values(TFault{{"--corrupt-block", "5"}, "Checksum error !"},
                                           TFault{{"--bad-image-checksum"}, "Checksum error !"},
                                           TFault{{"--drop-block", "2"}, "Read Timeout !"},
                                           TFault{{"--hangup-after", "40"}, "port"}),
                         [](const ::testing::TestParamInfo<TFault>& info) {
                           return OptionsCaseName(info.param.Options);
                         });

class TWriteFaults : public TSimLink, public ::testing::WithParamInterface<TFault> {};

TEST_P(TWriteFaults, AreToldAndNeverSuccess) {
  Linked(GetParam().Options);
  TConfigImage image;
  image.WriteU32(TConfigImage::CapcodeRecordOffset(3), 31337);
  TConfigImage expected = image;
  expected.StoreChecksum();
  EXPECT_EQ(WriteEncoder(state, host, image), TOutcome::Failed);
  ASSERT_EQ(messages.size(), 1u);
  if (GetParam().Message == "port")
    EXPECT_TRUE(IsPortFailure(messages[0])) << messages[0];
  else
    EXPECT_EQ(messages[0], GetParam().Message);
  EXPECT_EQ(image.Bytes(), expected.Bytes()) << "only the checksum was stored";
  EXPECT_TRUE(poll);
  ExpectGivenBack();
}

INSTANTIATE_TEST_SUITE_P(Simulator, TWriteFaults,
                         ::testing::Values(TFault{{"--corrupt-block", "3"}, "Checksum error !"},
                                           TFault{{"--drop-block", "8"}, "Read Timeout !"},
                                           TFault{{"--write-result", "4"}, "Write Fail"},
                                           TFault{{"--write-result", "5"}, "Total Checksum Error"},
                                           TFault{{"--write-result", "0"}, "Write Fail"},
                                           TFault{{"--write-result", "200"}, "Write Fail"},
                                           TFault{{"--hangup-after", "300"}, "port"}),
                         [](const ::testing::TestParamInfo<TFault>& info) {
                           return OptionsCaseName(info.param.Options);
                         });

TEST_F(TSimLink, AFailedWriteBlockKeepsItsStatusInPanel1) {
  Linked({"--corrupt-block", "2"});
  TConfigImage image;
  EXPECT_EQ(WriteEncoder(state, host, image), TOutcome::Failed);
  EXPECT_EQ(panels[1], "Receiver OK") << "no \" Ready\" after a failed block";
  EXPECT_TRUE(pager);
}

TEST_F(TSimLink, LinkFaultsAreToldAndLeaveThePagerMenuOff) {
  const TFault faults[] = {{{"--status", "6"}, "Pager not in programmer. Re-Link, Please !"},
                           {{"--status", "8"}, "Command Error"},
                           {{"--bad-reply-checksum"}, "Checksum error !"},
                           {{"--stray-byte"}, "Checksum error !"},
                           {{"--hangup-after", "12"}, "port"}};
  for (const TFault& fault : faults) {
    Start(fault.Options);
    messages.clear();
    pager = true;
    EXPECT_EQ(LinkEncoder(state, host), TOutcome::Failed) << fault;
    ASSERT_EQ(messages.size(), 1u) << fault;
    if (fault.Message == "port")
      EXPECT_TRUE(IsPortFailure(messages[0])) << messages[0];
    else
      EXPECT_EQ(messages[0], fault.Message) << fault;
    EXPECT_FALSE(pager) << fault;
    EXPECT_TRUE(poll) << fault;
    ExpectGivenBack();
    sim.reset();
  }
}

TEST_F(TSimLink, ASilentLineTimesOut) {
  int master = -1, slave = -1;
  char name[128];
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  state.Ports.Slots[0] = name;
  state.Ports.Count = 1;
  pager = true;
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::Failed);
  EXPECT_EQ(messages, TTexts{"Read Timeout !"});
  EXPECT_FALSE(pager);
  ExpectGivenBack();

  messages.clear();
  EXPECT_FALSE(ProbeEncoder(state, host));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(panels[1], "Read Timeout !");
  ::close(master);
}

TEST_F(TSimLink, ReadingWithoutALinkFailsAndKeepsTheImage) {
  Start();
  TConfigImage image;
  const TImageBytes before = image.Bytes();
  EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Failed);
  EXPECT_EQ(messages, TTexts{"Read Timeout !"}) << "the port was never opened";

  // Opened at 19200 baud but never sent the entry sequence: the encoder refuses.
  messages.clear();
  ASSERT_TRUE(OpenLinkPort(state, host, kLinkBaud, 0));
  EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Failed);
  EXPECT_EQ(messages, TTexts{"Pager not in programmer. Re-Link, Please !"});
  EXPECT_EQ(image.Bytes(), before);
}

TEST_F(TSimLink, OneExchangeAtATimeMessageBoxesIncluded) {
  Linked({"--image", SampleFile(5150)});
  TConfigImage image;
  image.Assign(Sample(5150));
  std::vector<TOutcome> refused;
  std::vector<TPollOutcome> polls;
  duringMessage = [&] {
    refused.push_back(LinkEncoder(state, host));
    refused.push_back(ReadEncoder(state, host, image, {}));
    refused.push_back(WriteEncoder(state, host, image));
    refused.push_back(VerifyEncoder(state, host, image));
    polls.push_back(PresencePoll(state, host).Outcome);
    EXPECT_FALSE(ProbeEncoder(state, host));
  };
  EXPECT_EQ(VerifyEncoder(state, host, image), TOutcome::Success);
  EXPECT_EQ(messages, TTexts{"Verify success !"}) << "no second exchange ran";
  EXPECT_EQ(refused, std::vector<TOutcome>(4, TOutcome::Refused));
  EXPECT_EQ(polls, std::vector<TPollOutcome>{TPollOutcome::Busy});
  EXPECT_FALSE(state.Busy);
}

TEST_F(TSimLink, APortInUseIsToldByTheLinkAndQuietlyByTheProbe) {
  Start();
  TCommPort other;
  other.Reconfigure(9600, sim->Path, kDataFormat8N1);
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::PortFailed);
  EXPECT_EQ(messages, TTexts{"Error opening comm port. Port already in use?"});
  EXPECT_TRUE(poll);
  EXPECT_FALSE(state.Link.Port.IsOpen());
  messages.clear();
  EXPECT_FALSE(ProbeEncoder(state, host));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(panels[1], " " + sim->Path + ": Error opening comm port. Port already in use?");

  TConfigImage image;
  pager = false;
  EXPECT_EQ(WriteEncoder(state, host, image), TOutcome::PortFailed);
  EXPECT_EQ(messages, TTexts{"Error opening comm port. Port already in use?"});
  EXPECT_TRUE(pager);
  ExpectGivenBack();
}

TEST_F(TSimLink, PresencePollProbesOnlyWhenSomethingChanged) {
  Start();
  setenv("KX470_PORTS", sim->Path.c_str(), 1);
  EXPECT_EQ(PresencePoll(state, host).Outcome, TPollOutcome::Present);
  EXPECT_TRUE(state.EncoderPresent);
  EXPECT_EQ(state.LastPortCount, 1);
  EXPECT_FALSE(poll) << "the caller switches it on after showing the result";
  EXPECT_EQ(PresencePoll(state, host).Outcome, TPollOutcome::Unchanged);

  const std::string missing = (dir / "unplugged").string();
  setenv("KX470_PORTS", (sim->Path + ":" + missing).c_str(), 1);
  EXPECT_EQ(PresencePoll(state, host).Outcome, TPollOutcome::Present) << "a new port: probe again";
  EXPECT_EQ(state.LastPortCount, 2);

  sim.reset();
  setenv("KX470_PORTS", missing.c_str(), 1);
  EXPECT_EQ(PresencePoll(state, host).Outcome, TPollOutcome::Absent);
  EXPECT_FALSE(state.EncoderPresent);
  unsetenv("KX470_PORTS");
  EXPECT_TRUE(messages.empty());
}

TEST_F(TSimLink, AFrameThatCameTooLateDoesNotSpoilTheNextRead) {
  // The encoder stalls past the time-out before block 3's frame, then goes on and sends it.
  Linked({"--image", SampleFile(2718), "--stall-block", "3", "--stall-time", "3500"});
  TConfigImage image;
  EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Failed);
  EXPECT_EQ(messages, TTexts{"Read Timeout !"});
  ASSERT_TRUE(state.Link.Port.WaitForInput(3000000)) << "the late frame never came";
  messages.clear();
  EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Success);
  EXPECT_EQ(messages, TTexts{"Read Success"});
  EXPECT_EQ(image.Bytes(), Sample(2718));
}

TEST_F(TSimLink, APulledCableOnAFixedPortLinksAgainWhenItIsBack) {
  const std::string fixed = (dir / "ttyKX").string();
  setenv("KX470_PORTS", fixed.c_str(), 1);
  sim = std::make_unique<TSimProcess>(std::vector<std::string>{"--link", fixed});
  ASSERT_EQ(PresencePoll(state, host).Outcome, TPollOutcome::Present);
  sim.reset();
  TConfigImage image;
  EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Failed);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(IsPortFailure(messages[0])) << messages[0];
  const TPollResult away = PresencePoll(state, host);
  EXPECT_EQ(away.Outcome, TPollOutcome::Absent) << "the same single port, and still probed";
  EXPECT_EQ(away.Status, " " + fixed + ": Error opening comm port. Port already in use?");

  sim = std::make_unique<TSimProcess>(std::vector<std::string>{"--link", fixed});
  EXPECT_EQ(PresencePoll(state, host).Outcome, TPollOutcome::Present);
  EXPECT_TRUE(pager);
  unsetenv("KX470_PORTS");
  messages.clear();
  EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Success);
  EXPECT_EQ(messages, TTexts{"Read Success"});
}

TEST_F(TSimLink, APortFailureForgetsTheEncoder) {
  Start({"--hangup-after", "40"});
  setenv("KX470_PORTS", sim->Path.c_str(), 1);
  ASSERT_EQ(PresencePoll(state, host).Outcome, TPollOutcome::Present);
  unsetenv("KX470_PORTS");
  TConfigImage image;
  EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Failed);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(IsPortFailure(messages[0])) << messages[0];
  EXPECT_FALSE(pager) << "no Pager menu on a port that failed";
  EXPECT_FALSE(state.Link.Port.IsOpen());
  EXPECT_FALSE(state.EncoderPresent) << "so the next tick probes again";
  ExpectGivenBack();
}

} // namespace
