#include "show_command.h"

#include "config_json.h"

#include <QJsonDocument>
#include <QString>
#include <QStringList>
#include <map>

namespace {

using TReadings = std::map<std::string, const TFieldReading*>;

QString Hex(std::uint32_t value, int digits) {
  return QString("0x%1").arg(value, digits, 16, QChar('0')).toUpper().replace("0X", "0x");
}

const TFieldReading& At(const TReadings& readings, const TConfigField& field, int index = 0) {
  return *readings.at(FieldPath(field, index));
}

QString Text(const TFieldReading& reading) {
  return QString::fromStdString(reading.Value.Text);
}

// A list's item, or what the bits hold when no item stands for them.
QString ItemOrStored(const TFieldReading& reading, const QString& unknown) {
  if (reading.Value.Kind == TFieldValue::TKind::Text)
    return Text(reading);
  return unknown.arg(reading.Stored);
}

QString OnOff(const TFieldReading& reading) {
  return reading.Value.Flag ? "on" : "off";
}

} // namespace

std::string ImageAsJson(const TImageBytes& bytes) {
  return QJsonDocument(ReadingsAsJson(ReadFields(bytes, Big5Codec())))
      .toJson(QJsonDocument::Indented)
      .toStdString();
}

std::string DescribeImage(const TImageBytes& bytes) {
  const std::vector<TFieldReading> all = ReadFields(bytes, Big5Codec());
  TReadings r;
  for (const TFieldReading& reading : all)
    r.emplace(reading.Path, &reading);
  QString out;
  auto line = [&out](const QString& label, const QString& value) {
    out += QString("%1 %2\n").arg(label + ":", -14).arg(value);
  };
  auto caption = [](const TConfigField& field) { return QString(field.Caption); };

  const TFieldReading& stored = At(r, kFieldChecksumStored);
  const TFieldReading& computed = At(r, kFieldChecksumComputed);
  line(caption(kFieldChecksumStored),
       QString("stored %1, computed %2 (%3)")
           .arg(Hex(stored.Stored, 8), Hex(computed.Stored, 8),
                At(r, kFieldChecksumValid).Value.Flag ? "valid" : "INVALID"));
  line(caption(kFieldFrequency),
       QString("%1 Hz").arg(static_cast<std::int32_t>(At(r, kFieldFrequency).Stored), 9, 10,
                            QChar('0')));
  for (const TConfigField* field : kGeneralFields) {
    const TFieldReading& reading = At(r, *field);
    QString value;
    if (field == &kFieldCapcodeCount)
      continue; // said by the set
    if (field == &kFieldCapcodeSet)
      value = ItemOrStored(reading, "unknown (selector %1, shown as 8)");
    else if (field == &kFieldRepeatWait)
      value = reading.Stored ? QString("%1 s").arg(reading.Stored) : "0 (disabled)";
    else if (field->Kind == TFieldKind::CheckBox)
      value = OnOff(reading);
    else if (field->Kind == TFieldKind::ListItem || field->Kind == TFieldKind::InvertedBit)
      value = ItemOrStored(reading, "unknown (%1)");
    else
      value = QString::fromStdString(reading.Value.Text);
    line(caption(*field), value);
  }

  out += "Entries:\n";
  for (int i = 0; r.count(FieldPath(kFieldCapcode, i)); ++i) {
    const TFieldReading& header = At(r, kFieldHeaderCode, i);
    const bool binary = header.Value.Kind == TFieldValue::TKind::Null;
    const QString codes =
        binary ? QString(20, ' ')
               : QString("header %1 trailer %2")
                     .arg(QString::asprintf("%02X", header.Stored),
                          QString::asprintf("%02X", At(r, kFieldTrailerCode, i).Stored));
    const QString key = Text(At(r, kFieldKey, i));
    out += QString("  #%1  %2  %3  %4  key %5  %6  \"%7\"\n")
               .arg(i + 1)
               .arg(At(r, kFieldCapcode, i).Stored, 7, 10, QChar('0'))
               .arg(ItemOrStored(At(r, kFieldType, i), "type %1"), -11)
               .arg(ItemOrStored(At(r, kFieldFunction, i), "fn %1"))
               .arg(key.isEmpty() ? "-" : key, -6)
               .arg(codes)
               .arg(Text(At(r, kFieldText, i)));
  }
  QStringList registers;
  for (int i = 0; i < kRegisterCount; ++i)
    registers << QString("R%1 %2").arg(i).arg(Hex(At(r, kFieldRegister, i).Stored, 6));
  line(caption(kFieldRegister), registers.mid(0, 4).join("  "));
  out += QString(15, ' ') + registers.mid(4).join("  ") + "\n";
  return out.toStdString();
}
