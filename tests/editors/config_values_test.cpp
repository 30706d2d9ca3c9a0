// The field model: reading every field of an image, building images from values with the
// window's checks and messages, and the round trip from a table's values back to the table.

#include "config_tables.h"
#include "editors/config_fields.h"
#include "editors/config_values.h"
#include "synth/frequency_plan.h"
#include "synth/register_map.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using TValues = std::vector<TAssignment>;

std::map<std::string, TFieldValue> Read(const TImageBytes& bytes) {
  std::map<std::string, TFieldValue> values;
  for (const TFieldReading& reading : ReadFields(bytes, TestCodec()))
    values.emplace(reading.Path, reading.Value);
  return values;
}

TValues AsValues(const TImageBytes& bytes) {
  TValues values;
  for (const TFieldReading& reading : ReadFields(bytes, TestCodec()))
    if (reading.Field->Group != TFieldGroup::Checksum)
      values.push_back({reading.Path, reading.Value});
  return values;
}

TImageBytes Default() {
  TConfigImage image;
  image.StoreChecksum();
  return image.Bytes();
}

TBuildOutcome Build(const TValues& values, const TImageBytes& base = Default()) {
  return BuildImage(base, values, TestCodec());
}

TFieldValue Text(const std::string& text) {
  return TFieldValue::Of(text);
}
TFieldValue Number(std::int64_t number) {
  return TFieldValue::Number(number);
}

// The one error of a refused build; the test fails when it was built.
std::string Refusal(const TValues& values, const TImageBytes& base = Default()) {
  const TBuildOutcome built = Build(values, base);
  EXPECT_FALSE(built.Ok()) << values.front().Path;
  EXPECT_EQ(built.Image, TImageBytes{}) << "a refused build gives no image";
  return built.Errors.empty() ? "" : built.Errors.front();
}

TEST(ConfigValues, TheDefaultImageReadsAsTheWindowShowsIt) {
  const auto values = Read(TConfigImage::DefaultBytes());
  EXPECT_TRUE(SameValue(values.at("bit_rate"), Text("512 bps")));
  EXPECT_TRUE(SameValue(values.at("polarity"), Text("Normal")));
  EXPECT_TRUE(SameValue(values.at("key_beep"), TFieldValue::Of(false)));
  EXPECT_TRUE(SameValue(values.at("capcode_set"), Text("8 Set")));
  EXPECT_TRUE(SameValue(values.at("capcode_count"), Number(8)));
  EXPECT_TRUE(SameValue(values.at("repeat_times"), Number(1)));
  EXPECT_TRUE(SameValue(values.at("pc_command"), Text("NONE")));
  EXPECT_TRUE(SameValue(values.at("entries[7].capcode"), Number(1234567)));
  EXPECT_TRUE(SameValue(values.at("entries[3].text"), Text("Alpha Test !")));
  EXPECT_TRUE(SameValue(values.at("keys[5]"), Text("KEY_S6")));
  EXPECT_TRUE(SameValue(values.at("registers[3]"), Number(0xFF2527)));
  EXPECT_TRUE(SameValue(values.at("frequency_hz"), Number(155000000)));
  EXPECT_TRUE(SameValue(values.at("checksum.computed"), Number(0x308A)));
  EXPECT_TRUE(SameValue(values.at("checksum.valid"), TFieldValue::Of(false)));
  EXPECT_EQ(values.count("entries[8].capcode"), 0u);
}

TEST(ConfigValues, ValuesNoItemStandsFor) {
  TImageBytes bytes = Default();
  bytes[kOptionByte] = 0xFB; // selector 3, bit rate 3, polarity 1, beep 0, reserved bits set
  bytes[kPcCommand] = 4;
  bytes[kTriggerEdge] = 5;
  bytes[kKeyMap] = 0x99;
  bytes[kKeyMap + 1] = 0x03;
  bytes[kCapcodeRecords + kCapcodeTypeOffset] = 7;
  bytes[kCapcodeRecords + kCapcodeFunctionOffset] = 9;
  const auto values = Read(bytes);
  EXPECT_TRUE(SameValue(values.at("bit_rate"), TFieldValue::Null()));
  EXPECT_TRUE(SameValue(values.at("capcode_set"), TFieldValue::Null()));
  EXPECT_TRUE(SameValue(values.at("capcode_count"), TFieldValue::Null()));
  EXPECT_EQ(values.count("entries[7].text"), 1u) << "selector 3 is laid out as eight entries";
  EXPECT_TRUE(SameValue(values.at("pc_command"), Number(4)));
  EXPECT_TRUE(SameValue(values.at("trigger_rising"), TFieldValue::Of(true)));
  EXPECT_TRUE(SameValue(values.at("keys[0]"), Text("KEY_S9")));
  EXPECT_TRUE(SameValue(values.at("keys[1]"), Text("")));
  EXPECT_TRUE(SameValue(values.at("entries[0].type"), Number(7)));
  EXPECT_TRUE(SameValue(values.at("entries[0].function"), Number(9)));
}

