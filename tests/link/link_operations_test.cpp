// The link's operations on a real pseudo terminal against the encoder simulator.

#include "image/table_file.h"
#include "link/link_operations.h"
#include "sim_process.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

class TSimLink : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/kx470-link-XXXXXX";
    dir = mkdtemp(pattern);
    CompleteHost(host);
    host.Message = [this](const std::string& text) { messages.push_back(text); };
    host.SetStatus = [this](int panel, const std::string& text) { panels[panel] = text; };
    host.EnablePagerMenu = [this](bool on) { pager = on; };
    host.EnableWindow = [this](bool on) { window = on; };
    host.SetPoll = [this](bool on) { poll = on; };
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
  fs::path dir;
  std::unique_ptr<TSimProcess> sim;
  TLinkState state;
  TLinkHost host;
  std::vector<std::string> messages;
  std::string panels[3];
  bool pager = false, window = true, poll = false;
};

TEST_F(TSimLink, ManualLinkIdentifiesTheEncoder) {
  Start({"--mcu", "3", "--iap", "2.1", "--user", "1.27"});
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::Success);
  EXPECT_EQ(messages, std::vector<std::string>{"Link Success"});
  EXPECT_TRUE(pager);
  EXPECT_TRUE(window);
  EXPECT_TRUE(poll);
  EXPECT_EQ(IdentificationLine(state.Identification),
            "PID:8,  MCU Type:3,  IAP Ver:2.1,  User Ver:1.27");
  EXPECT_FALSE(state.Busy);
}

TEST_F(TSimLink, OtherModelsAreNotLinked) {
  Start({"--pid", "9"});
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::WrongModel);
  EXPECT_EQ(messages, std::vector<std::string>{"The model is not KX470U !"});
  EXPECT_FALSE(pager);
  EXPECT_FALSE(ProbeEncoder(state, host));
  EXPECT_EQ(panels[2], "The model is not KX470U !");
}

TEST_F(TSimLink, ProbeFindsTheEncoderBehindUnusablePorts) {
  Start();
  state.Ports.Slots[0] = (dir / "no-such-port").string();
  state.Ports.Slots[1] = sim->Path;
  state.Ports.Count = 2;
  EXPECT_TRUE(ProbeEncoder(state, host));
  EXPECT_TRUE(messages.empty()) << "the poll never opens a message box";
  EXPECT_EQ(panels[1], "Link Success");
  EXPECT_EQ(panels[2], "PID:8,  MCU Type:1,  IAP Ver:1.0,  User Ver:1.0");
  EXPECT_EQ(state.SelectedPort, 1);
}

TEST_F(TSimLink, ReadWriteAndVerify) {
  Start({"--image", SampleFile(4242), "--save", (dir / "saved.tbl").string()});
  ASSERT_EQ(LinkEncoder(state, host), TOutcome::Success);
  TConfigImage image;
  bool shown = false;
  EXPECT_EQ(ReadEncoder(state, host, image, [&] { shown = true; }), TOutcome::Success);
  EXPECT_TRUE(shown);
  EXPECT_EQ(image.Bytes(), Sample(4242));
  EXPECT_EQ(panels[1], " Ready");

  image.WriteU32(TConfigImage::CapcodeRecordOffset(1), 777);
  messages.clear();
  EXPECT_EQ(WriteEncoder(state, host, image), TOutcome::Success);
  EXPECT_EQ(messages, std::vector<std::string>{"Write Success"});
  EXPECT_TRUE(ChecksumValid(image.Bytes())) << "the checksum is stored before sending";
  EXPECT_EQ(ReadTableFile(dir / "saved.tbl").Block, image.Bytes());

  messages.clear();
  EXPECT_EQ(VerifyEncoder(state, host, image), TOutcome::Success);
  EXPECT_EQ(messages, std::vector<std::string>{"Verify success !"});
  image.WriteU32(TConfigImage::CapcodeRecordOffset(2), 778);
  messages.clear();
  EXPECT_EQ(VerifyEncoder(state, host, image), TOutcome::Failed);
  EXPECT_EQ(messages, std::vector<std::string>{"Verify error !"});
  EXPECT_EQ(image.ReadU32(TConfigImage::CapcodeRecordOffset(2)), 778u) << "verify changes nothing";
}

struct TFault {
  std::vector<std::string> Options;
  std::string Message;
};

class TReadFaults : public TSimLink, public ::testing::WithParamInterface<TFault> {};

TEST_P(TReadFaults, LeaveTheImageUntouched) {
  std::vector<std::string> options = GetParam().Options;
  Start(options);
  ASSERT_EQ(LinkEncoder(state, host), TOutcome::Success);
  messages.clear();
  TConfigImage image;
  const TImageBytes before = image.Bytes();
  EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Failed);
  EXPECT_EQ(messages, std::vector<std::string>{GetParam().Message});
  EXPECT_EQ(image.Bytes(), before);
  EXPECT_TRUE(window);
  EXPECT_FALSE(state.Busy);
}

INSTANTIATE_TEST_SUITE_P(Simulator, TReadFaults,
                         ::testing::Values(TFault{{"--corrupt-block", "5"}, "Checksum error !"},
                                           TFault{{"--bad-image-checksum"}, "Checksum error !"},
                                           TFault{{"--drop-block", "2"}, "Read Timeout !"},
                                           TFault{{"--hangup-after", "40"},
                                                  "Serial port error 18 (5). Re-Link, Please !"}));

TEST_F(TSimLink, StatusCodesAndReplyChecksums) {
  Start({"--status", "6"});
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::Failed);
  EXPECT_EQ(messages, std::vector<std::string>{"Pager not in programmer. Re-Link, Please !"});
  sim.reset();
  messages.clear();
  Start({"--bad-reply-checksum"});
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::Failed);
  EXPECT_EQ(messages, std::vector<std::string>{"Checksum error !"});
}

TEST_F(TSimLink, AStrayByteSpoilsTheFrame) {
  Start({"--stray-byte"});
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::Failed);
  EXPECT_EQ(messages, std::vector<std::string>{"Checksum error !"});
  EXPECT_FALSE(pager);
}

TEST_F(TSimLink, AWriteNotConfirmedIsNoSuccess) {
  Start({"--write-result", "4"});
  ASSERT_EQ(LinkEncoder(state, host), TOutcome::Success);
  messages.clear();
  TConfigImage image;
  EXPECT_EQ(WriteEncoder(state, host, image), TOutcome::Failed);
  EXPECT_EQ(messages, std::vector<std::string>{"Write Fail"});
}

TEST_F(TSimLink, ABusyLinkRefusesASecondExchange) {
  Start();
  state.Busy = true;
  TConfigImage image;
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::Refused);
  EXPECT_EQ(ReadEncoder(state, host, image, {}), TOutcome::Refused);
  EXPECT_EQ(WriteEncoder(state, host, image), TOutcome::Refused);
  EXPECT_EQ(VerifyEncoder(state, host, image), TOutcome::Refused);
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(state.Busy);
}

TEST_F(TSimLink, APortInUseIsReported) {
  Start();
  TCommPort other;
  other.Reconfigure(9600, sim->Path, kDataFormat8N1);
  EXPECT_EQ(LinkEncoder(state, host), TOutcome::PortFailed);
  EXPECT_EQ(messages, std::vector<std::string>{"Error opening comm port. Port already in use?"});
  EXPECT_TRUE(poll);
  messages.clear();
  EXPECT_FALSE(ProbeEncoder(state, host));
  EXPECT_TRUE(messages.empty());
  EXPECT_NE(panels[1].find("Port already in use?"), std::string::npos);
}

} // namespace
