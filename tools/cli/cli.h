#pragma once
// kx470-cli's command framework: each command file registers its command with one function,
// main.cpp lists those functions.

#include "image/config_image.h"
#include "report.h"

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A usage error found after parsing, by the command itself: told like the parser's own.
class EUsage : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TCommand {
  std::string Name;
  std::string Synopsis; // the arguments, as the tool's help lists them
  std::string Summary;  // one line for the tool's help
  std::string Help;     // the command's own help text
  CLI::App* App = nullptr;
  // Runs the command once its options are parsed; returns the exit status. Throws EUsage for
  // a usage error the parser could not see.
  std::function<int(TReport&)> Run;
};

struct TCli {
  TCli();
  CLI::App App;
  TOutputOptions Output;
  std::vector<std::unique_ptr<TCommand>> Commands;
};

// Adds a command with --json and --quiet; the caller adds its own options to the App it
// returns. Help is the command's whole help text; the options every command has are told
// after it.
CLI::App* AddCommand(TCli& cli, const std::string& name, const std::string& synopsis,
                     const std::string& summary, const std::string& help,
                     std::function<int(TReport&)> run);

// Links to the encoder on `device` and reads its configuration; on failure `failure` says
// why, as read does.
std::optional<TImageBytes> ReadEncoderImage(const std::string& device, TResult& failure);

// Adds to a result the field-level difference of two images: lines for people, and a
// "differences" member for JSON.
void AddDifference(TResult& result, const TImageBytes& a, const TImageBytes& b);

// Reads a table file for the commands that send or compare it; on failure `error` says why.
std::optional<TImageBytes> LoadTableFile(const std::string& path, std::string& error);