TEST(ConfigValues, SameValueComparesNumbersByValue) {
  EXPECT_TRUE(SameValue(TFieldValue::Number("012"), Number(12)));
  EXPECT_TRUE(SameValue(TFieldValue::Number("12.0"), Number(12)));
  EXPECT_FALSE(SameValue(TFieldValue::Number("12.5"), Number(12)));
  EXPECT_FALSE(SameValue(Text("12"), Number(12)));
  EXPECT_FALSE(SameValue(TFieldValue::Null(), TFieldValue::Of(false)));
  EXPECT_EQ(DescribeValue(Text("a\"b\\\n\x01")), "\"a\\\"b\\\\\\n\\u0001\"");
}

TEST(ConfigValues, GeneralFieldsWriteTheirBitsAndNothingElse) {
  TImageBytes base = Default();
  base[kOptionByte] = 0xCA; // reserved bits 6-7 set
  const TBuildOutcome built = Build({{"bit_rate", Text("2400 bps")},
                                     {"polarity", Text("Invert")},
                                     {"key_beep", TFieldValue::Of(true)},
                                     {"repeat_times", Number(256)},
                                     {"repeat_wait", TFieldValue::Number("250")},
                                     {"pc_command", Text("RF TEST")},
                                     {"trigger_rising", TFieldValue::Of(true)}},
                                    base);
  ASSERT_TRUE(built.Ok()) << built.Errors.front();
  EXPECT_EQ(built.Image[kOptionByte], 0xE6);
  EXPECT_EQ(built.Image[kRepeatCount], 0xFF);
  EXPECT_EQ(built.Image[kRepeatWait], 250);
  EXPECT_EQ(built.Image[kPcCommand], 2);
  EXPECT_EQ(built.Image[kTriggerEdge], 1);
  EXPECT_TRUE(ChecksumValid(built.Image));
  for (std::size_t offset = 0; offset < kChecksum; ++offset) {
    if (offset < kOptionByte || offset > kTriggerEdge) {
      EXPECT_EQ(built.Image[offset], base[offset]) << offset;
    }
  }
}

