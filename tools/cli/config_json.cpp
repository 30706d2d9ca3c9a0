#include "config_json.h"

#include "editors/big5_codepage.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kBig5 = "Big5";

// A path's steps: member names and array indexes.
struct TStep {
  std::string Name; // empty for an index
  int Index = 0;
};

std::vector<TStep> Steps(const std::string& path) {
  std::vector<TStep> steps;
  std::size_t at = 0;
  while (at < path.size()) {
    if (path[at] == '.') {
      ++at;
      continue;
    }
    if (path[at] == '[') {
      const std::size_t close = path.find(']', at);
      steps.push_back({"", std::stoi(path.substr(at + 1, close - at - 1))});
      at = close + 1;
      continue;
    }
    const std::size_t end = path.find_first_of(".[", at);
    steps.push_back({path.substr(at, end - at), 0});
    at = end == std::string::npos ? path.size() : end;
  }
  return steps;
}

QJsonValue Inserted(QJsonValue node, const std::vector<TStep>& steps, std::size_t at,
                    const QJsonValue& value) {
  if (at == steps.size())
    return value;
  const TStep& step = steps[at];
  if (!step.Name.empty()) {
    QJsonObject object = node.toObject();
    const QString key = QString::fromStdString(step.Name);
    object[key] = Inserted(object.value(key), steps, at + 1, value);
    return object;
  }
  QJsonArray array = node.toArray();
  while (array.size() <= step.Index)
    array.append(QJsonValue());
  array[step.Index] = Inserted(array.at(step.Index), steps, at + 1, value);
  return array;
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

// A value for people; register words and the checksum in hexadecimal, as show lists them.
std::string Side(const std::optional<TFieldValue>& value, int hexDigits) {
  if (!value)
    return "(none)";
  if (hexDigits > 0 && value->Kind == TFieldValue::TKind::Number)
    return Hex(static_cast<std::uint32_t>(std::stoul(value->Text)), hexDigits);
  return DescribeValue(*value);
}

} // namespace

const TTextCodec& Big5Codec() {
#ifdef _WIN32
  // Qt for Windows converts Big5 only when it was built with ICU; the system always can.
  return CodePage950Codec();
#else
  static const TTextCodec codec{
      [](std::string_view utf8, std::string& big5) {
        QStringEncoder encoder(kBig5);
        const QByteArray bytes =
            encoder.encode(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
        big5.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return !encoder.hasError();
      },
      [](std::string_view big5) {
        QStringDecoder decoder(kBig5);
        const QString text =
            decoder.decode(QByteArrayView(big5.data(), static_cast<qsizetype>(big5.size())));
        return text.toStdString();
      }};
  return codec;
#endif
}

QJsonValue ValueAsJson(const TFieldValue& value) {
  switch (value.Kind) {
  case TFieldValue::TKind::Null:
    return QJsonValue(QJsonValue::Null);
  case TFieldValue::TKind::Flag:
    return value.Flag;
  case TFieldValue::TKind::Text:
    return QString::fromStdString(value.Text);
  case TFieldValue::TKind::Number:
    break;
  }
  try {
    std::size_t used = 0;
    const long long number = std::stoll(value.Text, &used);
    if (used == value.Text.size())
      return static_cast<qint64>(number);
  } catch (const std::exception&) {
  }
  return QString::fromStdString(value.Text).toDouble();
}

TFieldValue ValueFromJson(const QJsonValue& value) {
  switch (value.type()) {
  case QJsonValue::Bool:
    return TFieldValue::Of(value.toBool());
  case QJsonValue::Double: {
    const double number = value.toDouble();
    if (std::trunc(number) == number && std::fabs(number) < 9.0e15)
      return TFieldValue::Number(static_cast<std::int64_t>(number));
    return TFieldValue::Number(QString::number(number, 'g', 17).toStdString());
  }
  case QJsonValue::String:
    return TFieldValue::Of(value.toString().toStdString());
  default:
    return TFieldValue::Null();
  }
}

QJsonObject ReadingsAsJson(const std::vector<TFieldReading>& readings) {
  QJsonValue root = QJsonObject();
  for (const TFieldReading& reading : readings)
    root = Inserted(root, Steps(reading.Path), 0, ValueAsJson(reading.Value));
  return root.toObject();
}

void Flatten(const QJsonValue& value, const std::string& path, std::vector<TAssignment>& out) {
  if (value.isObject()) {
    const QJsonObject object = value.toObject();
    for (auto member = object.begin(); member != object.end(); ++member)
      Flatten(member.value(), (path.empty() ? "" : path + ".") + member.key().toStdString(), out);
    return;
  }
  if (value.isArray()) {
    const QJsonArray array = value.toArray();
    for (qsizetype i = 0; i < array.size(); ++i)
      Flatten(array.at(i), path + "[" + std::to_string(i) + "]", out);
    return;
  }
  out.push_back({path, ValueFromJson(value)});
}

std::optional<std::vector<TAssignment>> ParseAssignment(const std::string& argument,
                                                        std::string& problem) {
  const std::size_t equals = argument.find('=');
  if (equals == std::string::npos || equals == 0) {
    problem = "'" + argument + "' is not FIELD=VALUE";
    return std::nullopt;
  }
  const std::string path = argument.substr(0, equals);
  const std::string text = argument.substr(equals + 1);
  // Qt reads whole documents only: the value is read as the one element of an array.
  QJsonParseError error;
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray::fromStdString("[" + text + "]"), &error);
  std::vector<TAssignment> assignments;
  const bool json = error.error == QJsonParseError::NoError && document.array().size() == 1;
  const QJsonValue value = json ? document.array().at(0) : QJsonValue();
  // A text such as "[12]" for a field is the text; an object or array fills a group of fields.
  if (!json || ((value.isArray() || value.isObject()) && NamesField(path)))
    assignments.push_back({path, TFieldValue::Of(text)});
  else
    Flatten(value, path, assignments);
  return assignments;
}

