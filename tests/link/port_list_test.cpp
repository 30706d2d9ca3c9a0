// The Windows port discovery's rules, fed with devices as the Setup API would report them:
// which devices count, where their names go, and what the list holds when nothing counts.

#include "link/port_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TPortDevice Device(const char* friendlyName, bool service = true) {
  TPortDevice device;
  device.FriendlyName = friendlyName;
  device.HasService = service;
  return device;
}

// Feeds the devices in order and counts how often discovery asked for one.
struct TFeed {
  std::vector<TPortDevice> Devices;
  std::size_t Asked = 0;
  TNextPortDevice Next() {
    return [this](TPortDevice& device) {
      if (Asked >= Devices.size()) {
        ++Asked;
        return false;
      }
      device = Devices[Asked++];
      return true;
    };
  }
};

void ExpectStandardPorts(const TPortList& list) {
  ASSERT_EQ(list.Count, 16);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(list.Slots[static_cast<std::size_t>(i)], "COM" + std::to_string(i + 1));
}

TEST(ComPorts, NamesGoInOrderOfTheirNumberWithoutGaps) {
  TFeed feed{{Device("USB Serial Port (COM7)"), Device("Communications Port (COM1)"),
              Device("Prolific USB-to-Serial Comm Port (COM12)"), Device("ELTIMA (COM4)")}};
  TPortList list;
  StoreComPorts(list, feed.Next());
  EXPECT_EQ(list.Count, 4);
  EXPECT_EQ(list.Slots[0], "COM1");
  EXPECT_EQ(list.Slots[1], "COM4");
  EXPECT_EQ(list.Slots[2], "COM7");
  EXPECT_EQ(list.Slots[3], "COM12");
  EXPECT_EQ(list.Slots[4], "");
  EXPECT_EQ(feed.Asked, 5u) << "the enumeration ends at the first device it cannot get";
}

TEST(ComPorts, OnlyNamedPortsWithAServiceCount) {
  TPortDevice unreadable;
  unreadable.HasService = true;
  TFeed feed{{Device("Printer Port (LPT1)"), Device("Modem (COM3)", false), unreadable,
              Device("USB Serial Port (COM2)"), Device("Something COM5)")}};
  TPortList list;
  StoreComPorts(list, feed.Next());
  EXPECT_EQ(list.Count, 1);
  EXPECT_EQ(list.Slots[0], "COM2");
}

TEST(ComPorts, NothingThatCountsGivesTheSixteenStandardPorts) {
  TPortList list;
  list.Slots[20] = "COM21";
  TFeed none;
  StoreComPorts(list, none.Next());
  ExpectStandardPorts(list);
  EXPECT_EQ(list.Slots[16], "");
  EXPECT_EQ(list.Slots[20], "COM21") << "slots past the sixteen are not touched";

  TFeed skipped{{Device("Printer Port (LPT1)"), Device("Modem (COM3)", false)}};
  StoreComPorts(list, skipped.Next());
  ExpectStandardPorts(list);
}

TEST(ComPorts, DevicesWithoutAUsableNumberCountButNameNothing) {
  // No ")" after the name, two devices on one number, numbers outside 1..256, no digits.
  TFeed feed{{Device("Broken (COM3"), Device("A (COM4)"), Device("B (COM4)"), Device("C (COM0)"),
              Device("D (COM257)"), Device("E (COMx)"), Device("F (COM)"), Device("G (COM256)"),
              Device("H (COM99999999999)")}};
  TPortList list;
  StoreComPorts(list, feed.Next());
  EXPECT_EQ(list.Count, 9);
  EXPECT_EQ(list.Slots[0], "COM4");
  EXPECT_EQ(list.Slots[1], "COM256");
  for (std::size_t i = 2; i < 9; ++i)
    EXPECT_EQ(list.Slots[i], "") << "slot " << i << " lies below the count without a name";
}

TEST(ComPorts, ANewRefreshEmptiesBelowItsCountAndKeepsTheRest) {
  TPortList list;
  TFeed five{
      {Device("(COM1)"), Device("(COM2)"), Device("(COM3)"), Device("(COM4)"), Device("(COM5)")}};
  StoreComPorts(list, five.Next());
  TFeed two{{Device("(COM9)"), Device("no number (COM")}};
  StoreComPorts(list, two.Next());
  EXPECT_EQ(list.Count, 2);
  EXPECT_EQ(list.Slots[0], "COM9");
  EXPECT_EQ(list.Slots[1], "");
  EXPECT_EQ(list.Slots[2], "COM3") << "a manual link on a slot past the count still finds it";
  EXPECT_EQ(list.Slots[4], "COM5");
}

TEST(ComPorts, CountingStopsPastTheSlots) {
  TFeed feed;
  for (int i = 1; i <= 300; ++i) {
    const std::string name = "Port (COM" + std::to_string(i) + ")";
    feed.Devices.push_back(Device(name.c_str()));
  }
  TPortList list;
  StoreComPorts(list, feed.Next());
  // The device that finds the count above 256 is counted and ends the enumeration.
  EXPECT_EQ(list.Count, 258);
  EXPECT_EQ(feed.Asked, 258u);
  EXPECT_EQ(list.Slots[0], "COM1");
  EXPECT_EQ(list.Slots[255], "COM256");
}

TEST(ComPorts, NumberComesFromTheFirstPortInTheName) {
  EXPECT_EQ(ComPortNumber("USB Serial Port (COM3)"), 3);
  EXPECT_EQ(ComPortNumber("Dual (COM12) and (COM3)"), 12);
  EXPECT_EQ(ComPortNumber("COM7 without brackets"), 0);
  EXPECT_EQ(ComPortNumber("(COM3 (COM4)"), 0) << "the digits run up to the first \")\"";
  EXPECT_EQ(ComPortNumber(""), 0);
}

} // namespace
