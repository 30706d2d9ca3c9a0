#include "synth/synth_ini.h"

#include "synth/private_profile.h"
#include "synth/register_map.h"

#include <array>
#include <charconv>

namespace {

using S = TSynthRegisters;
constexpr const char* kBitMessage = "This bit is set to 0 or 1 !";

struct TLoadedKey {
  const char* Section;
  const char* Key;
  const char* Default;
  std::int32_t S::*Member;
  std::int64_t Low, High; // accepted range
  const char* Message;
  std::int64_t AltLow, AltHigh; // RF_N and IF_N: the range when the selecting bit is 1
  const char* AltMessage;
};

constexpr std::array<TLoadedKey, 30> kLoadedKeys{{
    {"Reg 1", "RF_P", "0", &S::RF_P, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 0", "RF_N", "54", &S::RF_N, 25, 1023, "25 < RF_N < 1024 !", 49, 2045,
     "49 < RF_N < 2046 !"},
    {"Reg 0", "RF_FN", "360", &S::R0_RF_FN, 0, 4095, " 0 < RF_FN < 4096 !", 0, 0, nullptr},
    {"Reg 1", "RF_PD", "0", &S::RF_PD, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 1", "RF_R", "1", &S::RF_R, 1, 63, " 1 < RF_R < 64 !", 0, 0, nullptr},
    {"Reg 1", "RF_FD", "1188", &S::R1_RF_FD, 0, 4095, "0 < RF_FD < 4096 ", 0, 0, nullptr},
    {"Reg 2", "IF_PD", "1", &S::IF_PD, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 4", "IF_P", "1", &S::IF_P, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 2", "IF_N", "15400", &S::IF_N, 23, 262143, " 23 < IF_N < 262144 !", 47, 524287,
     " 47 < IF_N < 524287!"},
    {"Reg 3", "ACCESS", "1", &S::ACCESS, 1, 15, " 1 < ACCESS < 16!", 0, 0, nullptr},
    {"Reg 3", "RF_CPG", "3", &S::RF_CPG, 0, 15, " 0 < RF_CPG < 16!", 0, 0, nullptr},
    {"Reg 3", "IF_R", "200", &S::IF_R, 3, 4095, " 3 < IF_R < 4096!", 0, 0, nullptr},
    {"Reg 4", "ATPU", "0", &S::ATPU, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 4", "DITH", "1", &S::DITH, 0, 3, "0 < DITH < 4 ", 0, 0, nullptr},
    {"Reg 4", "FM", "3", &S::FM, 0, 3, "0 < FM < 4 ", 0, 0, nullptr},
    {"Reg 4", "OSC_2X", "0", &S::OSC_2X, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 4", "OSC_OUT", "0", &S::OSC_OUT, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 4", "IF_CPP", "1", &S::IF_CPP, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 4", "RF_CPP", "1", &S::RF_CPP, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 4", "MUX", "9", &S::MUX, 0, 15, "0 < MUX < 16 ", 0, 0, nullptr},
    // R5's RF_FD and RF_FN are 10 bits wide: a larger value would not fit the register.
    {"Reg 5", "RF_FD", "0", &S::R5_RF_FD, 0, 1023, "R5 RF_FD must be between 0 and 1023 !", 0, 0,
     nullptr},
    {"Reg 5", "RF_FN", "0", &S::R5_RF_FN, 0, 1023, "R5 RF_FN must be between 0 and 1023 !", 0, 0,
     nullptr},
    {"Reg 6", "CSR", "1", &S::CSR, 0, 3, "0 < CSR < 4 ", 0, 0, nullptr},
    {"Reg 6", "RF_CPF", "11", &S::RF_CPF, 0, 15, "0 < RF_CPF < 16", 0, 0, nullptr},
    {"Reg 6", "RF_TOC", "4", &S::RF_TOC, 0, 16383, "RF_TOC must be between 0 and 16383 !", 0, 0,
     nullptr},
    {"Reg 7", "DIV4", "0", &S::DIV4, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 7", "IF_RST", "1", &S::IF_RST, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 7", "RF_RST", "0", &S::RF_RST, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 7", "IF_CPT", "0", &S::IF_CPT, 0, 1, kBitMessage, 0, 0, nullptr},
    {"Reg 7", "RF_CPT", "0", &S::RF_CPT, 0, 1, kBitMessage, 0, 0, nullptr},
}};

struct TSavedKey {
  const char* Section;
  const char* Key;
  std::int32_t S::*Member;
};

constexpr std::array<TSavedKey, 42> kSavedKeys{{
    {"Reg 0", "RF_N", &S::RF_N},        {"Reg 0", "RF_FN", &S::R0_RF_FN},
    {"Reg 0", "R0_C", &S::R0_C},        {"Reg 1", "RF_FD", &S::R1_RF_FD},
    {"Reg 1", "RF_P", &S::RF_P},        {"Reg 1", "RF_PD", &S::RF_PD},
    {"Reg 1", "RF_R", &S::RF_R},        {"Reg 1", "R1_C", &S::R1_C},
    {"Reg 2", "IF_N", &S::IF_N},        {"Reg 2", "IF_PD", &S::IF_PD},
    {"Reg 2", "R2_C", &S::R2_C},        {"Reg 3", "ACCESS", &S::ACCESS},
    {"Reg 3", "IF_R", &S::IF_R},        {"Reg 3", "RF_CPG", &S::RF_CPG},
    {"Reg 3", "R3_C", &S::R3_C},        {"Reg 4", "ATPU", &S::ATPU},
    {"Reg 4", "DITH", &S::DITH},        {"Reg 4", "Fixed1", &S::R4_Fixed1},
    {"Reg 4", "Fixed2", &S::R4_Fixed2}, {"Reg 4", "FM", &S::FM},
    {"Reg 4", "IF_CPP", &S::IF_CPP},    {"Reg 4", "IF_P", &S::IF_P},
    {"Reg 4", "MUX", &S::MUX},          {"Reg 4", "OSC_2X", &S::OSC_2X},
    {"Reg 4", "OSC_OUT", &S::OSC_OUT},  {"Reg 4", "RF_CPP", &S::RF_CPP},
    {"Reg 4", "R4_C", &S::R4_C},        {"Reg 5", "RF_FD", &S::R5_RF_FD},
    {"Reg 5", "RF_FN", &S::R5_RF_FN},   {"Reg 5", "R5_C", &S::R5_C},
    {"Reg 6", "CSR", &S::CSR},          {"Reg 6", "RF_CPF", &S::RF_CPF},
    {"Reg 6", "RF_TOC", &S::RF_TOC},    {"Reg 6", "R6_C", &S::R6_C},
    {"Reg 7", "DIV4", &S::DIV4},        {"Reg 7", "Fixed1", &S::R7_Fixed1},
    {"Reg 7", "Fixed2", &S::R7_Fixed2}, {"Reg 7", "IF_CPT", &S::IF_CPT},
    {"Reg 7", "IF_RST", &S::IF_RST},    {"Reg 7", "RF_CPT", &S::RF_CPT},
    {"Reg 7", "RF_RST", &S::RF_RST},    {"Reg 7", "R7_C", &S::R7_C},
}};

// A decimal integer, optionally signed, and nothing else.
bool ParseDecimal(const std::string& text, std::int64_t& value) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+')
    ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last && first != last;
}

} // namespace

TIniLoad LoadSynthIni(TSynthRegisters& synth, const std::filesystem::path& path,
                      const std::function<void(const std::string&)>& tell) {
  const TPrivateProfile profile(path);
  for (const TLoadedKey& key : kLoadedKeys) {
    // The buffer the values were read into held 259 characters.
    const std::string text = profile.GetString(key.Section, key.Key, key.Default).substr(0, 259);
    if (text.empty()) {
      tell(std::string("Get ") + key.Key + " Failed!\nDefault=" + key.Default);
      return TIniLoad::EmptyValue;
    }
    std::int64_t value = 0;
    if (!ParseDecimal(text, value)) {
      tell(std::string("\"") + text + "\" is not a decimal number: " + key.Key + " in [" +
           key.Section + "] of " + kSynthIniName +
           ". Loading stopped; this and the following settings keep their values.");
      return TIniLoad::NotANumber;
    }
    // RF_N's range follows the RF_P just loaded, IF_N's the IF_P just loaded.
    bool alternate = false;
    if (key.AltMessage)
      alternate = (key.Member == &S::RF_N ? synth.RF_P : synth.IF_P) == 1;
    const std::int64_t low = alternate ? key.AltLow : key.Low;
    const std::int64_t high = alternate ? key.AltHigh : key.High;
    if (value < low || value > high) {
      tell(alternate ? key.AltMessage : key.Message);
      return TIniLoad::OutOfRange;
    }
    synth.*key.Member = static_cast<std::int32_t>(value);
    if (key.Member == &S::RF_P)
      synth.PrescalerModulus = PrescalerModulusOf(synth.RF_P);
  }
  return TIniLoad::Complete;
}

bool SaveSynthIni(const TSynthRegisters& synth, const std::filesystem::path& path) {
  TPrivateProfile profile(path);
  for (const TSavedKey& key : kSavedKeys)
    profile.WriteString(key.Section, key.Key, std::to_string(synth.*key.Member));
  return profile.Save();
}
