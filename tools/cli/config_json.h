#pragma once
// The configuration's fields as JSON, and Big5 through Qt: the pieces `show`, `build`, `set`,
// `diff` and `verify` share. The fields and their values come from the core's model
// (editors/config_values.h); this file only converts.

#include "editors/config_diff.h"
#include "editors/config_values.h"
#include "report.h"

#include <QJsonObject>
#include <QJsonValue>
#include <optional>
#include <string>
#include <vector>

// Big5 text through Qt's codec.
const TTextCodec& Big5Codec();

QJsonValue ValueAsJson(const TFieldValue& value);
TFieldValue ValueFromJson(const QJsonValue& value);

// The readings nested as the field paths say: the JSON object `show --json` prints.
QJsonObject ReadingsAsJson(const std::vector<TFieldReading>& readings);

// A JSON value as assignments: an object's members as "path.member", an array's elements as
// "path[i]", anything else as the value of `path`.
void Flatten(const QJsonValue& value, const std::string& path, std::vector<TAssignment>& out);

// "FIELD=VALUE" as assignments. VALUE is taken as JSON when it reads as JSON (a number, true,
// false, null, a quoted text; an object or array for a group of fields) and as text otherwise.
// Nothing, with `problem` set, when the argument has no "=".
std::optional<std::vector<TAssignment>> ParseAssignment(const std::string& argument,
                                                        std::string& problem);

// A build refused: every refused value, the first as the message, all in "errors".
TResult RefusedValues(const std::string& file, const std::vector<std::string>& errors);

// The difference for people, one line per field or byte:
//   entries[2].capcode: 1234562 -> 1234563
//   registers[1]: 0x092943 -> 0x492943 (RF_P 0 -> 1)
//   byte 0x05F: 0x00 -> 0x01
std::vector<std::string> DifferenceLines(const TImageDifference& difference);
// {"fields": [{"field": ..., "a": ..., "b": ...}], "bytes": [{"offset": ..., "a": ..., "b": ...}]}
// A side without the field has no "a" or "b" member.
QJsonObject DifferenceAsJson(const TImageDifference& difference);
