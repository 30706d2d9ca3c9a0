#include "synth/register_map.h"

using S = TSynthRegisters;

const std::array<TRegisterField, 42> kRegisterFields{{
    {"RF_N", 0, 13, 11, &S::RF_N},
    {"RF_FN", 0, 1, 12, &S::R0_RF_FN},
    {"R0_C", 0, 0, 1, &S::R0_C},
    {"RF_PD", 1, 23, 1, &S::RF_PD},
    {"RF_P", 1, 22, 1, &S::RF_P},
    {"RF_R", 1, 16, 6, &S::RF_R},
    {"RF_FD", 1, 4, 12, &S::R1_RF_FD},
    {"R1_C", 1, 0, 4, &S::R1_C},
    {"IF_PD", 2, 23, 1, &S::IF_PD},
    {"IF_N", 2, 4, 19, &S::IF_N},
    {"R2_C", 2, 0, 4, &S::R2_C},
    {"ACCESS", 3, 20, 4, &S::ACCESS},
    {"RF_CPG", 3, 16, 4, &S::RF_CPG},
    {"IF_R", 3, 4, 12, &S::IF_R},
    {"R3_C", 3, 0, 4, &S::R3_C},
    {"ATPU", 4, 23, 1, &S::ATPU},
    {"Fixed1", 4, 21, 2, &S::R4_Fixed1},
    {"DITH", 4, 16, 2, &S::DITH},
    {"FM", 4, 14, 2, &S::FM},
    {"Fixed2", 4, 13, 1, &S::R4_Fixed2},
    {"OSC_2X", 4, 12, 1, &S::OSC_2X},
    {"OSC_OUT", 4, 11, 1, &S::OSC_OUT},
    {"IF_CPP", 4, 10, 1, &S::IF_CPP},
    {"RF_CPP", 4, 9, 1, &S::RF_CPP},
    {"IF_P", 4, 8, 1, &S::IF_P},
    {"MUX", 4, 4, 4, &S::MUX},
    {"R4_C", 4, 0, 4, &S::R4_C},
    {"RF_FD", 5, 14, 10, &S::R5_RF_FD},
    {"RF_FN", 5, 4, 10, &S::R5_RF_FN},
    {"R5_C", 5, 0, 4, &S::R5_C},
    {"CSR", 6, 22, 2, &S::CSR},
    {"RF_CPF", 6, 18, 4, &S::RF_CPF},
    {"RF_TOC", 6, 4, 14, &S::RF_TOC},
    {"R6_C", 6, 0, 4, &S::R6_C},
    {"Fixed1", 7, 14, 10, &S::R7_Fixed1},
    {"DIV4", 7, 13, 1, &S::DIV4},
    {"Fixed2", 7, 8, 5, &S::R7_Fixed2},
    {"IF_RST", 7, 7, 1, &S::IF_RST},
    {"RF_RST", 7, 6, 1, &S::RF_RST},
    {"IF_CPT", 7, 5, 1, &S::IF_CPT},
    {"RF_CPT", 7, 4, 1, &S::RF_CPT},
    {"R7_C", 7, 0, 4, &S::R7_C},
}};

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