TEST(ConfigValues, RefusedValuesGetTheWindowsMessagesWithTheirField) {
  EXPECT_EQ(Refusal({{"entries[2].capcode", Number(7)}}),
            "entries[2].capcode: Please insert a number between 8 to 2097151!");
  EXPECT_EQ(Refusal({{"entries[2].capcode", Number(2097152)}}),
            "entries[2].capcode: Please insert a number between 8 to 2097151!");
  EXPECT_EQ(Refusal({{"entries[2].capcode", Text("12a")}}),
            "entries[2].capcode: \"12a\" is not a decimal number !");
  EXPECT_EQ(Refusal({{"repeat_times", Number(0)}}),
            "repeat_times: Please insert a number between 1 and 256 !");
  EXPECT_EQ(Refusal({{"repeat_times", Number(257)}}),
            "repeat_times: Please insert a number between 1 and 256 !");
  EXPECT_EQ(Refusal({{"repeat_wait", Number(251)}}),
            "repeat_wait: Please insert a number between 0 and 250 !");
  EXPECT_EQ(Refusal({{"entries[0].header_code", Number(0x21)}}),
            "entries[0].header_code: Please insert a number between 0 and 0x20 !");
  EXPECT_EQ(Refusal({{"entries[0].trailer_code", Text("21")}}),
            "entries[0].trailer_code: Please insert a number between 0 and 0x20 !")
      << "a code as text is hexadecimal, as in the window's box";
  EXPECT_EQ(Refusal({{"bit_rate", Text("9600 bps")}}),
            "bit_rate: \"9600 bps\" is not one of \"512 bps\", \"1200 bps\", \"2400 bps\"");
  EXPECT_EQ(Refusal({{"key_beep", Number(1)}}), "key_beep: 1 is not true or false");
  EXPECT_EQ(Refusal({{"keys[3]", Text("KEY_S9")}}).rfind("keys[3]: \"KEY_S9\" is not one of", 0),
            0u)
      << "the lists offer KEY_S1 to KEY_S8";
  EXPECT_EQ(Refusal({{"keys[1]", Text("KEY_S1")}}), "keys[1]: Repeat definition of button !");
  EXPECT_EQ(Refusal({{"registers[2]", Number(0x1000000)}}),
            "registers[2]: A register holds 24 bits: give a number between 0 and 16777215 "
            "(0xFFFFFF) !");
  EXPECT_EQ(Refusal({{"frequency_hz", Number(300000000)}}), "frequency_hz: Frequency Error!");
  EXPECT_EQ(Refusal({{"frequency_hz", Number(155001000)}}), "frequency_hz: Channel Spacing Error!");
  EXPECT_EQ(Refusal({{"checksum.stored", Number(1)}}),
            "checksum.stored: the checksum is computed when the table is written; it cannot be "
            "given");
  EXPECT_EQ(Refusal({{"bitrate", Text("512 bps")}}), "bitrate: no such field");
  EXPECT_EQ(Refusal({{"keys[8]", Text("KEY_S1")}}), "keys[8]: there are only keys[0] to keys[7]");
  EXPECT_EQ(Refusal({{"entries[1].colour", Text("red")}}).rfind("entries[1].colour: no such", 0),
            0u);
  EXPECT_EQ(Refusal({{"capcode_set", Text("4 Set")}, {"entries[4].capcode", Number(100)}}),
            "entries[4].capcode: \"4 Set\" has entries[0] to entries[3] only");
  EXPECT_EQ(Refusal({{"capcode_count", Number(4)}}).rfind("capcode_count: 4 does not match", 0),
            0u);
  EXPECT_EQ(Refusal({{"bit_rate", Text("1200 bps")}, {"bit_rate", Text("2400 bps")}}),
            "bit_rate: given twice");
  // Every refusal is told, not only the first.
  const TBuildOutcome many =
      Build({{"repeat_times", Number(0)}, {"entries[0].capcode", Number(1)}});
  EXPECT_EQ(many.Errors.size(), 2u);
}

TEST(ConfigValues, MessagesAreCheckedAsTheMemoChecksTypedKeys) {
  TImageBytes base = Default();
  const auto typed = [&](const char* type, const std::string& text) {
    return Build({{"entries[1].type", Text(type)}, {"entries[1].text", Text(text)}}, base);
  };
  EXPECT_EQ(typed("Tone Only", "x").Errors.at(0),
            "entries[1].text: Tone Only ! (\"x\", character 1)");
  EXPECT_EQ(typed("Digit(0x0F)", "12g").Errors.at(0),
            "entries[1].text: Hex Number Only ! (\"g\", character 3)");
  EXPECT_EQ(typed("Digit(0x0C)", "12A").Errors.at(0),
            "entries[1].text: Dec Number or 'U' or Space or '-' or ']' or '[' Only ! (\"A\", "
            "character 3)");
  EXPECT_NE(typed("Alpha", "\xE4\xB8\x80").Errors.at(0).find("only Latin-1"), std::string::npos)
      << "an 8-bit record holds Latin-1 only";
  EXPECT_NE(typed("Binary", "\xE2\x82\xAC").Errors.at(0).find("cannot be sent in a Binary"),
            std::string::npos);

  // Lower-case hexadecimal digits and "u" are stored in upper case, trailing blanks dropped.
  TBuildOutcome built = typed("Digit(0x0F)", "1f  ");
  ASSERT_TRUE(built.Ok()) << built.Errors.at(0);
  EXPECT_TRUE(SameValue(Read(built.Image).at("entries[1].text"), Text("1F")));
  built = typed("Digit(0x0C)", "12-u");
  ASSERT_TRUE(built.Ok());
  EXPECT_EQ(built.Image[0x60 + 80], '1');
  EXPECT_EQ(built.Image[0x60 + 83], 'U');
  // A "Binary" text keeps its case: the stream carries lower case.
  built = typed("Binary", "ab" + Chinese(0xA440));
  ASSERT_TRUE(built.Ok());
  const std::vector<std::uint8_t> record(built.Image.begin() + 0xB0,
                                         built.Image.begin() + 0xB0 + 7);
  EXPECT_EQ(record, (std::vector<std::uint8_t>{0x0F, 'a', 'b', 0x0E, 0x44, 0x21, 0x00}));

  // 79 characters fill an Alpha record of 80 bytes; with a header code only 78 fit.
  EXPECT_TRUE(typed("Alpha", std::string(79, 'x')).Ok());
  EXPECT_EQ(typed("Alpha", std::string(80, 'x')).Errors.at(0),
            "entries[1].text: the message takes 80 bytes; its record of 80 bytes holds 79 !");
  EXPECT_FALSE(Build({{"entries[1].header_code", Number(5)},
                      {"entries[1].text", Text(std::string(79, 'x'))}})
                   .Ok());
  EXPECT_FALSE(typed("Binary", std::string(80, 'x')).Ok()) << "81 bytes with its shift code";
  EXPECT_NE(Refusal({{"entries[0].text", Text(std::string("a\0b", 3))}}).find("U+0000"),
            std::string::npos);
}

