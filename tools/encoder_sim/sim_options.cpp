#include "tools/encoder_sim/sim_options.h"

#include "pocsag/entry_page.h"

#include <charconv>
#include <limits>

namespace sim {

namespace {

// Strict decimal: no sign, no blanks, no trailing text, within [low, high].
bool ParseNumber(const std::string& text, std::uint64_t low, std::uint64_t high,
                 std::uint64_t& value) {
  if (text.empty())
    return false;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end && value >= low && value <= high;
}

bool ParseVersion(const std::string& text, std::uint8_t& major, std::uint8_t& minor) {
  const std::size_t dot = text.find('.');
  std::uint64_t high = 0, low = 0;
  if (dot == std::string::npos || !ParseNumber(text.substr(0, dot), 0, 255, high) ||
      !ParseNumber(text.substr(dot + 1), 0, 255, low))
    return false;
  major = static_cast<std::uint8_t>(high);
  minor = static_cast<std::uint8_t>(low);
  return true;
}

} // namespace

TParsedOptions ParseSimOptions(const std::vector<std::string>& arguments) {
  TParsedOptions parsed;
  TSimOptions& o = parsed.Options;
  auto fail = [&parsed](const std::string& why) {
    parsed.Error = why;
    return parsed;
  };

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> inlineValue;
    if (const std::size_t equals = name.find('=');
        name.rfind("--", 0) == 0 && equals != name.npos) {
      inlineValue = name.substr(equals + 1);
      name.erase(equals);
    }
    auto takeValue = [&](std::string& value) {
      if (inlineValue) {
        value = *inlineValue;
        return true;
      }
      if (i + 1 >= arguments.size())
        return false;
      value = arguments[++i];
      return true;
    };
    auto flag = [&]() { return !inlineValue; };

    std::string value;
    if (name == "-h" || name == "--help") {
      parsed.ShowHelp = true;
      return parsed;
    }
    if (name == "--version") {
      parsed.ShowVersion = true;
      return parsed;
    }
    if (name == "-v" || name == "--verbose") {
      o.Verbose = true;
    } else if (name == "--pace" || name == "--bad-image-checksum" ||
               name == "--bad-reply-checksum" || name == "--stray-byte") {
      if (!flag())
        return fail("option " + name + " takes no value");
      if (name == "--pace")
        o.Pace = true;
      else if (name == "--bad-image-checksum")
        o.Faults.BadImageChecksum = true;
      else if (name == "--bad-reply-checksum")
        o.Faults.BadReplyChecksum = true;
      else
        o.Faults.StrayByte = true;
    } else if (name == "--image" || name == "--save" || name == "--link" || name == "--air") {
      if (!takeValue(value) || value.empty())
        return fail("option " + name + " needs a file name");
      (name == "--image"  ? o.ImagePath
       : name == "--save" ? o.SavePath
       : name == "--link" ? o.LinkPath
                          : o.AirPath) = value;
    } else if (name == "--press") {
      std::uint64_t key = 0;
      if (!takeValue(value) || !ParseNumber(value, 1, kKeyInputs, key))
        return fail("option --press needs a push-button input from 1 to " +
                    std::to_string(kKeyInputs) + ", not \"" + value + "\"");
      o.Presses.push_back(static_cast<int>(key));
    } else if (name == "--pid" || name == "--mcu" || name == "--status" ||
               name == "--write-result") {
      std::uint64_t number = 0;
      if (!takeValue(value) || !ParseNumber(value, 0, 255, number))
        return fail("option " + name + " needs a number from 0 to 255, not \"" + value + "\"");
      const auto byte = static_cast<std::uint8_t>(number);
      if (name == "--pid")
        o.Identity.Pid = byte;
      else if (name == "--mcu")
        o.Identity.Mcu = byte;
      else if (name == "--status")
        o.Faults.ForcedStatus = byte;
      else
        o.Faults.WriteResult = byte;
    } else if (name == "--iap" || name == "--user") {
      std::uint8_t major = 0, minor = 0;
      if (!takeValue(value) || !ParseVersion(value, major, minor))
        return fail("option " + name + " needs a version MAJOR.MINOR, each 0 to 255, not \"" +
                    value + "\"");
      if (name == "--iap") {
        o.Identity.IapMajor = major;
        o.Identity.IapMinor = minor;
      } else {
        o.Identity.UserMajor = major;
        o.Identity.UserMinor = minor;
      }
    } else if (name == "--corrupt-block" || name == "--drop-block" || name == "--stall-block") {
      std::uint64_t block = 0;
      if (!takeValue(value) || !ParseNumber(value, 1, kBlockCount, block))
        return fail("option " + name + " needs a block number from 1 to " +
                    std::to_string(kBlockCount) + ", not \"" + value + "\"");
      unsigned& blocks = name == "--corrupt-block" ? o.Faults.CorruptBlocks
                         : name == "--drop-block"  ? o.Faults.DropBlocks
                                                   : o.Faults.StallBlocks;
      blocks |= 1u << (block - 1);
    } else if (name == "--stall-time") {
      std::uint64_t milliseconds = 0;
      if (!takeValue(value) || !ParseNumber(value, 1, 600000, milliseconds))
        return fail("option --stall-time needs milliseconds from 1 to 600000, not \"" + value +
                    "\"");
      o.Faults.StallTime = std::chrono::milliseconds(milliseconds);
    } else if (name == "--hangup-after") {
      std::uint64_t count = 0;
      if (!takeValue(value) ||
          !ParseNumber(value, 1, std::numeric_limits<std::uint64_t>::max(), count))
        return fail("option --hangup-after needs a byte count of 1 or more, not \"" + value + "\"");
      o.HangupAfter = count;
    } else {
      return fail(name.rfind('-', 0) == 0 ? "unknown option " + name
                                          : "unexpected argument \"" + name + "\"");
    }
  }
  if (!o.Presses.empty() && o.AirPath.empty())
    return fail("option --press needs --air PATH to send the page to");
  return parsed;
}

