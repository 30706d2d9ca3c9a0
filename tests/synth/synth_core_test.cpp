#include "synth/frequency_plan.h"
#include "synth/private_profile.h"
#include "synth/register_map.h"
#include "synth/synth_ini.h"

#include "portable.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class SynthIni : public ::testing::Test {
protected:
  void SetUp() override {
    dir = MakeTemporaryFolder("kx470-synth");
    ini = dir / kSynthIniName;
  }
  void TearDown() override { fs::remove_all(dir); }
  void WriteIni(const std::string& text) { std::ofstream(ini, std::ios::binary) << text; }
  std::string ReadIni() {
    std::ifstream in(ini, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  TIniLoad Load(TSynthRegisters& synth) {
    messages.clear();
    return LoadSynthIni(synth, ini, [this](const std::string& m) { messages.push_back(m); });
  }
  fs::path dir, ini;
  std::vector<std::string> messages;
};

std::uint32_t Word(const TConfigImage& image, int r) {
  return image.ReadU32(kRegisterWords + 4u * static_cast<unsigned>(r));
}

} // namespace

TEST(RegisterMap, DefaultImageUnpacksToTheDocumentedFieldsAndPacksBack) {
  const TConfigImage original;
  TConfigImage image;
  TSynthRegisters synth;
  synth.RF_N = synth.R0_RF_FN = synth.RF_R = synth.IF_N = -1;
  UnpackRegisters(synth, image);
  EXPECT_EQ(synth.RF_N, 181);
  EXPECT_EQ(synth.R0_RF_FN, 620);
  EXPECT_EQ(synth.RF_R, 9);
  EXPECT_EQ(synth.R1_RF_FD, 660);
  EXPECT_EQ(synth.R1_C, 3);
  EXPECT_EQ(synth.IF_N, 20000);
  EXPECT_EQ(synth.ACCESS, 15);
  EXPECT_EQ(synth.IF_R, 594);
  EXPECT_EQ(synth.R4_Fixed1, 1);
  EXPECT_EQ(synth.DITH, 2);
  EXPECT_EQ(synth.OSC_OUT, 1);
  EXPECT_EQ(synth.IF_P, 1);
  EXPECT_EQ(synth.MUX, 1);
  EXPECT_EQ(synth.R5_C, 11);
  EXPECT_EQ(synth.RF_CPF, 15);
  EXPECT_EQ(synth.R6_C, 13);
  EXPECT_EQ(synth.R7_Fixed2, 9);
  EXPECT_EQ(synth.R7_C, 15);
  PackRegisters(synth, image);
  EXPECT_TRUE(std::equal(image.Data(), image.Data() + 32, original.Data()));
}

TEST(RegisterMap, UnpackThenPackClearsUnmappedBits) {
  TConfigImage image;
  image[0x10] = 0x7F;        // byte 0 of R4 holds garbage
  image[0x11] = 0x22 | 0x1C; // R4 bits 20..18 set
  TSynthRegisters synth;
  UnpackRegisters(synth, image);
  PackRegisters(synth, image);
  EXPECT_EQ(image[0x10], 0x00);
  EXPECT_EQ(Word(image, 4), 0x220919u);
  EXPECT_EQ(synth.Packed[4], 0x220919);
}

TEST(RegisterMap, WideValuesNeverReachANeighbouringField) {
  TConfigImage image;
  TSynthRegisters synth;
  UnpackRegisters(synth, image);
  synth.R5_RF_FN = 4095; // the INI refuses these; packing masks them all the same
  synth.R5_RF_FD = 4095;
  PackRegisters(synth, image);
  EXPECT_EQ(Word(image, 5), (1023u << 14) | (1023u << 4) | 11u) << "R5_C keeps its value";
  EXPECT_EQ(image[0x14], 0x00);
}

