// Port discovery and the port's device path on Windows.

#include "link/comm_port.h"
#include "link/port_info.h"
#include "link/port_list.h"

#include "portable.h"
#include "windows_host.h"

#include <cstring>
#include <devguid.h>
#include <functional>
#include <gtest/gtest.h>
#include <setupapi.h>

namespace {

TEST(WindowsPorts, DiscoveryListsComPortsByNumber) {
  ClearEnvironment("KX470_PORTS");
  TPortList list;
  list.Slots[100] = "COM200";
  RefreshPortList(list);
  if (RunningUnderWine()) {
    // A fresh Wine prefix has no members in the ports class: the standard ports stand in.
    ASSERT_EQ(list.Count, 16);
    for (int i = 0; i < 16; ++i)
      EXPECT_EQ(list.Slots[static_cast<std::size_t>(i)], "COM" + std::to_string(i + 1));
  }
  ASSERT_GE(list.Count, 1);
  int previous = 0;
  for (int i = 0; i < list.Count && !list.Slots[static_cast<std::size_t>(i)].empty(); ++i) {
    const std::string& name = list.Slots[static_cast<std::size_t>(i)];
    ASSERT_EQ(name.rfind("COM", 0), 0u) << name;
    const int number = std::stoi(name.substr(3));
    EXPECT_GT(number, previous) << "ascending by port number";
    previous = number;
  }
  EXPECT_EQ(list.Slots[100], "COM200") << "slots past the count keep what they held";
}

// Devices of the ports class made for a test, removed again at its end.
class TTestPorts {
public:
  TTestPorts() : FSet(SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr)) {}
  ~TTestPorts() {
    for (SP_DEVINFO_DATA& device : FDevices)
      SetupDiRemoveDevice(FSet, &device);
    SetupDiDestroyDeviceInfoList(FSet);
  }
  TTestPorts(const TTestPorts&) = delete;
  TTestPorts& operator=(const TTestPorts&) = delete;
  // A present member of the class with this friendly name and, when given, a service.
  bool Add(const std::string& friendlyName, const char* service) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    const std::string id = "KX470TEST" + std::to_string(FDevices.size());
    if (!SetupDiCreateDeviceInfoA(FSet, id.c_str(), &GUID_DEVCLASS_PORTS, nullptr, nullptr,
                                  DICD_GENERATE_ID, &device) ||
        !SetupDiRegisterDeviceInfo(FSet, &device, 0, nullptr, nullptr, nullptr))
      return false;
    FDevices.push_back(device);
    const auto set = [&](DWORD property, const char* text) {
      return SetupDiSetDeviceRegistryPropertyA(FSet, &device, property,
                                               reinterpret_cast<const BYTE*>(text),
                                               static_cast<DWORD>(std::strlen(text) + 1)) != 0;
    };
    return set(SPDRP_FRIENDLYNAME, friendlyName.c_str()) &&
           (!service || set(SPDRP_SERVICE, service));
  }

private:
  HDEVINFO FSet;
  std::vector<SP_DEVINFO_DATA> FDevices;
};

TEST(WindowsPorts, DiscoveryReadsThePortsClassOfTheSetupApi) {
  if (!RunningUnderWine())
    GTEST_SKIP() << "adds devices to the system: only in the Wine prefix made for the run";
  ClearEnvironment("KX470_PORTS");
  TPortList list;
  {
    TTestPorts ports;
    ASSERT_TRUE(ports.Add("Test Serial Port (COM7)", "Serial")) << GetLastError();
    ASSERT_TRUE(ports.Add("Test Modem (COM3)", "Modem")) << GetLastError();
    ASSERT_TRUE(ports.Add("Test Port without a driver (COM5)", nullptr)) << GetLastError();
    ASSERT_TRUE(ports.Add("Test Printer Port (LPT1)", "Parport")) << GetLastError();
    RefreshPortList(list);
    EXPECT_EQ(list.Count, 2);
    EXPECT_EQ(list.Slots[0], "COM3");
    EXPECT_EQ(list.Slots[1], "COM7");
  }
  RefreshPortList(list);
  EXPECT_EQ(list.Count, 16) << "the devices are gone: the standard ports stand in again";
}

TEST(WindowsPorts, EnvironmentReplacesDiscovery) {
  SetEnvironment("KX470_PORTS", "COM5:COM12");
  TPortList list;
  RefreshPortList(list);
  ClearEnvironment("KX470_PORTS");
  EXPECT_EQ(list.Count, 2);
  EXPECT_EQ(list.Slots[0], "COM5");
  EXPECT_EQ(list.Slots[1], "COM12");
}

TEST(WindowsPorts, EveryPortOpensThroughTheDevicePrefix) {
  EXPECT_EQ(TCommPort::DevicePath("COM1"), "\\\\.\\COM1");
  EXPECT_EQ(TCommPort::DevicePath("COM12"), "\\\\.\\COM12");
  EXPECT_EQ(DescribePort("COM3").Path, "\\\\.\\COM3");
  EXPECT_FALSE(DescribePort("COM3").Known);
}

TEST(WindowsPorts, AMissingPortFailsToOpenWithItsSystemError) {
  TCommPort port;
  port.AssignPortName("COM199");
  try {
    port.Open();
    FAIL() << "COM199 opened";
  } catch (const ECommError& error) {
    EXPECT_EQ(error.Code, ECommError::OpenFailed);
    EXPECT_NE(error.SystemError, 0u);
    EXPECT_EQ(DescribeCommError(error).rfind("Serial port error 8 (", 0), 0u)
        << DescribeCommError(error);
  }
  EXPECT_FALSE(port.IsOpen());
  // An empty slot of the list names no device either.
  port.AssignPortName("");
  EXPECT_THROW(port.Open(), ECommError);
}

TEST(WindowsPorts, AClosedPortRefusesEveryTransfer) {
  TCommPort port;
  const auto code = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const ECommError& error) {
      return static_cast<int>(error.Code);
    }
    return 0;
  };
  const std::uint8_t byte = 0;
  EXPECT_EQ(code([&] { port.PendingInput(); }), ECommError::NotOpen);
  EXPECT_EQ(code([&] { port.ReceiveByte(); }), ECommError::NotOpen);
  EXPECT_EQ(code([&] { port.Transmit(&byte, 1); }), ECommError::NotOpen);
  EXPECT_EQ(code([&] { port.DiscardBuffers(); }), ECommError::NotOpen);
  EXPECT_EQ(code([&] { port.Close(); }), 0) << "closing a closed port does nothing";
  EXPECT_FALSE(port.WaitForInput(1000));
  // On a closed port a new rate is only stored, for the next Open.
  EXPECT_EQ(code([&] { port.ChangeBaud(19200); }), 0);
  EXPECT_EQ(port.BaudRate(), 19200u);
}

} // namespace