std::string SimHelpText(const std::string& program) {
  return "Usage: " + program + R"( [OPTION]...
Plays the KX470U encoder's programming interface on a pseudo terminal.

The first line written to standard output is the path of the terminal to open as the serial
port; nothing else goes to standard output. The simulator runs until it receives SIGTERM, SIGINT
or SIGHUP, then removes its --link and exits with code 0. Bad options, an --image that cannot be
read or is shorter than 2048 bytes, and a --link path that is taken by a file give exit code 2; a
failure to create the terminal gives exit code 1.

Image and identification:
  --image FILE         serve the first 2048 bytes of this table file (default: the built-in
                       default image with its checksum stored)
  --save FILE          after each complete write of all 8 blocks, replace FILE with the
                       encoder's image (atomically); when that fails the write result after
                       block 8 is 4 "Write Fail"
  --pid N              product ID in the identification block (default 8)
  --mcu N              MCU type (default 1)
  --iap MAJ.MIN        IAP version (default 1.0)
  --user MAJ.MIN       user version (default 1.0)

Line:
  --link PATH          also make PATH a symbolic link to the terminal; an existing symbolic
                       link there is replaced, any other file is refused; removed on exit
  --pace               send at the line rate (10 bits a byte at the speed the tool set)
                       instead of as fast as the terminal takes the bytes
  -v, --verbose        log every command, reply and data frame to standard error
  -h, --help           show this text
  --version            show the program's version

Transmitter (the encoder's radio, as baseband audio):
  --air PATH           send pages to PATH as raw audio, 16-bit little-endian mono samples at
                       22050 Hz (what multimon-ng -t raw reads): a FIFO, or a file that each
                       page is appended to. The audio is the page of the image the simulator
                       holds at the press, as kx470-cli page --raw gives it. With --air a line
                       "press K" on standard input presses push-button input K (1 to 8)
  --press K            press input K once the next write of all 8 blocks has completed; may be
                       given more than once (pressed in order); needs --air
  Each page sent is told on standard error ("KEY_S1 sent: ..."); a key that is assigned to
  no entry is told and sends nothing. A FIFO is opened when a page is sent, and waits for its
  reader without holding up the serial line.

Faults (each may be combined with the others):
  --corrupt-block N    the data frame answering block N (read or write) has a wrong checksum;
                       may be given more than once
  --drop-block N       no data frame for block N (the reply is still sent); may be repeated
  --stall-block N      before the data frame for block N (read or write), the first time
                       only, stop for --stall-time: send nothing and read nothing, then go on
                       where it stopped; may be repeated
  --stall-time MS      how long a stall lasts (default 4000 ms, past the tool's 3 s time-out)
  --bad-image-checksum the image served by ReadBlock has a wrong checksum in bytes 0x7FC-0x7FF
  --status CODE        answer every command with status CODE and, unless CODE is 1, send no
                       data frame and carry out nothing
  --bad-reply-checksum every reply carries a wrong checksum (the data frame still follows)
  --stray-byte         one byte 0x00 goes out before each data frame
  --write-result CODE  the data frame answering WriteBlock 8 carries CODE instead of 3
  --hangup-after N     after the N-th byte received from the tool, answer nothing more (not
                       even that byte) and close the terminal: the cable was pulled

Behaviour:
  The line speed is read from the terminal's settings as each byte arrives. The entry
  sequence 3B 8E 41 C7 29 counts only at 9600 baud and puts the encoder into its programming
  interface for the rest of the run; commands are understood only at 19200 baud. Bytes at any
  other speed are ignored, and a speed change drops an unfinished command.
  A command is code, code XOR 0xFF, three parameters, the payload (256 bytes for WriteBlock
  0x30, none otherwise) and the 16-bit big-endian sum of all these bytes. A byte that is not
  followed by its complement cannot start a command and is skipped; an unfinished command is
  dropped after 100 ms of silence on the line.
  Every command is answered by 8 bytes: the command's first five bytes, the status and the
  16-bit sum of those six. The status is checked in this order: 2 for a bad command checksum,
  6 when the entry sequence has not been received, 8 for an unknown code, a block number
  outside 1 to 8 or parameters other than the tool's (FF FF FF for Identify 0x20, 02 b 08 for
  the block commands), 1 otherwise. Only status 1 is followed by a data frame: type 1 with
  the 64-byte identification block for Identify, type 2 with the 256 bytes of the block for
  ReadBlock 0x40, type 4 with the write result 3 "Write OK" for WriteBlock.
)";
}

} // namespace sim
