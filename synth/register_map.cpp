#include "synth/register_map.h"

#include <algorithm>

using S = TSynthRegisters;

namespace {

constexpr const char* kBitMessage = "This bit is set to 0 or 1 !";

// A field the INI file keeps but never reads: the control bits and the fixed fields.
constexpr TRegisterField Kept(const char* name, int reg, int low, int width,
                              std::int32_t S::*member, int save) {
  return {name, reg, low, width, member, save, 0, nullptr, 0, 0, nullptr, nullptr, 0, 0, nullptr};
}

constexpr TRegisterField Loaded(const char* name, int reg, int low, int width,
                                std::int32_t S::*member, int save, int load, const char* fallback,
                                std::int64_t accepted, std::int64_t upTo, const char* message) {
  return {name,     reg,  low,     width,   member, save, load,   fallback,
          accepted, upTo, message, nullptr, 0,      0,    nullptr};
}

constexpr TRegisterField Ranged(TRegisterField field, std::int32_t S::*selector,
                                std::int64_t accepted, std::int64_t upTo, const char* message) {
  field.RangeSelector = selector;
  field.AltLow = accepted;
  field.AltHigh = upTo;
  field.AltMessage = message;
  return field;
}

} // namespace

// Name, register, lowest bit, width, member; the place in the INI save and load; the INI
// default, the range loading accepts and the message a value outside it gets.
const std::array<TRegisterField, 42> kRegisterFields{{
    Ranged(Loaded("RF_N", 0, 13, 11, &S::RF_N, 1, 2, "54", 25, 1023, "25 < RF_N < 1024 !"),
           &S::RF_P, 49, 2045, "49 < RF_N < 2046 !"),
    Loaded("RF_FN", 0, 1, 12, &S::R0_RF_FN, 2, 3, "360", 0, 4095, " 0 < RF_FN < 4096 !"),
    Kept("R0_C", 0, 0, 1, &S::R0_C, 3),
    Loaded("RF_PD", 1, 23, 1, &S::RF_PD, 6, 4, "0", 0, 1, kBitMessage),
    Loaded("RF_P", 1, 22, 1, &S::RF_P, 5, 1, "0", 0, 1, kBitMessage),
    Loaded("RF_R", 1, 16, 6, &S::RF_R, 7, 5, "1", 1, 63, " 1 < RF_R < 64 !"),
    Loaded("RF_FD", 1, 4, 12, &S::R1_RF_FD, 4, 6, "1188", 0, 4095, "0 < RF_FD < 4096 "),
    Kept("R1_C", 1, 0, 4, &S::R1_C, 8),
    Loaded("IF_PD", 2, 23, 1, &S::IF_PD, 10, 7, "1", 0, 1, kBitMessage),
    Ranged(Loaded("IF_N", 2, 4, 19, &S::IF_N, 9, 9, "15400", 23, 262143, " 23 < IF_N < 262144 !"),
           &S::IF_P, 47, 524287, " 47 < IF_N < 524287!"),
    Kept("R2_C", 2, 0, 4, &S::R2_C, 11),
    Loaded("ACCESS", 3, 20, 4, &S::ACCESS, 12, 10, "1", 1, 15, " 1 < ACCESS < 16!"),
    Loaded("RF_CPG", 3, 16, 4, &S::RF_CPG, 14, 11, "3", 0, 15, " 0 < RF_CPG < 16!"),
    Loaded("IF_R", 3, 4, 12, &S::IF_R, 13, 12, "200", 3, 4095, " 3 < IF_R < 4096!"),
    Kept("R3_C", 3, 0, 4, &S::R3_C, 15),
    Loaded("ATPU", 4, 23, 1, &S::ATPU, 16, 13, "0", 0, 1, kBitMessage),
    Kept("Fixed1", 4, 21, 2, &S::R4_Fixed1, 18),
    Loaded("DITH", 4, 16, 2, &S::DITH, 17, 14, "1", 0, 3, "0 < DITH < 4 "),
    Loaded("FM", 4, 14, 2, &S::FM, 20, 15, "3", 0, 3, "0 < FM < 4 "),
    Kept("Fixed2", 4, 13, 1, &S::R4_Fixed2, 19),
    Loaded("OSC_2X", 4, 12, 1, &S::OSC_2X, 24, 16, "0", 0, 1, kBitMessage),
    Loaded("OSC_OUT", 4, 11, 1, &S::OSC_OUT, 25, 17, "0", 0, 1, kBitMessage),
    Loaded("IF_CPP", 4, 10, 1, &S::IF_CPP, 21, 18, "1", 0, 1, kBitMessage),
    Loaded("RF_CPP", 4, 9, 1, &S::RF_CPP, 26, 19, "1", 0, 1, kBitMessage),
    Loaded("IF_P", 4, 8, 1, &S::IF_P, 22, 8, "1", 0, 1, kBitMessage),
    Loaded("MUX", 4, 4, 4, &S::MUX, 23, 20, "9", 0, 15, "0 < MUX < 16 "),
    Kept("R4_C", 4, 0, 4, &S::R4_C, 27),
    // R5's RF_FD and RF_FN are 10 bits wide: a larger value would not fit the register.
    Loaded("RF_FD", 5, 14, 10, &S::R5_RF_FD, 28, 21, "0", 0, 1023,
           "R5 RF_FD must be between 0 and 1023 !"),
    Loaded("RF_FN", 5, 4, 10, &S::R5_RF_FN, 29, 22, "0", 0, 1023,
           "R5 RF_FN must be between 0 and 1023 !"),
    Kept("R5_C", 5, 0, 4, &S::R5_C, 30),
    Loaded("CSR", 6, 22, 2, &S::CSR, 31, 23, "1", 0, 3, "0 < CSR < 4 "),
    Loaded("RF_CPF", 6, 18, 4, &S::RF_CPF, 32, 24, "11", 0, 15, "0 < RF_CPF < 16"),
    Loaded("RF_TOC", 6, 4, 14, &S::RF_TOC, 33, 25, "4", 0, 16383,
           "RF_TOC must be between 0 and 16383 !"),
    Kept("R6_C", 6, 0, 4, &S::R6_C, 34),
    Kept("Fixed1", 7, 14, 10, &S::R7_Fixed1, 36),
    Loaded("DIV4", 7, 13, 1, &S::DIV4, 35, 26, "0", 0, 1, kBitMessage),
    Kept("Fixed2", 7, 8, 5, &S::R7_Fixed2, 37),
    Loaded("IF_RST", 7, 7, 1, &S::IF_RST, 39, 27, "1", 0, 1, kBitMessage),
    Loaded("RF_RST", 7, 6, 1, &S::RF_RST, 41, 28, "0", 0, 1, kBitMessage),
    Loaded("IF_CPT", 7, 5, 1, &S::IF_CPT, 38, 29, "0", 0, 1, kBitMessage),
    Loaded("RF_CPT", 7, 4, 1, &S::RF_CPT, 40, 30, "0", 0, 1, kBitMessage),
    Kept("R7_C", 7, 0, 4, &S::R7_C, 42),
}};

