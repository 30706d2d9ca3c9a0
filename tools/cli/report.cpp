#include "report.h"

#include "cli.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (static_cast<unsigned char>(c) < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        out += escaped;
      } else {
        out += c;
      }
    }
  }
  return out + "\"";
}

// Qt writes whole documents only: the value goes out as the one element of an array.
std::string Encoded(const QJsonValue& value) {
  const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
  return array.mid(1, array.size() - 2).toStdString();
}

void PrintLines(std::FILE* stream, const TResult& result, bool prefixed) {
  const std::string prefix = prefixed && !result.Subject.empty() ? result.Subject + ": " : "";
  std::fprintf(stream, "%s%s\n", prefix.c_str(), result.Message.c_str());
  for (const std::string& line : result.Details)
    std::fprintf(stream, "%s%s\n", prefix.c_str(), line.c_str());
}

} // namespace

TResult TResult::Success(std::string key, std::string subject, std::string message) {
  TResult result;
  result.SubjectKey = std::move(key);
  result.Subject = std::move(subject);
  result.Message = std::move(message);
  return result;
}

TResult TResult::Failure(std::string key, std::string subject, std::string message) {
  TResult result = Success(std::move(key), std::move(subject), std::move(message));
  result.Ok = false;
  return result;
}

TResult& TResult::Add(const std::string& key, const QJsonValue& value) {
  Fields.emplace_back(key, value);
  return *this;
}

std::string ResultAsJson(const TResult& result) {
  std::string out = "{";
  if (!result.SubjectKey.empty())
    out += Quoted(result.SubjectKey) + ": " + Quoted(result.Subject) + ", ";
  out += std::string("\"ok\": ") + (result.Ok ? "true" : "false");
  out +=
      std::string(", ") + (result.Ok ? "\"message\"" : "\"error\"") + ": " + Quoted(result.Message);
  for (const auto& [key, value] : result.Fields)
    out += ", " + Quoted(key) + ": " + Encoded(value);
  return out + "}";
}

void TReport::Print(const TResult& result, bool prefixed) {
  if (!result.Ok)
    FFailed = true;
  if (result.Ok && FOptions.Quiet)
    return;
  if (FOptions.Json) {
    std::printf("%s\n", ResultAsJson(result).c_str());
    std::fflush(stdout);
    return;
  }
  PrintLines(result.Ok ? stdout : stderr, result, prefixed);
  std::fflush(result.Ok ? stdout : stderr);
}

int TReport::Fail(const std::string& message) {
  Print(TResult::Failure("", "", message));
  return kExitFailed;
}

int TReport::ExitStatus() const {
  return FFailed ? kExitFailed : kExitOk;
}