TResult RefusedValues(const std::string& file, const std::vector<std::string>& errors) {
  TResult failure = TResult::Failure("file", file, errors.front());
  failure.Details.assign(errors.begin() + 1, errors.end());
  QJsonArray all;
  for (const std::string& message : errors)
    all.append(QString::fromStdString(message));
  return failure.Add("errors", all);
}

std::vector<std::string> DifferenceLines(const TImageDifference& difference) {
  std::vector<std::string> lines;
  const auto& fields = difference.Fields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const TFieldDifference& field = fields[i];
    // An entry that only one configuration has: one line with all its fields.
    const std::size_t dot = field.Path.find('.');
    if (field.Path.rfind(kEntriesName, 0) == 0 && (!field.A || !field.B)) {
      const std::string entry = field.Path.substr(0, dot);
      const bool inA = field.A.has_value();
      std::string members;
      for (; i < fields.size() && fields[i].Path.rfind(entry + ".", 0) == 0 &&
             fields[i].A.has_value() == inA && fields[i].B.has_value() != inA;
           ++i)
        members += (members.empty() ? "" : ", ") + fields[i].Path.substr(dot + 1) + ": " +
                   DescribeValue(inA ? *fields[i].A : *fields[i].B);
      --i;
      lines.push_back(entry + ": " +
                      (inA ? "{" + members + "} -> (none)" : "(none) -> {" + members + "}"));
      continue;
    }
    const int digits = field.Path.rfind(kFieldRegister.Name, 0) == 0   ? 6
                       : field.Path == FieldPath(kFieldChecksumStored) ? 8
                                                                       : 0;
    std::string line = field.Path + ": " + Side(field.A, digits) + " -> " + Side(field.B, digits);
    std::string parts;
    for (const TRegisterFieldChange& change : field.Register)
      parts += (parts.empty() ? "" : ", ") + change.Name + " " + std::to_string(change.A) + " -> " +
               std::to_string(change.B);
    if (!parts.empty())
      line += " (" + parts + ")";
    lines.push_back(line);
  }
  for (const TByteDifference& byte : difference.Bytes)
    lines.push_back("byte " + Hex(static_cast<std::uint32_t>(byte.Offset), 3) + ": " +
                    Hex(byte.A, 2) + " -> " + Hex(byte.B, 2));
  return lines;
}

QJsonObject DifferenceAsJson(const TImageDifference& difference) {
  QJsonArray fields;
  for (const TFieldDifference& field : difference.Fields) {
    QJsonObject entry{{"field", QString::fromStdString(field.Path)}};
    if (field.A)
      entry["a"] = ValueAsJson(*field.A);
    if (field.B)
      entry["b"] = ValueAsJson(*field.B);
    if (!field.Register.empty()) {
      QJsonArray parts;
      for (const TRegisterFieldChange& change : field.Register)
        parts.append(QJsonObject{{"name", QString::fromStdString(change.Name)},
                                 {"a", static_cast<qint64>(change.A)},
                                 {"b", static_cast<qint64>(change.B)}});
      entry["register_fields"] = parts;
    }
    fields.append(entry);
  }
  QJsonArray bytes;
  for (const TByteDifference& byte : difference.Bytes)
    bytes.append(
        QJsonObject{{"offset", static_cast<qint64>(byte.Offset)}, {"a", byte.A}, {"b", byte.B}});
  return QJsonObject{{"fields", fields}, {"bytes", bytes}};
}