TEST(RegisterMap, EveryFieldRoundTripsAlone) {
  for (const TRegisterField& field : kRegisterFields) {
    TSynthRegisters synth;
    TConfigImage image;
    UnpackRegisters(synth, image);
    const std::int32_t top = (1 << field.Width) - 1;
    synth.*field.Member = top;
    PackRegisters(synth, image);
    TSynthRegisters back;
    UnpackRegisters(back, image);
    EXPECT_EQ(back.*field.Member, top) << field.Name << " of R" << field.Register;
  }
}

// The INI file's two orders come from the places the register map gives each field.
TEST(RegisterMap, IniOrdersFollowTheTable) {
  const char* const load[30] = {
      "1 RF_P",    "0 RF_N",   "0 RF_FN",  "1 RF_PD",  "1 RF_R",   "1 RF_FD", "2 IF_PD", "4 IF_P",
      "2 IF_N",    "3 ACCESS", "3 RF_CPG", "3 IF_R",   "4 ATPU",   "4 DITH",  "4 FM",    "4 OSC_2X",
      "4 OSC_OUT", "4 IF_CPP", "4 RF_CPP", "4 MUX",    "5 RF_FD",  "5 RF_FN", "6 CSR",   "6 RF_CPF",
      "6 RF_TOC",  "7 DIV4",   "7 IF_RST", "7 RF_RST", "7 IF_CPT", "7 RF_CPT"};
  for (std::size_t i = 0; i < 30; ++i) {
    const TRegisterField* field = IniLoadOrder()[i];
    ASSERT_NE(field, nullptr) << i;
    EXPECT_EQ(std::to_string(field->Register) + " " + field->Name, load[i]) << i;
    EXPECT_NE(field->Default, nullptr) << field->Name;
    EXPECT_EQ(IniSection(*field), "Reg " + std::to_string(field->Register));
  }
  const std::string save =
      "0:RF_N,RF_FN,R0_C 1:RF_FD,RF_P,RF_PD,RF_R,R1_C 2:IF_N,IF_PD,R2_C 3:ACCESS,IF_R,RF_CPG,R3_C "
      "4:ATPU,DITH,Fixed1,Fixed2,FM,IF_CPP,IF_P,MUX,OSC_2X,OSC_OUT,RF_CPP,R4_C 5:RF_FD,RF_FN,R5_C "
      "6:CSR,RF_CPF,RF_TOC,R6_C 7:DIV4,Fixed1,Fixed2,IF_CPT,IF_RST,RF_CPT,RF_RST,R7_C";
  std::string written;
  int section = -1;
  for (const TRegisterField* field : IniSaveOrder()) {
    ASSERT_NE(field, nullptr);
    if (field->Register != section) {
      EXPECT_EQ(field->Register, section + 1) << "sections are written Reg 0 to Reg 7";
      section = field->Register;
      if (!written.empty())
        written += ' ';
      written += std::to_string(section);
      written += ':';
    } else {
      written += ",";
    }
    written += field->Name;
  }
  EXPECT_EQ(written, save);
  // Every field is saved; exactly the 30 loaded ones have a default and a range message.
  int loaded = 0;
  for (const TRegisterField& field : kRegisterFields) {
    EXPECT_GE(field.SaveOrder, 1) << field.Name;
    if (field.LoadOrder == 0) {
      EXPECT_EQ(field.Default, nullptr) << field.Name;
      continue;
    }
    ++loaded;
    EXPECT_NE(field.RangeMessage, nullptr) << field.Name;
    EXPECT_LE(field.Low, field.High) << field.Name;
    EXPECT_LE(field.High, (std::int64_t{1} << field.Width) - 1)
        << field.Name << ": loading accepts only what the field can hold";
  }
  EXPECT_EQ(loaded, 30);
}

TEST(Frequency, DisplayOfTheDefaultImageAndOfTheIniDefaults) {
  TSynthRegisters synth;
  TConfigImage image;
  UnpackRegisters(synth, image);
  EXPECT_EQ(DisplayedFrequency(synth), 155000000);
  synth.RF_N = 54;
  synth.RF_R = 1;
  synth.R0_RF_FN = 360;
  synth.RF_P = 0;
  EXPECT_EQ(DisplayedFrequency(synth), 446400000);
  EXPECT_EQ(FrequencyText(155000000), "155000000");
  EXPECT_EQ(FrequencyText(5), "000000005");
}

