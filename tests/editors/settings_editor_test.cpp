// Paging parameters and key map: value checks, option byte fields, capcode sets, key assignment.

#include "editors/config_fields.h"
#include "editors/key_names.h"
#include "editors/settings_editor.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsEditor, OptionByteFieldsKeepTheirNeighbours) {
  TConfigImage image;
  ASSERT_EQ(image[kOptionByte], 0x0A);
  WriteItem(image, kFieldBitRate, 2); // "2400 bps"
  EXPECT_EQ(image[kOptionByte], 0x2A);
  WriteItem(image, kFieldPolarity, 1); // "Invert"
  EXPECT_EQ(image[kOptionByte], 0x22);
  WriteTicked(image, kFieldKeyBeep, true);
  EXPECT_EQ(image[kOptionByte], 0x26);
  WriteItem(image, kFieldPolarity, 0);
  WriteTicked(image, kFieldKeyBeep, false);
  WriteItem(image, kFieldBitRate, 1);
  EXPECT_EQ(image[kOptionByte], 0x1A);
  image[kOptionByte] = 0xC0; // reserved bits
  WriteItem(image, kFieldBitRate, 2);
  WriteItem(image, kFieldPolarity, 0);
  WriteTicked(image, kFieldKeyBeep, true);
  EXPECT_EQ(image[kOptionByte], 0xEC);
  WriteItem(image, kFieldBitRate, -1); // a list without selection writes nothing
  EXPECT_EQ(image[kOptionByte], 0xEC);
}

TEST(SettingsEditor, SetChangesWriteTheirKeyMapsAndRecordLengths) {
  TConfigImage image;
  image[kKeyMap + 4] = 0x99;
  EXPECT_EQ(ApplyCapcodeSetToImage(image, 1, true), 4);
  EXPECT_EQ(image.RecordLength(), 160);
  EXPECT_EQ(image.ReadBitField(kOptionByte, kSelectorShift, kSelectorWidth), 1u);
  EXPECT_EQ(image[kOptionByte], 0x09);
  const std::uint8_t four[8] = {0x04, 0x08, 0x40, 0x80, 0x99, 0x20, 0x40, 0x80};
  for (std::size_t k = 0; k < 8; ++k)
    EXPECT_EQ(image[kKeyMap + k], four[k]) << k;

  EXPECT_EQ(ApplyCapcodeSetToImage(image, 0, true), 1);
  EXPECT_EQ(image.RecordLength(), 640);
  EXPECT_EQ(image[kOptionByte], 0x08);
  const std::uint8_t one[8] = {0x01, 0x08, 0x40, 0x80, 0x99, 0x20, 0x40, 0x80};
  for (std::size_t k = 0; k < 8; ++k)
    EXPECT_EQ(image[kKeyMap + k], one[k]) << k;

  EXPECT_EQ(ApplyCapcodeSetToImage(image, 2, true), 8);
  EXPECT_EQ(image.RecordLength(), 80);
  for (std::size_t k = 0; k < 8; ++k)
    EXPECT_EQ(image[kKeyMap + k], 1u << k) << k;
}

TEST(SettingsEditor, ShowingASetWritesNoKeyMap) {
  TConfigImage image;
  image[kKeyMap] = 0x80;
  EXPECT_EQ(ApplyCapcodeSetToImage(image, 1, false), 4);
  EXPECT_EQ(image[kKeyMap], 0x80);
}

TEST(SettingsEditor, NoSelectionFollowsTheImageAndWritesNothing) {
  TConfigImage image;
  image[kOptionByte] = 0x0B; // selector 3 names no set
  const TConfigImage before = image;
  EXPECT_EQ(ApplyCapcodeSetToImage(image, -1, true), 8);
  EXPECT_EQ(image.RecordLength(), 80);
  EXPECT_EQ(image.Bytes(), before.Bytes());
  image[kOptionByte] = 0x09;
  EXPECT_EQ(ApplyCapcodeSetToImage(image, -1, false), 4);
}

