#pragma once
// What the POCSAG tests share: a reading of codewords that knows only the standard (not the
// builder), and multimon-ng, the independent decoder, run on raw audio.

#include "image/config_image.h"
#include "pocsag/transmission.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace pocsag_test {

// True when the codeword is a valid BCH(31,21) word with even parity: its top 31 bits, as a
// polynomial, are a multiple of the generator.
inline bool CodewordChecks(std::uint32_t word) {
  std::uint32_t r = word >> 1;
  for (int bit = 30; bit >= 10; --bit)
    if (r & (1u << bit))
      r ^= 0b111'0110'1001u << (bit - 10);
  return r == 0 && __builtin_popcount(word) % 2 == 0;
}

struct TReadPage {
  std::uint32_t Address = 0; // with the frame as its low 3 bits
  unsigned Function = 0;
  std::vector<std::uint32_t> Data; // the 20 data bits of each message codeword
  bool EndedByCodeword = false;    // an idle or address codeword came after the message
};

// The pages in a row of batches, read as a pager reads them.
inline std::vector<TReadPage> ReadBatches(const std::vector<TBatch>& batches) {
  std::vector<TReadPage> pages;
  bool inMessage = false;
  for (const TBatch& batch : batches)
    for (std::size_t slot = 1; slot < batch.size(); ++slot) {
      const std::uint32_t w = batch[slot];
      const bool message = (w >> 31) != 0;
      if (message && inMessage) {
        pages.back().Data.push_back((w >> 11) & 0xFFFFF);
        continue;
      }
      if (inMessage)
        pages.back().EndedByCodeword = true;
      inMessage = false;
      if (!message && w != kIdleCodeword) {
        TReadPage page;
        page.Address = (((w >> 13) & 0x3FFFF) << 3) | static_cast<std::uint32_t>((slot - 1) / 2);
        page.Function = (w >> 11) & 3;
        pages.push_back(page);
        inMessage = true;
      }
    }
  return pages;
}

// The bits of the data words in the order they were sent, as symbols of `width` bits whose
// first bit sent is their least significant. Bits left over at the end are dropped.
inline std::vector<std::uint8_t> Symbols(const std::vector<std::uint32_t>& data, int width) {
  std::vector<std::uint8_t> out;
  unsigned symbol = 0;
  int have = 0;
  for (const std::uint32_t word : data)
    for (int bit = 19; bit >= 0; --bit) {
      symbol |= ((word >> bit) & 1u) << have;
      if (++have == width) {
        out.push_back(static_cast<std::uint8_t>(symbol));
        symbol = 0;
        have = 0;
      }
    }
  return out;
}

// ---- multimon-ng ----------------------------------------------------------------------------

inline std::optional<std::string> MultimonPath() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t colon = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, colon - start) + "/multimon-ng";
    if (::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = colon + 1;
  }
  return std::nullopt;
}

#define REQUIRE_MULTIMON()                                                                         \
  do {                                                                                             \
    if (!pocsag_test::MultimonPath())                                                              \
      GTEST_SKIP() << "multimon-ng is not installed (scripts/install-deps.sh installs it): the "   \
                      "independent decoder cannot check the pages";                                \
  } while (0)

struct TDecoded {
  std::string Mode; // "POCSAG512", "POCSAG1200", "POCSAG2400"
  std::uint32_t Address = 0;
  unsigned Function = 0;
  std::string Kind; // "Alpha", "Numeric" or "" for an address alone
  std::string Text; // as multimon-ng prints it
  // multimon-ng warned "Message too long" and printed only the characters it holds.
  bool Cut = false;
};

// The most characters multimon-ng holds of one alphanumeric message; it cuts longer ones.
constexpr std::size_t kMultimonAlphaLimit = 582;

// multimon-ng's lines, read back. A line it prints that is not a page makes the whole reading
// fail, so that nothing it says goes unchecked.
inline bool ParseMultimon(const std::string& output, std::vector<TDecoded>& pages,
                          std::string& problem) {
  std::size_t start = 0;
  bool cut = false;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos)
      end = output.size();
    const std::string line = output.substr(start, end - start);
    start = end + 1;
    if (line.empty())
      continue;
    const std::string tooLong = ": Warning: Message too long";
    if (line.size() > tooLong.size() &&
        line.compare(line.size() - tooLong.size(), tooLong.size(), tooLong) == 0) {
      cut = true;
      continue;
    }
    TDecoded page;
    page.Cut = cut;
    cut = false;
    const std::size_t colon = line.find(": Address:");
    const std::size_t function = line.find("  Function: ");
    if (colon == std::string::npos || function == std::string::npos) {
      problem = "unexpected line: " + line;
      return false;
    }
    page.Mode = line.substr(0, colon);
    page.Address = static_cast<std::uint32_t>(std::stoul(line.substr(colon + 10)));
    page.Function = static_cast<unsigned>(std::stoul(line.substr(function + 12)));
    const std::size_t rest = function + 13;
    for (const char* kind : {"Alpha:   ", "Numeric: "}) {
      const std::string tag = std::string("  ") + kind;
      if (line.compare(rest, tag.size(), tag) == 0) {
        page.Kind = std::string(kind).substr(0, std::string(kind).find(':'));
        page.Text = line.substr(rest + tag.size());
      }
    }
    if (page.Kind.empty() && line.substr(rest) != " ") {
      problem = "unexpected line: " + line;
      return false;
    }
    pages.push_back(page);
  }
  return true;
}

// multimon-ng's names of the control characters in alphanumeric messages.
inline const char* const kControlNames[32] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

// 7-bit characters as multimon-ng prints them.
inline std::string AsMultimonAlpha(const std::vector<std::uint8_t>& characters) {
  std::string out;
  for (const std::uint8_t c : characters) {
    if (c < 0x20)
      out += std::string("<") + kControlNames[c] + ">";
    else if (c == 0x7F)
      out += "<DEL>";
    else
      out += static_cast<char>(c);
  }
  return out;
}

// And back; nothing when the text holds a name that is not in the table.
inline std::optional<std::vector<std::uint8_t>> FromMultimonAlpha(const std::string& text) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '<') {
      out.push_back(static_cast<std::uint8_t>(text[i]));
      continue;
    }
    const std::size_t close = text.find('>', i);
    if (close == std::string::npos)
      return std::nullopt;
    const std::string name = text.substr(i + 1, close - i - 1);
    int code = name == "DEL" ? 0x7F : -1;
    for (int c = 0; c < 32; ++c)
      if (name == kControlNames[c])
        code = c;
    if (code < 0)
      return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(code));
    i = close;
  }
  return out;
}

// multimon-ng's characters for the numeric codes 0x0..0xF.
inline constexpr char kMultimonDigits[] = "0123456789.U -][";

// Decodes a raw audio file with every POCSAG rate, without bit repair and with the coding
// forced (`format` "alpha" or "numeric"); `invert` is its -i.
inline bool Multimon(const std::string& raw, const std::string& format, bool invert,
                     std::vector<TDecoded>& pages, std::string& problem) {
  const std::string command = *MultimonPath() + " -q -t raw -a POCSAG512 -a POCSAG1200 " +
                              "-a POCSAG2400 -b 0 -f " + format + (invert ? " -i " : " ") + "'" +
                              raw + "' 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    problem = "cannot run " + command;
    return false;
  }
  std::string output;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, got);
  const int status = ::pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    problem = command + " failed: " + output;
    return false;
  }
  return ParseMultimon(output, pages, problem);
}

} // namespace pocsag_test