TEST(Frequency, PlanningTheWorkedExamples) {
  TSynthRegisters synth;
  TConfigImage image;
  UnpackRegisters(synth, image);
  PlanFrequency(synth, 155000000);
  EXPECT_EQ(synth.RF_N, 81);
  EXPECT_EQ(synth.R0_RF_FN, 1115);
  EXPECT_EQ(synth.RF_R, 4);
  EXPECT_EQ(synth.R1_RF_FD, 1485);
  EXPECT_EQ(synth.R5_RF_FN, 0);
  EXPECT_EQ(synth.R5_RF_FD, 0);
  PackRegisters(synth, image);
  EXPECT_EQ(Word(image, 0), 0x0A28B6u);
  EXPECT_EQ(Word(image, 1), 0x045CD3u);
  EXPECT_EQ(DisplayedFrequency(synth), 155000000);

  synth.RF_P = 1;
  PlanFrequency(synth, 155000000);
  EXPECT_EQ(synth.RF_N, 41);
  PackRegisters(synth, image);
  EXPECT_EQ(Word(image, 0), 0x0528B6u);
  EXPECT_EQ(DisplayedFrequency(synth), 155000000) << "shown back with P = 16";

  synth.RF_P = 0;
  PlanFrequency(synth, 450000000);
  EXPECT_EQ(synth.RF_N, 241);
  EXPECT_EQ(synth.R0_RF_FN, 315);
}

TEST(Frequency, EveryChannelOfBothBandsIsShownBack) {
  TSynthRegisters synth;
  for (int p = 0; p <= 1; ++p) {
    synth.RF_P = p;
    for (std::uint32_t f :
         {135000000u, 155002500u, 175000000u, 430000000u, 462500000u, 470000000u}) {
      PlanFrequency(synth, f);
      EXPECT_EQ(DisplayedFrequency(synth), static_cast<std::int32_t>(f)) << f << " P" << p;
    }
  }
}

TEST(Frequency, ChecksBandsFirstThenChannelSpacing) {
  std::uint32_t hz = 0;
  EXPECT_EQ(CheckFrequency("135000000", hz), TFrequencyCheck::Accepted);
  EXPECT_EQ(CheckFrequency("175000000", hz), TFrequencyCheck::Accepted);
  EXPECT_EQ(CheckFrequency("430000000", hz), TFrequencyCheck::Accepted);
  EXPECT_EQ(CheckFrequency("470000000", hz), TFrequencyCheck::Accepted);
  EXPECT_EQ(hz, 470000000u);
  EXPECT_EQ(CheckFrequency("134997500", hz), TFrequencyCheck::OutOfBand);
  EXPECT_EQ(CheckFrequency("175002500", hz), TFrequencyCheck::OutOfBand);
  EXPECT_EQ(CheckFrequency("300000000", hz), TFrequencyCheck::OutOfBand);
  EXPECT_EQ(CheckFrequency("999999999", hz), TFrequencyCheck::OutOfBand);
  EXPECT_EQ(CheckFrequency("300001000", hz), TFrequencyCheck::OutOfBand);
  EXPECT_EQ(CheckFrequency("155001000", hz), TFrequencyCheck::OffChannel);
  EXPECT_EQ(CheckFrequency("155002500", hz), TFrequencyCheck::Accepted);
  EXPECT_EQ(CheckFrequency("", hz), TFrequencyCheck::Empty);
  EXPECT_EQ(CheckFrequency("15500abc", hz), TFrequencyCheck::NotANumber);
  EXPECT_EQ(CheckFrequency("0x9000000", hz), TFrequencyCheck::NotANumber);
  EXPECT_EQ(CheckFrequency(" ", hz), TFrequencyCheck::NotANumber);
}

