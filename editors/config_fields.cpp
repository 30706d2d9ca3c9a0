#include "editors/config_fields.h"

#include <stdexcept>

namespace {

std::uint8_t Mask(const TConfigField& field) {
  return static_cast<std::uint8_t>(((1u << field.Width) - 1u) << field.Shift);
}

} // namespace

std::size_t FieldOffset(const TConfigField& field, int index) {
  const auto i = static_cast<std::size_t>(index);
  switch (field.Group) {
  case TFieldGroup::Entry:
    return TConfigImage::CapcodeRecordOffset(index) + field.Offset;
  case TFieldGroup::Key:
    return field.Offset + i;
  case TFieldGroup::Register:
    // The 24-bit value: the three bytes after the word's first byte.
    return field.Offset + kRegisterWordSize * i + 1;
  default:
    return field.Offset;
  }
}

std::uint32_t StoredValue(const TConfigImage& image, const TConfigField& field, int index) {
  const std::size_t offset = FieldOffset(field, index);
  switch (field.Kind) {
  case TFieldKind::Capcode:
    return image.ReadU32(offset);
  case TFieldKind::RegisterWord:
    return (std::uint32_t{image[offset]} << 16) | (std::uint32_t{image[offset + 1]} << 8) |
           image[offset + 2];
  default:
    if (field.Width >= 8)
      return image[offset];
    return image.ReadBitField(offset, field.Shift, field.Width);
  }
}

int ItemIndex(const TConfigImage& image, const TConfigField& field, int index) {
  const std::uint32_t stored = StoredValue(image, field, index);
  if (field.Kind == TFieldKind::InvertedBit)
    return stored ? 0 : 1;
  return stored < field.Items.size() ? static_cast<int>(stored) : -1;
}

void WriteItem(TConfigImage& image, const TConfigField& field, int item, int index) {
  if (item < 0 || static_cast<std::size_t>(item) >= field.Items.size())
    return;
  const unsigned value =
      field.Kind == TFieldKind::InvertedBit ? (item == 0 ? 1u : 0u) : static_cast<unsigned>(item);
  const std::size_t offset = FieldOffset(field, index);
  if (field.Width >= 8)
    image[offset] = static_cast<std::uint8_t>(value);
  else
    image.WriteBitField(offset, field.Shift, value, field.Width);
}

bool Ticked(const TConfigImage& image, const TConfigField& field) {
  return (image[field.Offset] & Mask(field)) != 0;
}

void WriteTicked(TConfigImage& image, const TConfigField& field, bool ticked) {
  if (field.Width >= 8)
    image[field.Offset] = ticked ? 1 : 0;
  else
    image.WriteBitField(field.Offset, field.Shift, ticked ? 1u : 0u, field.Width);
}

std::int64_t ShownNumber(const TConfigImage& image, const TConfigField& field) {
  return std::int64_t{image[field.Offset]} + (field.Kind == TFieldKind::Count ? 1 : 0);
}

void WriteShownNumber(TConfigImage& image, const TConfigField& field, std::int64_t value) {
  if (value < field.Low || value > field.High)
    throw std::out_of_range(field.Name);
  image[field.Offset] =
      static_cast<std::uint8_t>(field.Kind == TFieldKind::Count ? value - 1 : value);
}

const char* ItemText(const TConfigField& field, std::int64_t item) {
  if (item < 0 || static_cast<std::uint64_t>(item) >= field.Items.size())
    return nullptr;
  return field.Items[static_cast<std::size_t>(item)];
}

int FindItem(const TConfigField& field, std::string_view text) {
  for (std::size_t i = 0; i < field.Items.size(); ++i)
    if (text == field.Items[i])
      return static_cast<int>(i);
  return -1;
}