TEST(ConfigValues, TextRecordsWithCodesAndValuesThatWouldNotReadBack) {
  TBuildOutcome built = Build({{"entries[0].header_code", Number(5)},
                               {"entries[0].trailer_code", Text("03")},
                               {"entries[0].text", Text("AB")}});
  ASSERT_TRUE(built.Ok()) << built.Errors.at(0);
  const std::vector<std::uint8_t> record(built.Image.begin() + 0x60,
                                         built.Image.begin() + 0x60 + 5);
  EXPECT_EQ(record, (std::vector<std::uint8_t>{0x05, 'A', 'B', 0x03, 0x00}));
  // Only Alpha records carry a header code.
  EXPECT_NE(Refusal({{"entries[0].type", Text("Digit(0x0C)")},
                     {"entries[0].text", Text("12")},
                     {"entries[0].header_code", Number(5)}})
                .find("cannot be kept"),
            std::string::npos);
  // 0x20 as header reads back as a blank at the start of the text.
  EXPECT_EQ(Refusal({{"entries[0].header_code", Number(0x20)}}),
            "entries[0].header_code: 32 cannot be kept: the table would read back 0");
  // A text that starts with a control code would be taken for the header code.
  EXPECT_NE(Refusal({{"entries[0].text", Text("\x05"
                                              "AB")}})
                .find("cannot be kept"),
            std::string::npos);
  EXPECT_EQ(Refusal({{"entries[0].type", Text("Binary")}, {"entries[0].header_code", Number(1)}}),
            "entries[0].header_code: a Binary message has no header or trailer code: give null");
}

TEST(ConfigValues, TypesAndSetsAsTheWindowPicksThem) {
  // A new type without a text gets the type's default text and codes 0.
  TImageBytes base = Default();
  base[0x60] = 0x05; // entry 0: header code 5
  TBuildOutcome built = Build({{"entries[0].type", Text("Binary")}}, base);
  ASSERT_TRUE(built.Ok()) << built.Errors.at(0);
  auto values = Read(built.Image);
  EXPECT_TRUE(SameValue(values.at("entries[0].text"), Text("1234567890")));
  EXPECT_EQ(built.Image[0x60], 0x0F);
  built = Build({{"entries[0].type", Text("Tone Only")}}, base);
  ASSERT_TRUE(built.Ok());
  EXPECT_EQ(std::count(built.Image.begin() + 0x60, built.Image.begin() + 0xB0, 0), 80);

  // A new capcode set moves every message to its new record and keeps its type and codes.
  base = Build({{"entries[1].type", Text("Digit(0x0C)")},
                {"entries[1].text", Text("911")},
                {"entries[1].trailer_code", Number(3)},
                {"entries[2].type", Text("Binary")},
                {"entries[2].text", Text(Chinese(0xB0A1) + "x")}})
             .Image;
  built = Build({{"capcode_set", Text("4 Set")}}, base);
  ASSERT_TRUE(built.Ok()) << built.Errors.at(0);
  values = Read(built.Image);
  EXPECT_TRUE(SameValue(values.at("capcode_count"), Number(4)));
  EXPECT_TRUE(SameValue(values.at("entries[1].text"), Text("911")));
  EXPECT_TRUE(SameValue(values.at("entries[1].trailer_code"), Number(3)));
  EXPECT_TRUE(SameValue(values.at("entries[2].text"), Text(Chinese(0xB0A1) + "x")));
  EXPECT_EQ(built.Image[0x60 + 160], '9') << "record 1 now starts at 0x100";
  EXPECT_EQ(built.Image[kKeyMap + 2], 0x04) << "the key map is not rewritten";
  // From one entry to four: the entries the base did not use get their type's default text.
  const TImageBytes one = Build({{"capcode_set", Text("1 Set")}}, base).Image;
  built = Build({{"capcode_set", Text("4 Set")}}, one);
  ASSERT_TRUE(built.Ok());
  values = Read(built.Image);
  EXPECT_TRUE(SameValue(values.at("entries[2].type"), Text("Binary")));
  EXPECT_TRUE(SameValue(values.at("entries[2].text"), Text("1234567890")));
  // A text that no longer fits is refused.
  base = Build({{"capcode_set", Text("4 Set")}, {"entries[0].text", Text(std::string(150, 'y'))}})
             .Image;
  EXPECT_EQ(Refusal({{"capcode_set", Text("8 Set")}}, base).rfind("entries[0].text:", 0), 0u);
}

