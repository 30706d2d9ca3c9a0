#include "synth/synth_ini.h"

#include "synth/private_profile.h"
#include "synth/register_map.h"

#include <charconv>

namespace {

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
  for (const TRegisterField* key : IniLoadOrder()) {
    const std::string section = IniSection(*key);
    // The buffer the values were read into held 259 characters.
    const std::string text = profile.GetString(section, key->Name, key->Default).substr(0, 259);
    if (text.empty()) {
      tell(std::string("Get ") + key->Name + " Failed!\nDefault=" + key->Default);
      return TIniLoad::EmptyValue;
    }
    std::int64_t value = 0;
    if (!ParseDecimal(text, value)) {
      tell(std::string("\"") + text + "\" is not a decimal number: " + key->Name + " in [" +
           section + "] of " + kSynthIniName +
           ". Loading stopped; this and the following settings keep their values.");
      return TIniLoad::NotANumber;
    }
    // RF_N's range follows the RF_P just loaded, IF_N's the IF_P just loaded.
    const bool alternate = key->RangeSelector && synth.*key->RangeSelector == 1;
    const std::int64_t low = alternate ? key->AltLow : key->Low;
    const std::int64_t high = alternate ? key->AltHigh : key->High;
    if (value < low || value > high) {
      tell(alternate ? key->AltMessage : key->RangeMessage);
      return TIniLoad::OutOfRange;
    }
    synth.*key->Member = static_cast<std::int32_t>(value);
    if (key->Member == &TSynthRegisters::RF_P)
      synth.PrescalerModulus = PrescalerModulusOf(synth.RF_P);
  }
  return TIniLoad::Complete;
}

bool SaveSynthIni(const TSynthRegisters& synth, const std::filesystem::path& path) {
  TPrivateProfile profile(path);
  for (const TRegisterField* key : IniSaveOrder())
    profile.WriteString(IniSection(*key), key->Name, std::to_string(synth.*key->Member));
  return profile.Save();
}