TEST(Frequency, ZeroReferenceDividerNeverCrashes) {
  TSynthRegisters synth;
  synth.RF_R = 0;
  EXPECT_EQ(DisplayedFrequency(synth), 0);
}

TEST(Frequency, ProductsWrapInThirtyTwoBits) {
  TSynthRegisters synth;
  synth.RF_R = 1;
  synth.RF_P = 1;
  synth.RF_N = 2047; // B 127, A 15: N = 2047
  synth.R0_RF_FN = 4095;
  synth.R5_RF_FN = 1023;
  const std::int64_t exact = 14850000LL * 2047 + 2500LL * (1023LL * 4096 + 4095);
  EXPECT_EQ(DisplayedFrequency(synth),
            static_cast<std::int32_t>(static_cast<std::uint32_t>(exact)));
}

TEST_F(SynthIni, NoFileGivesTheDefaults) {
  TSynthRegisters synth;
  EXPECT_EQ(Load(synth), TIniLoad::Complete);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(synth.RF_N, 54);
  EXPECT_EQ(synth.R0_RF_FN, 360);
  EXPECT_EQ(synth.RF_R, 1);
  EXPECT_EQ(synth.R1_RF_FD, 1188);
  EXPECT_EQ(synth.IF_N, 15400);
  EXPECT_EQ(synth.RF_TOC, 4);
  TConfigImage image;
  PackRegisters(synth, image);
  EXPECT_EQ(Word(image, 0), 0x06C2D0u);
  EXPECT_EQ(Word(image, 1), 0x014A43u);
  EXPECT_EQ(DisplayedFrequency(synth), 446400000);
}

TEST_F(SynthIni, RfNRangeFollowsRfP) {
  TSynthRegisters synth;
  WriteIni("[Reg 0]\nRF_N=25\n");
  EXPECT_EQ(Load(synth), TIniLoad::Complete);
  EXPECT_EQ(synth.RF_N, 25);
  for (const char* bad : {"24", "1024"}) {
    WriteIni(std::string("[Reg 0]\nRF_N=") + bad + "\n");
    synth.RF_N = 7;
    EXPECT_EQ(Load(synth), TIniLoad::OutOfRange);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "25 < RF_N < 1024 !");
    EXPECT_EQ(synth.RF_N, 7);
    EXPECT_EQ(synth.RF_P, 0) << "RF_P, read before, took its value";
  }
  for (const char* good : {"49", "2045"}) {
    WriteIni(std::string("[Reg 1]\nRF_P=1\n[Reg 0]\nRF_N=") + good + "\n");
    EXPECT_EQ(Load(synth), TIniLoad::Complete);
    EXPECT_EQ(synth.RF_N, std::stoi(good));
    EXPECT_EQ(synth.PrescalerModulus, 16);
  }
  for (const char* bad : {"48", "2046"}) {
    WriteIni(std::string("[Reg 1]\nRF_P=1\n[Reg 0]\nRF_N=") + bad + "\n");
    EXPECT_EQ(Load(synth), TIniLoad::OutOfRange);
    EXPECT_EQ(messages.at(0), "49 < RF_N < 2046 !");
  }
}

TEST_F(SynthIni, BadRfPLoadsNothing) {
  TSynthRegisters synth;
  synth.PrescalerModulus = 8;
  const TSynthRegisters before = synth;
  WriteIni("[Reg 1]\nRF_P=2\n[Reg 0]\nRF_N=100\n");
  EXPECT_EQ(Load(synth), TIniLoad::OutOfRange);
  EXPECT_EQ(messages.at(0), "This bit is set to 0 or 1 !");
  EXPECT_EQ(synth.RF_P, before.RF_P);
  EXPECT_EQ(synth.RF_N, before.RF_N);
  EXPECT_EQ(synth.PrescalerModulus, 8);
}