TEST(ConfigValues, FrequencyIsPlannedAsTheFrequencyBoxPlansIt) {
  // The built-in image describes 155 MHz already (with RF_R 9), which would keep its words.
  const TImageBytes elsewhere = Build({{"frequency_hz", Number(450000000)}}).Image;
  TBuildOutcome built = Build({{"frequency_hz", Number(155000000)}}, elsewhere);
  ASSERT_TRUE(built.Ok()) << built.Errors.at(0);
  EXPECT_EQ(ReadBigEndian32(built.Image.data() + 0), 0x0A28B6u);
  EXPECT_EQ(ReadBigEndian32(built.Image.data() + 4), 0x045CD3u);
  for (std::size_t offset = 8; offset < 0x20; ++offset) {
    if (offset < 0x14 || offset >= 0x18) {
      EXPECT_EQ(built.Image[offset], elsewhere[offset]) << "only R0, R1 and R5 change";
    }
  }

  // RF_P = 1 in the base: the plan divides by 16.
  TImageBytes base = elsewhere;
  base[5] |= 0x40;
  built = Build({{"frequency_hz", TFieldValue::Number("155000000")}}, base);
  ASSERT_TRUE(built.Ok());
  EXPECT_EQ(ReadBigEndian32(built.Image.data() + 0), 0x0528B6u);
  EXPECT_TRUE(SameValue(Read(built.Image).at("frequency_hz"), Number(155000000)));

  // With the registers that describe it, a frequency is stored as the registers say.
  const TImageBytes planned = Build({{"frequency_hz", Number(462500000)}}).Image;
  const auto words = Read(planned);
  built = Build({{"frequency_hz", Number(462500000)},
                 {"registers[0]", words.at("registers[0]")},
                 {"registers[1]", words.at("registers[1]")}});
  ASSERT_TRUE(built.Ok()) << built.Errors.at(0);
  EXPECT_EQ(built.Image, planned);
  const TImageBytes mixed = Build({{"registers[0]", words.at("registers[0]")}}).Image;
  EXPECT_EQ(
      Refusal({{"frequency_hz", Number(450000000)}, {"registers[0]", words.at("registers[0]")}}),
      "frequency_hz: 450000000 Hz disagrees with registers R0, R1 and R5, which describe " +
          Read(mixed).at("frequency_hz").Text +
          " Hz; give the frequency or those registers, not both");
  // A register outside the plan goes with a new frequency.
  built =
      Build({{"frequency_hz", Number(450000000)}, {"registers[3]", TFieldValue::Of("0x123456")}});
  ASSERT_TRUE(built.Ok());
  EXPECT_EQ(ReadBigEndian32(built.Image.data() + 12), 0x123456u);
  EXPECT_EQ(built.Image[12], Default()[12]) << "a word's first byte is no part of its value";
}

TEST(ConfigValues, EqualValuesKeepTheBasesBytes) {
  // A record with bytes after its end, a trigger byte of 5, a header code in a digit record:
  // given as they read, they stay as they are.
  TImageBytes base = Default();
  base[kTriggerEdge] = 5;
  base[0x60 + 20] = 0x77;
  base[0xB0] = 0x04;
  base[kCapcodeRecords + 6 + kCapcodeTypeOffset] = 1;
  TConfigImage image;
  image.Assign(base);
  image.StoreChecksum();
  base = image.Bytes();
  const TBuildOutcome built = Build(AsValues(base), base);
  ASSERT_TRUE(built.Ok()) << built.Errors.at(0);
  EXPECT_EQ(built.Image, base);
  // A value changed rewrites its field only: the entry's record, here.
  const TBuildOutcome changed = Build({{"entries[0].text", Text("New")}}, base);
  ASSERT_TRUE(changed.Ok());
  EXPECT_EQ(changed.Image[0x60 + 20], 0) << "the record is written whole";
  EXPECT_EQ(changed.Image[kTriggerEdge], 5);
  EXPECT_EQ(changed.Image[0xB0], 0x04);
}

