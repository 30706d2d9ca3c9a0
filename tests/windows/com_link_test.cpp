// The Win32 serial port and the link's operations on a COM port against the encoder
// simulator. KX470_TEST_PORT names the port ("COM5"); under Wine it leads to the simulator's
// pseudo terminal on the Linux side. The simulator starts with its built-in default image.

#include "link/link_operations.h"

#include "windows_host.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using TTexts = std::vector<std::string>;

std::string TestPort() {
  const char* port = std::getenv("KX470_TEST_PORT");
  return port ? port : "";
}

class TComLink : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(TestPort().empty()) << "KX470_TEST_PORT names no port to test on";
    CompleteHost(host);
    host.Message = [this](const std::string& text) { messages.push_back(text); };
    host.SetStatus = [this](int panel, const std::string& text) { panels[panel] = text; };
    host.EnablePagerMenu = [this](bool on) { pager = on; };
    host.SetIdentification = [this](const std::string& line) { identification = line; };
    StorePortNames(state.Ports, {TestPort()}, 1);
  }
  void TearDown() override { state.Link.Port.Close(); }

  static TImageBytes DefaultImage() {
    TConfigImage image;
    image.StoreChecksum();
    return image.Bytes();
  }

  TLinkState state;
  TLinkHost host;
  TTexts messages;
  std::string panels[3];
  std::string identification;
  bool pager = false;
};

TEST_F(TComLink, LinkReadWriteAndVerify) {
  ASSERT_EQ(LinkEncoder(state, host), TOutcome::Success) << panels[0] << " " << panels[2];
  EXPECT_EQ(messages, TTexts{"Link Success"});
  EXPECT_EQ(identification, "PID:8,  MCU Type:1,  IAP Ver:1.0,  User Ver:1.0");
  EXPECT_TRUE(pager);
  EXPECT_TRUE(state.Link.Port.IsOpen());
  EXPECT_EQ(state.Link.Port.BaudRate(), 19200u);

  TConfigImage image;
  image.WriteU32(TConfigImage::CapcodeRecordOffset(0), 99);
  messages.clear();
  ASSERT_EQ(ReadEncoder(state, host, image, [] {}), TOutcome::Success);
  EXPECT_EQ(messages, TTexts{"Read Success"});
  EXPECT_EQ(image.Bytes(), DefaultImage()) << "the encoder's image replaced the one held";

  image.WriteU32(TConfigImage::CapcodeRecordOffset(2), 1234567);
  messages.clear();
  ASSERT_EQ(WriteEncoder(state, host, image), TOutcome::Success);
  EXPECT_EQ(messages, TTexts{"Write Success"});
  EXPECT_TRUE(ChecksumValid(image.Bytes())) << "the write stores the checksum first";

  messages.clear();
  TImageBytes encoderImage{};
  EXPECT_EQ(VerifyEncoder(state, host, image, &encoderImage), TOutcome::Success);
  EXPECT_EQ(messages, TTexts{"Verify success !"});
  EXPECT_EQ(encoderImage, image.Bytes());

  TConfigImage other = image;
  other.WriteU32(TConfigImage::CapcodeRecordOffset(2), 7654321);
  other.StoreChecksum();
  messages.clear();
  EXPECT_EQ(VerifyEncoder(state, host, other), TOutcome::Failed);
  EXPECT_EQ(messages, TTexts{"Verify error !"});

  TConfigImage readBack;
  messages.clear();
  ASSERT_EQ(ReadEncoder(state, host, readBack, [] {}), TOutcome::Success);
  EXPECT_EQ(readBack.Bytes(), image.Bytes()) << "the encoder keeps what was written";
}

TEST_F(TComLink, TheProbeFindsTheEncoderOnItsSlot) {
  state.Ports.Slots[1] = "COM199";
  state.Ports.Count = 2;
  std::swap(state.Ports.Slots[0], state.Ports.Slots[1]);
  EXPECT_TRUE(ProbeEncoder(state, host)) << panels[0] << " " << panels[2];
  EXPECT_EQ(state.SelectedPort, 1) << "the port that answered becomes the selected one";
  EXPECT_EQ(messages, TTexts{}) << "the probe speaks in the status bar only";
}

TEST_F(TComLink, ThePortKeepsItsRulesWhileOpen) {
  TCommPort& port = state.Link.Port;
  port.Reconfigure(9600, TestPort(), kDataFormat8N1);
  ASSERT_TRUE(port.IsOpen());
  port.DiscardBuffers();
  EXPECT_EQ(port.PendingInput(), 0u);
  EXPECT_NO_THROW(port.Transmit(nullptr, 5));
  const std::uint8_t byte = 0;
  EXPECT_NO_THROW(port.Transmit(&byte, 0));
  EXPECT_FALSE(port.WaitForInput(20000)) << "an idle encoder sends nothing";
  try {
    port.AssignPortName("COM6");
    FAIL() << "the name changed while the port was open";
  } catch (const ECommError& error) {
    EXPECT_EQ(error.Code, ECommError::NameWhileOpen);
  }
  EXPECT_EQ(port.PortName(), TestPort());
  port.ChangeBaud(19200);
  EXPECT_EQ(port.BaudRate(), 19200u);
  port.Close();
  EXPECT_FALSE(port.IsOpen());

  // A second opener: Windows refuses it while the port is held. Wine does not keep ports for
  // one opener, so there the second handle shows the line settings the port was given, as far
  // as a Linux pseudo terminal holds them: it keeps the rate and the stop bits, and always
  // has 8 data bits without parity.
  const std::string path = TCommPort::DevicePath(TestPort());
  const auto lineOf = [&path](DCB& line) {
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (other == INVALID_HANDLE_VALUE)
      return false;
    line = DCB{};
    line.DCBlength = sizeof line;
    const bool read = GetCommState(other, &line);
    CloseHandle(other);
    return read;
  };
  DCB line{};
  port.Reconfigure(19200, TestPort(), kDataFormat7E2);
  if (!RunningUnderWine()) {
    EXPECT_FALSE(lineOf(line));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    return;
  }
  ASSERT_TRUE(lineOf(line));
  EXPECT_EQ(line.BaudRate, 19200u);
  EXPECT_EQ(line.StopBits, TWOSTOPBITS);
  EXPECT_EQ(line.fOutxCtsFlow, 0u);
  EXPECT_EQ(line.fOutX, 0u);
  EXPECT_EQ(line.fInX, 0u);
  port.Reconfigure(9600, TestPort(), kDataFormat8N1);
  ASSERT_TRUE(lineOf(line));
  EXPECT_EQ(line.BaudRate, 9600u);
  EXPECT_EQ(line.StopBits, ONESTOPBIT);
  EXPECT_EQ(line.ByteSize, 8);
  EXPECT_EQ(line.Parity, NOPARITY);
}

} // namespace