TEST_F(SynthIni, EmptyValueStopsTheLoadWithItsDefault) {
  TSynthRegisters synth;
  synth.IF_N = 1234;
  synth.RF_TOC = 99;
  WriteIni("[reg 4]\nif_p = 0\n[Reg 2]\nIF_N=\n");
  EXPECT_EQ(Load(synth), TIniLoad::EmptyValue);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Get IF_N Failed!\nDefault=15400");
  EXPECT_EQ(synth.IF_P, 0) << "sections and keys match without regard to case";
  EXPECT_EQ(synth.IF_N, 1234);
  EXPECT_EQ(synth.RF_TOC, 99) << "nothing after the empty key is read";
}

TEST_F(SynthIni, IfNRangeFollowsIfP) {
  TSynthRegisters synth;
  WriteIni("[Reg 4]\nIF_P=0\n[Reg 2]\nIF_N=262144\n");
  EXPECT_EQ(Load(synth), TIniLoad::OutOfRange);
  EXPECT_EQ(messages.at(0), " 23 < IF_N < 262144 !");
  WriteIni("[Reg 2]\nIF_N=524287\n");
  EXPECT_EQ(Load(synth), TIniLoad::Complete);
  EXPECT_EQ(synth.IF_N, 524287);
}

TEST_F(SynthIni, TextThatIsNoNumberStopsTheLoadWithAMessage) {
  TSynthRegisters synth;
  synth.ACCESS = 9;
  WriteIni("[Reg 3]\nACCESS=  1x \n");
  EXPECT_EQ(Load(synth), TIniLoad::NotANumber);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("ACCESS"), std::string::npos);
  EXPECT_NE(messages[0].find("\"1x\""), std::string::npos) << "values are trimmed";
  EXPECT_EQ(synth.ACCESS, 9);
}

TEST_F(SynthIni, RfTocRangeMessageStatesTheRange) {
  TSynthRegisters synth;
  WriteIni("[Reg 6]\nRF_TOC=16384\n");
  EXPECT_EQ(Load(synth), TIniLoad::OutOfRange);
  EXPECT_NE(messages.at(0).find("0"), std::string::npos);
  EXPECT_NE(messages.at(0).find("16383"), std::string::npos);
}

TEST_F(SynthIni, R5FractionFieldsAcceptTenBitsOnly) {
  // Section Reg 5 comes after Reg 4's MUX in the load order and before Reg 6's CSR.
  for (const char* key : {"RF_FD", "RF_FN"}) {
    TSynthRegisters synth;
    WriteIni(std::string("[Reg 5]\n") + key + "=1023\n");
    EXPECT_EQ(Load(synth), TIniLoad::Complete) << key;
    EXPECT_EQ(std::string(key) == "RF_FD" ? synth.R5_RF_FD : synth.R5_RF_FN, 1023) << key;

    synth.R5_RF_FD = synth.R5_RF_FN = 5;
    synth.CSR = 2;
    WriteIni(std::string("[Reg 5]\n") + key + "=1024\n[Reg 6]\nCSR=1\n");
    EXPECT_EQ(Load(synth), TIniLoad::OutOfRange) << key;
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], std::string("R5 ") + key + " must be between 0 and 1023 !");
    EXPECT_EQ(std::string(key) == "RF_FD" ? synth.R5_RF_FD : synth.R5_RF_FN, 5)
        << "refused, not masked to 0";
    EXPECT_EQ(synth.CSR, 2) << "loading stopped at the bad value";
  }
  TSynthRegisters synth;
  WriteIni("[Reg 1]\nRF_FD=4095\n");
  EXPECT_EQ(Load(synth), TIniLoad::Complete) << "R1's RF_FD keeps its 12 bits";
}

TEST_F(SynthIni, UnloadedKeysHaveNoEffect) {
  TSynthRegisters synth;
  WriteIni("[Reg 0]\nR0_C=1\n[Reg 4]\nFixed1=3\nFixed2=1\n");
  EXPECT_EQ(Load(synth), TIniLoad::Complete);
  EXPECT_EQ(synth.R0_C, 0);
  EXPECT_EQ(synth.R4_Fixed1, 1);
  EXPECT_EQ(synth.R4_Fixed2, 0);
}