// For every table, its values build the same table over it, byte for byte.
TEST(ConfigValues, EveryTablesValuesBuildItBackOverIt) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 1500; ++round) {
    const TImageBytes table = RandomTable(rng);
    const TBuildOutcome built = Build(AsValues(table), table);
    ASSERT_TRUE(built.Ok()) << round << ": " << built.Errors.at(0);
    ASSERT_EQ(built.Image, table) << round;
  }
}

// A configuration built over any base reads back as given, and its values build the same
// configuration over any other base.
TEST(ConfigValues, ConfigurationsBuildOverAnyBase) {
  std::mt19937 rng(77);
  for (int round = 0; round < 400; ++round) {
    const TValues values = RandomConfiguration(rng);
    const TBuildOutcome built = Build(values, RandomTable(rng));
    ASSERT_TRUE(built.Ok()) << round << ": " << built.Errors.at(0);
    const auto read = Read(built.Image);
    for (const TAssignment& value : values)
      ASSERT_TRUE(SameValue(read.at(value.Path), value.Value))
          << round << " " << value.Path << ": " << DescribeValue(read.at(value.Path)) << " for "
          << DescribeValue(value.Value);
    const TBuildOutcome again = Build(AsValues(built.Image), RandomTable(rng));
    ASSERT_TRUE(again.Ok()) << round << ": " << again.Errors.at(0);
    auto expected = read;
    auto found = Read(again.Image);
    for (auto* map : {&expected, &found})
      for (const char* checksum : {"checksum.stored", "checksum.computed"})
        map->erase(checksum);
    for (const auto& [path, value] : expected)
      ASSERT_TRUE(SameValue(found.at(path), value)) << round << " " << path;
    ASSERT_EQ(found.size(), expected.size());
  }
}

// One field changed in any table: only its own bytes (and the checksum) change.
TEST(ConfigValues, OneFieldChangesOnlyItsOwnBytes) {
  std::mt19937 rng(5);
  for (int round = 0; round < 600; ++round) {
    const TImageBytes table = RandomTable(rng);
    const std::vector<TFieldReading> readings = ReadFields(table, TestCodec());
    const std::size_t count = CapcodeCountFromSelector(table[kOptionByte] & 3u);
    TAssignment change;
    switch (rng() % 6) {
    case 0: {
      const TConfigField* field = kGeneralFields[rng() % 3]; // bit rate, polarity, key beep
      change = {field->Name, field->Kind == TFieldKind::CheckBox
                                 ? TFieldValue::Of(rng() % 2 == 0)
                                 : TFieldValue::Of(field->Items[rng() % field->Items.size()])};
      break;
    }
    case 1:
      change = {"repeat_times", Number(1 + rng() % 256)};
      break;
    case 2:
      change = {"pc_command", Text(kPcCommandItems[rng() % 3])};
      break;
    case 3:
      change = {FieldPath(kFieldCapcode, static_cast<int>(rng() % count)),
                Number(8 + rng() % 1000)};
      break;
    case 4:
      change = {FieldPath(kFieldFunction, static_cast<int>(rng() % count)),
                Text(kFunctionItems[rng() % 4])};
      break;
    default:
      change = {FieldPath(kFieldRegister, static_cast<int>(rng() % 8)), Number(rng() & 0xFFFFFF)};
      break;
    }
    const TBuildOutcome built = Build({change}, table);
    ASSERT_TRUE(built.Ok()) << round << " " << change.Path << ": " << built.Errors.at(0);
    ASSERT_TRUE(SameValue(Read(built.Image).at(change.Path), change.Value)) << change.Path;
    const TFieldReading* own = nullptr;
    for (const TFieldReading& reading : readings)
      if (reading.Path == change.Path)
        own = &reading;
    ASSERT_NE(own, nullptr);
    for (std::size_t offset = 0; offset < kChecksum; ++offset) {
      const bool inside = offset >= own->Offset && offset < own->Offset + own->Size;
      const std::uint8_t kept = inside ? static_cast<std::uint8_t>(~own->Mask) : 0xFF;
      ASSERT_EQ(built.Image[offset] & kept, table[offset] & kept)
          << round << " " << change.Path << " at " << offset;
    }
  }
}

} // namespace