namespace {

// The fields ordered by one of their places; fields without a place (0) are left out.
template <std::size_t N> std::array<const TRegisterField*, N> Ordered(int TRegisterField::*place) {
  std::array<const TRegisterField*, N> ordered{};
  std::size_t count = 0;
  for (const TRegisterField& field : kRegisterFields)
    if (field.*place > 0 && count < N)
      ordered[count++] = &field;
  std::sort(
      ordered.begin(), ordered.begin() + static_cast<std::ptrdiff_t>(count),
      [place](const TRegisterField* a, const TRegisterField* b) { return a->*place < b->*place; });
  return ordered;
}

} // namespace

const std::array<const TRegisterField*, 30>& IniLoadOrder() {
  static const auto order = Ordered<30>(&TRegisterField::LoadOrder);
  return order;
}

const std::array<const TRegisterField*, 42>& IniSaveOrder() {
  static const auto order = Ordered<42>(&TRegisterField::SaveOrder);
  return order;
}

std::string IniSection(const TRegisterField& field) {
  return "Reg " + std::to_string(field.Register);
}

void PackRegisters(TSynthRegisters& synth, TConfigImage& image) {
  std::array<std::uint32_t, kRegisterCount> packed{};
  for (const TRegisterField& field : kRegisterFields) {
    const std::uint32_t mask = (1u << field.Width) - 1u;
    packed[static_cast<std::size_t>(field.Register)] |=
        (static_cast<std::uint32_t>(synth.*field.Member) & mask) << field.LowBit;
  }
  for (int r = 0; r < kRegisterCount; ++r) {
    const std::uint32_t value = packed[static_cast<std::size_t>(r)] & 0xFFFFFFu;
    synth.Packed[static_cast<std::size_t>(r)] = static_cast<std::int32_t>(value);
    image.WriteU32(kRegisterWords + kRegisterWordSize * static_cast<std::size_t>(r), value);
  }
}

void UnpackRegisters(TSynthRegisters& synth, const TConfigImage& image) {
  for (int r = 0; r < kRegisterCount; ++r) {
    const std::size_t word = kRegisterWords + kRegisterWordSize * static_cast<std::size_t>(r);
    synth.Packed[static_cast<std::size_t>(r)] =
        static_cast<std::int32_t>(image.ReadU32(word) & 0xFFFFFFu);
  }
  for (const TRegisterField& field : kRegisterFields) {
    const std::uint32_t value =
        static_cast<std::uint32_t>(synth.Packed[static_cast<std::size_t>(field.Register)]);
    synth.*field.Member =
        static_cast<std::int32_t>((value >> field.LowBit) & ((1u << field.Width) - 1u));
  }
}

std::int32_t PrescalerModulusOf(std::int32_t rfP) {
  return rfP == 0 ? 8 : 16;
}