TEST_F(SynthIni, SaveWritesAllKeysInOrderAndLoadReadsThemBack) {
  TSynthRegisters synth;
  synth.RF_N = 300;
  synth.RF_TOC = 200;
  ASSERT_TRUE(SaveSynthIni(synth, ini));
  const std::string text = ReadIni();
  EXPECT_EQ(text.find("[Reg 0]\r\nRF_N=300\r\nRF_FN=620\r\nR0_C=0\r\n"), 0u);
  EXPECT_NE(text.find("[Reg 1]\r\nRF_FD=660\r\nRF_P=0\r\nRF_PD=0\r\nRF_R=9\r\nR1_C=3\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("[Reg 7]\r\nDIV4=0\r\nFixed1=0\r\nFixed2=9\r\nIF_CPT=0\r\nIF_RST=0\r\n"
                      "RF_CPT=0\r\nRF_RST=0\r\nR7_C=15\r\n"),
            std::string::npos);
  std::size_t keys = 0;
  for (std::size_t at = text.find('='); at != std::string::npos; at = text.find('=', at + 1))
    ++keys;
  EXPECT_EQ(keys, 42u);
  TSynthRegisters back;
  EXPECT_EQ(Load(back), TIniLoad::Complete);
  EXPECT_EQ(back.RF_N, 300);
  EXPECT_EQ(back.RF_TOC, 200);
}

TEST_F(SynthIni, SaveKeepsForeignSectionsKeysAndComments) {
  WriteIni("; site settings\n[Operator]\nname = Bench 3\n\n[reg 0]\nrf_n=60\nNote=keep me\n\n"
           "[Reg 9]\nX=1\n");
  TSynthRegisters synth;
  synth.RF_N = 70;
  ASSERT_TRUE(SaveSynthIni(synth, ini));
  const std::string text = ReadIni();
  EXPECT_EQ(text.find("; site settings\r\n[Operator]\r\nname = Bench 3\r\n"), 0u);
  EXPECT_NE(text.find("[reg 0]\r\nrf_n=70\r\nNote=keep me\r\nRF_FN=620\r\nR0_C=0\r\n"),
            std::string::npos)
      << "in-place replacement, new keys at the end of their section";
  EXPECT_NE(text.find("[Reg 9]\r\nX=1\r\n"), std::string::npos);
  EXPECT_EQ(text.find("[Reg 0]"), std::string::npos) << "the section is not written twice";
}

TEST_F(SynthIni, AFailedSaveLeavesTheFileAlone) {
  WriteIni("[Reg 0]\nRF_N=60\n");
  TSynthRegisters synth;
  EXPECT_FALSE(SaveSynthIni(synth, dir / "missing" / kSynthIniName));
  EXPECT_EQ(ReadIni(), "[Reg 0]\nRF_N=60\n");
}

TEST(PrivateProfile, MissingEmptyAndTrimmedValues) {
  const fs::path dir = MakeTemporaryFolder("kx470-profile");
  std::ofstream(dir / "p.ini") << "[A]\r\nkey =  value  \r\nempty=\r\n[B]\nkey=other\n";
  const TPrivateProfile profile(dir / "p.ini");
  EXPECT_EQ(profile.GetString("a", "KEY", "d"), "value");
  EXPECT_EQ(profile.GetString("A", "empty", "d"), "");
  EXPECT_EQ(profile.GetString("A", "absent", "d"), "d");
  EXPECT_EQ(profile.GetString("C", "key", "d"), "d");
  EXPECT_EQ(profile.GetString("B", "key", "d"), "other");
  EXPECT_EQ(TPrivateProfile(dir / "none.ini").GetString("A", "key", "x"), "x");
  fs::remove_all(dir);
}
