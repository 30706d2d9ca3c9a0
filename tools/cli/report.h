#pragma once
// What every kx470-cli command reports, and how: lines for people (successes on standard
// output, failures on standard error) or one JSON object per result on standard output.

#include <QJsonValue>
#include <string>
#include <utility>
#include <vector>

struct TOutputOptions {
  bool Json = false;  // one JSON object per result on standard output, failures included
  bool Quiet = false; // successes print nothing; failures are still told
};

// One result: of a file, of a port, or of the whole command.
struct TResult {
  std::string SubjectKey; // "port", "file", or empty for a result about no one thing
  std::string Subject;
  bool Ok = true;
  std::string Message;              // the success text, or what failed
  std::vector<std::string> Details; // further lines for people, printed under the message
  std::vector<std::pair<std::string, QJsonValue>> Fields; // further members of the JSON object

  static TResult Success(std::string key, std::string subject, std::string message);
  static TResult Failure(std::string key, std::string subject, std::string message);
  TResult& Add(const std::string& key, const QJsonValue& value);
};

// One line of JSON: the subject first, then "ok", "message" or "error", then the fields, in
// the order they were added.
std::string ResultAsJson(const TResult& result);

class TReport {
public:
  explicit TReport(const TOutputOptions& options) : FOptions(options) {}

  const TOutputOptions& Options() const { return FOptions; }
  // Prints one result. `prefixed` puts the subject before each of its lines for people, as
  // when one command reports on several ports.
  void Print(const TResult& result, bool prefixed = false);
  // A failure of the whole command, about no one file or port; returns the exit status 1.
  int Fail(const std::string& message);
  // 0 when every result printed so far succeeded, 1 otherwise.
  int ExitStatus() const;

private:
  TOutputOptions FOptions;
  bool FFailed = false;
};
