#pragma once
// Two configurations compared field by field: the fields whose values differ, by path, and the
// differing bytes that no differing field accounts for, by offset.

#include "editors/config_values.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A synthesizer field inside a register word that differs.
struct TRegisterFieldChange {
  std::string Name; // "RF_P", or "bits 20..18" for the bits of R4 that belong to no field
  std::uint32_t A = 0, B = 0;
};

struct TFieldDifference {
  std::string Path;
  std::optional<TFieldValue> A, B;            // nothing when one configuration has no such field
  std::vector<TRegisterFieldChange> Register; // for a register word: its fields that differ
};

struct TByteDifference {
  std::size_t Offset = 0;
  std::uint8_t A = 0, B = 0;
};

struct TImageDifference {
  std::vector<TFieldDifference> Fields;
  std::vector<TByteDifference> Bytes; // bytes that differ where no differing field lies
  bool Equal() const { return Fields.empty() && Bytes.empty(); }
};

// Empty exactly when the two images are the same 2048 bytes. The checksum's computed sum,
// which follows from the other bytes, is not listed.
TImageDifference DiffImages(const TImageBytes& a, const TImageBytes& b, const TTextCodec& codec);

// The synthesizer fields of register `reg` that differ between two values of its word.
std::vector<TRegisterFieldChange> RegisterFieldChanges(int reg, std::uint32_t a, std::uint32_t b);
