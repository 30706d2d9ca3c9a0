// One field of an image through its declaration: offsets, list items, check boxes, numbers.

#include "editors/config_fields.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(ConfigFields, OffsetsOfTheEightfoldFields) {
  EXPECT_EQ(FieldOffset(kFieldCapcode, 7), 0x04Au);
  EXPECT_EQ(FieldOffset(kFieldType, 1), 0x02Au);
  EXPECT_EQ(FieldOffset(kFieldFunction, 0), 0x025u);
  EXPECT_EQ(FieldOffset(kFieldKey, 3), 0x053u);
  EXPECT_EQ(FieldOffset(kFieldRegister, 2), 0x009u) << "the word's value, after its first byte";
  EXPECT_EQ(FieldOffset(kFieldRepeatWait), 0x05Au);
}

TEST(ConfigFields, ListItemsAndTheirBits) {
  TConfigImage image; // option byte 0x0A
  EXPECT_EQ(ItemIndex(image, kFieldBitRate), 0);
  EXPECT_EQ(ItemIndex(image, kFieldPolarity), 0) << "bit 3 set is Normal, the first item";
  EXPECT_EQ(ItemIndex(image, kFieldCapcodeSet), 2);
  WriteItem(image, kFieldPolarity, 1);
  EXPECT_EQ(image[kOptionByte], 0x02);
  EXPECT_EQ(ItemIndex(image, kFieldPolarity), 1);
  image[kOptionByte] = 0x33;
  EXPECT_EQ(ItemIndex(image, kFieldBitRate), -1) << "bit rate 3 has no item";
  EXPECT_EQ(ItemIndex(image, kFieldCapcodeSet), -1);
  WriteItem(image, kFieldBitRate, 3); // no such item: nothing written
  WriteItem(image, kFieldBitRate, -1);
  EXPECT_EQ(image[kOptionByte], 0x33);
  image[kPcCommand] = 3;
  EXPECT_EQ(ItemIndex(image, kFieldPcCommand), -1);
  WriteItem(image, kFieldType, 4, 6);
  EXPECT_EQ(image[0x020 + 36 + 4], 4);
  EXPECT_EQ(StoredValue(image, kFieldType, 6), 4u);
  EXPECT_EQ(FindItem(kFieldFunction, "1 0"), 2);
  EXPECT_EQ(FindItem(kFieldFunction, "10"), -1);
  EXPECT_STREQ(ItemText(kFieldType, 3), "Tone Only");
  EXPECT_EQ(ItemText(kFieldType, 5), nullptr);
}

TEST(ConfigFields, CheckBoxesAndNumbers) {
  TConfigImage image;
  image[kTriggerEdge] = 7;
  EXPECT_TRUE(Ticked(image, kFieldTriggerRising)) << "any byte but 0";
  WriteTicked(image, kFieldTriggerRising, true);
  EXPECT_EQ(image[kTriggerEdge], 1);
  WriteTicked(image, kFieldKeyBeep, true);
  EXPECT_EQ(image[kOptionByte], 0x0E);
  EXPECT_TRUE(Ticked(image, kFieldKeyBeep));
  EXPECT_EQ(ShownNumber(image, kFieldRepeatTimes), 1) << "the count is stored less one";
  WriteShownNumber(image, kFieldRepeatTimes, 256);
  EXPECT_EQ(image[kRepeatCount], 0xFF);
  WriteShownNumber(image, kFieldRepeatWait, 250);
  EXPECT_EQ(ShownNumber(image, kFieldRepeatWait), 250);
  EXPECT_THROW(WriteShownNumber(image, kFieldRepeatTimes, 0), std::out_of_range);
  EXPECT_THROW(WriteShownNumber(image, kFieldRepeatWait, 251), std::out_of_range);
  EXPECT_EQ(image[kRepeatWait], 250);
}

} // namespace
