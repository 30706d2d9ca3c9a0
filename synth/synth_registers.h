#pragma once
// The transmitter's PLL synthesizer: eight 24-bit registers R0..R7 made of named fields.
// Field names are the hardware's; fields of the same name in two registers are separate.

#include <array>
#include <cstdint>

class TSynthRegisters {
public:
  // R0
  std::int32_t RF_N = 181, R0_RF_FN = 620, R0_C = 0;
  // R1
  std::int32_t RF_PD = 0, RF_P = 0, RF_R = 9, R1_RF_FD = 660, R1_C = 3;
  // R2
  std::int32_t IF_PD = 0, IF_N = 20000, R2_C = 5;
  // R3
  std::int32_t ACCESS = 15, RF_CPG = 15, IF_R = 594, R3_C = 7;
  // R4
  std::int32_t ATPU = 0, R4_Fixed1 = 1, DITH = 2, FM = 0, R4_Fixed2 = 0, OSC_2X = 0, OSC_OUT = 1,
               IF_CPP = 0, RF_CPP = 0, IF_P = 1, MUX = 1, R4_C = 9;
  // R5
  std::int32_t R5_RF_FD = 0, R5_RF_FN = 0, R5_C = 11;
  // R6
  std::int32_t CSR = 0, RF_CPF = 15, RF_TOC = 0, R6_C = 13;
  // R7
  std::int32_t R7_Fixed1 = 0, DIV4 = 0, R7_Fixed2 = 9, IF_RST = 0, RF_RST = 0, IF_CPT = 0,
               RF_CPT = 0, R7_C = 15;

  // The packed value of each register (bits 23..0 in normal use).
  std::array<std::int32_t, 8> Packed{0x16A4D8, 0x092943, 0x04E205, 0xFF2527,
                                     0x220919, 0x00000B, 0x3C000D, 0x00090F};

  // Prescaler modulus P: 8 when RF_P is 0, 16 when it is 1.
  std::int32_t PrescalerModulus = 8;
};