TEST(SettingsEditor, DuplicateKeysAmongTheEntriesInUse) {
  TConfigImage image; // 8 Set, keys S1..S8
  image.SetCapcodeCount(8);
  EXPECT_TRUE(AssignKey(image, 0, "KEY_S2"));
  EXPECT_EQ(image[kKeyMap], 0x02) << "stored all the same";
  EXPECT_FALSE(AssignKey(image, 0, "KEY_S1"));
  ApplyCapcodeSetToImage(image, 1, true); // 04 08 40 80, entries 4..7 kept
  EXPECT_FALSE(AssignKey(image, 0, "KEY_S5")) << "entry 4 (KEY_S5) is not in use";
  EXPECT_TRUE(AssignKey(image, 0, "KEY_S8"));
  EXPECT_FALSE(AssignKey(image, 0, "KEY_S10"));
  EXPECT_EQ(image[kKeyMap], 0x80) << "an unknown name stores nothing";
  EXPECT_EQ(KeyName(0x99), "KEY_S9");
  EXPECT_EQ(KeyName(0x03), "");
}

TEST(SettingsEditor, AddressCheck) {
  EXPECT_EQ(CheckAddress("").Status, TFieldStatus::Restore);
  EXPECT_EQ(CheckAddress("   ").Status, TFieldStatus::Restore);
  EXPECT_EQ(CheckAddress("8").Status, TFieldStatus::Store);
  EXPECT_EQ(CheckAddress("2097151").Value, 2097151);
  EXPECT_EQ(CheckAddress(" 0001234 ").Value, 1234);
  EXPECT_EQ(CheckAddress("7").Status, TFieldStatus::OutOfRange);
  EXPECT_EQ(CheckAddress("2097152").Status, TFieldStatus::OutOfRange);
  EXPECT_EQ(CheckAddress("-5").Status, TFieldStatus::OutOfRange);
  EXPECT_EQ(CheckAddress("99999999999999999999999").Status, TFieldStatus::OutOfRange);
  const TFieldCheck fraction = CheckAddress("1234.9");
  EXPECT_EQ(fraction.Status, TFieldStatus::Store);
  EXPECT_EQ(fraction.Value, 1234);
  for (const char* bad : {"12a4", "0x10", ".", "1.2.3", "1 2"})
    EXPECT_EQ(CheckAddress(bad).Status, TFieldStatus::NotANumber) << bad;
}

TEST(SettingsEditor, RepeatAndWaitChecks) {
  EXPECT_EQ(CheckRepeatTimes("1").Status, TFieldStatus::Store);
  EXPECT_EQ(CheckRepeatTimes("256").Value, 256);
  EXPECT_EQ(CheckRepeatTimes("0").Status, TFieldStatus::OutOfRange);
  EXPECT_EQ(CheckRepeatTimes("257").Status, TFieldStatus::OutOfRange);
  EXPECT_EQ(CheckRepeatTimes("").Status, TFieldStatus::Restore);
  EXPECT_EQ(CheckRepeatTimes("2.5").Status, TFieldStatus::NotANumber);
  EXPECT_EQ(CheckWaitTime("0").Status, TFieldStatus::Store);
  EXPECT_EQ(CheckWaitTime("250").Value, 250);
  EXPECT_EQ(CheckWaitTime("251").Status, TFieldStatus::OutOfRange);
  EXPECT_EQ(CheckWaitTime("x").Status, TFieldStatus::NotANumber);
}

TEST(SettingsEditor, CodeChecks) {
  EXPECT_EQ(CheckCode("1F").Value, 0x1F);
  EXPECT_EQ(CheckCode("1f").Value, 0x1F);
  EXPECT_EQ(CheckCode("20").Status, TFieldStatus::Store);
  EXPECT_EQ(CheckCode("21").Status, TFieldStatus::OutOfRange);
  EXPECT_EQ(CheckCode("").Status, TFieldStatus::OutOfRange) << "an empty box is a range error";
  EXPECT_EQ(CheckCode("G1").Status, TFieldStatus::NotANumber);
  EXPECT_EQ(CheckCode("105").Value, 0x05) << "cut to 8 bits";
  EXPECT_EQ(CodeValue("05"), 0x05);
  EXPECT_EQ(CodeValue("0"), 0x00);
  EXPECT_EQ(CodeValue(""), 0x00);
  EXPECT_EQ(CodeValue("zz"), 0x00);
}

} // namespace
