#include "show_command.h"

#include "editors/key_names.h"
#include "editors/record_reading.h"
#include "synth/frequency_plan.h"
#include "synth/register_map.h"
#include "synth/synth_registers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringDecoder>
#include <array>
#include <cstdio>
#include <optional>

namespace {

constexpr std::array<const char*, 3> kBitRates{"512 bps", "1200 bps", "2400 bps"};
constexpr std::array<const char*, 3> kSets{"1 Set", "4 Set", "8 Set"};
constexpr std::array<const char*, 3> kCommands{"NONE", "ZRCOMP2", "RF TEST"};
constexpr std::array<const char*, 5> kTypes{"Alpha", "Digit(0x0C)", "Digit(0x0F)", "Tone Only",
                                            "Binary"};
constexpr std::array<const char*, 4> kFunctions{"0 0", "0 1", "1 0", "1 1"};

template <std::size_t N>
std::optional<QString> ItemText(const std::array<const char*, N>& items, unsigned index) {
  if (index < N)
    return QString::fromLatin1(items[index]);
  return std::nullopt;
}

template <std::size_t N>
QJsonValue ItemOrNull(const std::array<const char*, N>& items, unsigned index) {
  const auto text = ItemText(items, index);
  return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

template <std::size_t N>
QJsonValue ItemOrNumber(const std::array<const char*, N>& items, unsigned index) {
  const auto text = ItemText(items, index);
  return text ? QJsonValue(*text) : QJsonValue(static_cast<int>(index));
}

// Everything `show` reports, read once.
struct TConfiguration {
  TConfigImage Image;
  std::uint32_t StoredSum = 0, ComputedSum = 0;
  unsigned Selector = 0, BitRate = 0;
  bool Normal = true, KeyBeep = false, Rising = false;
  int RepeatTimes = 1, RepeatWait = 0, Command = 0;
  std::vector<TEntryReading> Entries;
  std::array<std::string, kMaxCapcodes> Keys;
  std::array<std::uint32_t, kRegisterCount> Registers{};
  std::int32_t Frequency = 0;
};

TConfiguration Read(const TImageBytes& bytes) {
  TConfiguration c;
  c.Image.Assign(bytes);
  TConfigImage& image = c.Image;
  c.StoredSum = ReadBigEndian32(bytes.data() + kChecksum);
  c.ComputedSum = BlockSum(bytes);
  c.Selector = image.ReadBitField(kOptionByte, kSelectorShift, kSelectorWidth);
  c.BitRate = image.ReadBitField(kOptionByte, kBitRateShift, kBitRateWidth);
  c.Normal = image.ReadBitField(kOptionByte, kPolarityShift, kPolarityWidth) == 1;
  c.KeyBeep = image.ReadBitField(kOptionByte, kKeyBeepShift, kKeyBeepWidth) == 1;
  c.RepeatTimes = image[kRepeatCount] + 1;
  c.RepeatWait = image[kRepeatWait];
  c.Command = image[kPcCommand];
  c.Rising = image[kTriggerEdge] != 0;
  image.SetCapcodeCount(CapcodeCountFromSelector(c.Selector));
  for (int i = 0; i < image.CapcodeCount(); ++i)
    c.Entries.push_back(ReadEntry(image, i));
  for (int k = 0; k < kMaxCapcodes; ++k)
    c.Keys[static_cast<std::size_t>(k)] = KeyName(image[kKeyMap + static_cast<std::size_t>(k)]);
  for (int r = 0; r < kRegisterCount; ++r) {
    const std::size_t word = kRegisterWords + kRegisterWordSize * static_cast<std::size_t>(r);
    c.Registers[static_cast<std::size_t>(r)] = (std::uint32_t{bytes[word + 1]} << 16) |
                                               (std::uint32_t{bytes[word + 2]} << 8) |
                                               bytes[word + 3];
  }
  TSynthRegisters synth;
  UnpackRegisters(synth, image);
  c.Frequency = DisplayedFrequency(synth);
  return c;
}

QString EntryText(const TEntryReading& entry) {
  const auto* data = reinterpret_cast<const char*>(entry.Text.data());
  const auto size = static_cast<qsizetype>(entry.Text.size());
  if (!entry.Binary)
    return QString::fromLatin1(data, size);
  QStringDecoder big5("Big5");
  return big5.decode(QByteArrayView(data, size));
}

QString Hex(std::uint32_t value, int digits) {
  return QString("0x%1").arg(value, digits, 16, QChar('0')).toUpper().replace("0X", "0x");
}

} // namespace

std::string ImageAsJson(const TImageBytes& bytes) {
  const TConfiguration c = Read(bytes);
  QJsonObject root;
  root["checksum"] = QJsonObject{{"stored", static_cast<qint64>(c.StoredSum)},
                                 {"computed", static_cast<qint64>(c.ComputedSum)},
                                 {"valid", c.StoredSum == c.ComputedSum}};
  root["bit_rate"] = ItemOrNull(kBitRates, c.BitRate);
  root["polarity"] = c.Normal ? "Normal" : "Invert";
  root["key_beep"] = c.KeyBeep;
  root["capcode_set"] = ItemOrNull(kSets, c.Selector);
  root["capcode_count"] =
      c.Selector < kSets.size() ? QJsonValue(c.Image.CapcodeCount()) : QJsonValue(QJsonValue::Null);
  root["repeat_times"] = c.RepeatTimes;
  root["repeat_wait"] = c.RepeatWait;
  root["pc_command"] = ItemOrNumber(kCommands, static_cast<unsigned>(c.Command));
  root["trigger_rising"] = c.Rising;
  QJsonArray entries;
  for (const TEntryReading& entry : c.Entries) {
    QJsonObject e;
    e["capcode"] = static_cast<qint64>(entry.Capcode);
    e["type"] = ItemOrNumber(kTypes, entry.Type);
    e["function"] = ItemOrNumber(kFunctions, entry.Function);
    e["header_code"] = entry.Binary ? QJsonValue(QJsonValue::Null) : QJsonValue(entry.Header);
    e["trailer_code"] = entry.Binary ? QJsonValue(QJsonValue::Null) : QJsonValue(entry.Trailer);
    e["text"] = EntryText(entry);
    entries.append(e);
  }
  root["entries"] = entries;
  QJsonArray keys;
  for (const std::string& key : c.Keys)
    keys.append(QString::fromStdString(key));
  root["keys"] = keys;
  QJsonArray registers;
  for (const std::uint32_t value : c.Registers)
    registers.append(static_cast<qint64>(value));
  root["registers"] = registers;
  root["frequency_hz"] = static_cast<qint64>(c.Frequency);
  return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::string DescribeImage(const TImageBytes& bytes) {
  const TConfiguration c = Read(bytes);
  QString out;
  auto line = [&out](const QString& label, const QString& value) {
    out += QString("%1 %2\n").arg(label + ":", -14).arg(value);
  };
  line("Checksum", QString("stored %1, computed %2 (%3)")
                       .arg(Hex(c.StoredSum, 8), Hex(c.ComputedSum, 8),
                            c.StoredSum == c.ComputedSum ? "valid" : "INVALID"));
  line("Frequency", QString("%1 Hz").arg(c.Frequency, 9, 10, QChar('0')));
  line("Bit rate", ItemText(kBitRates, c.BitRate).value_or(QString("unknown (%1)").arg(c.BitRate)));
  line("Polarity", c.Normal ? "Normal" : "Invert");
  line("Key beep", c.KeyBeep ? "on" : "off");
  line("Capcode set", ItemText(kSets, c.Selector)
                          .value_or(QString("unknown (selector %1, shown as 8)").arg(c.Selector)));
  line("Repeat times", QString::number(c.RepeatTimes));
  line("Repeat wait", c.RepeatWait ? QString("%1 s").arg(c.RepeatWait) : "0 (disabled)");
  line("PC command", ItemText(kCommands, static_cast<unsigned>(c.Command))
                         .value_or(QString("unknown (%1)").arg(c.Command)));
  line("Trigger rising", c.Rising ? "on" : "off");
  out += "Entries:\n";
  for (std::size_t i = 0; i < c.Entries.size(); ++i) {
    const TEntryReading& e = c.Entries[i];
    const QString codes = e.Binary ? QString(20, ' ')
                                   : QString("header %1 trailer %2")
                                         .arg(QString::asprintf("%02X", e.Header),
                                              QString::asprintf("%02X", e.Trailer));
    out += QString("  #%1  %2  %3  %4  key %5  %6  \"%7\"\n")
               .arg(i + 1)
               .arg(e.Capcode, 7, 10, QChar('0'))
               .arg(ItemText(kTypes, e.Type).value_or(QString("type %1").arg(e.Type)), -11)
               .arg(ItemText(kFunctions, e.Function).value_or(QString("fn %1").arg(e.Function)))
               .arg(QString::fromStdString(c.Keys[i].empty() ? "-" : c.Keys[i]), -6)
               .arg(codes)
               .arg(EntryText(e));
  }
  QStringList registers;
  for (std::size_t r = 0; r < c.Registers.size(); ++r)
    registers << QString("R%1 %2").arg(r).arg(Hex(c.Registers[r], 6));
  line("Registers", registers.mid(0, 4).join("  "));
  out += QString(15, ' ') + registers.mid(4).join("  ") + "\n";
  return out.toStdString();
}
