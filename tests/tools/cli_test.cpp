// kx470-cli against the encoder simulator and real files.

#include "case_names.h"
#include "cli_run.h"
#include "image/config_image.h"
#include "image/table_file.h"
#include "link/comm_port.h"

#include <array>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <pty.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

namespace {

class TCli : public TCliBase {};

TEST_F(TCli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Cli({}).Exit, 2);
  EXPECT_EQ(Cli({"frobnicate"}).Exit, 2);
  EXPECT_EQ(Cli({"read", "--out", "x.tbl"}).Exit, 2) << "no port";
  EXPECT_EQ(Cli({"check"}).Exit, 2);
  EXPECT_EQ(Cli({"show", "a", "b"}).Exit, 2);
  EXPECT_EQ(Cli({"check", "a", "--port", "/dev/null"}).Exit, 2) << "an option of another command";
  EXPECT_EQ(Cli({"show", "a", "--frobnicate"}).Exit, 2);
  const TRun help = Cli({"--help"});
  EXPECT_EQ(help.Exit, 0);
  EXPECT_NE(help.Out.find("verify --port DEVICE FILE"), std::string::npos);
  for (const char* command : {"ports", "probe", "read", "write", "verify", "check", "show"}) {
    const TRun run = Cli({command, "--help"});
    EXPECT_EQ(run.Exit, 0) << command;
    EXPECT_NE(run.Out.find(std::string("kx470-cli ") + command), std::string::npos) << command;
  }
}

TEST_F(TCli, CheckTellsGoodFromBadChecksums) {
  TRun good = Cli({"check", Table("good.tbl", Valid())});
  EXPECT_EQ(good.Exit, 0);
  EXPECT_EQ(good.Out, "Checksum OK\n");
  TImageBytes bad = Valid();
  bad[0x300] ^= 1;
  TRun failed = Cli({"check", Table("bad.tbl", bad)});
  EXPECT_EQ(failed.Exit, 1);
  EXPECT_EQ(failed.Err, "Checksum error !\n");
  EXPECT_EQ(Cli({"check", (dir / "missing.tbl").string()}).Exit, 1);
}

TEST_F(TCli, PortsHonoursTheEnvironment) {
  setenv("KX470_PORTS", "/dev/pts/9:/tmp/x", 1);
  const TRun run = Cli({"ports"});
  unsetenv("KX470_PORTS");
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(run.Out, "0\t/dev/pts/9\t/dev/pts/9\n1\t/tmp/x\t/tmp/x\n");
}

TEST_F(TCli, ShowJsonOfTheDemoConfiguration) {
  const TRun run = Cli({"show", KX470_SOURCE_DIR "/examples/demo.tbl", "--json"});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  for (const char* expected : {"\"bit_rate\": \"1200 bps\"",
                               "\"capcode_set\": \"4 Set\"",
                               "\"capcode_count\": 4",
                               "\"valid\": true",
                               "\"polarity\": \"Normal\"",
                               "\"key_beep\": true",
                               "\"repeat_times\": 3",
                               "\"repeat_wait\": 5",
                               "\"pc_command\": \"NONE\"",
                               "\"trigger_rising\": false",
                               "\"capcode\": 1500001",
                               "\"type\": \"Binary\"",
                               "\"header_code\": null",
                               "\"text\": \"前台請回電 Room 12\"",
                               "\"type\": \"Digit(0x0C)\"",
                               "\"text\": \"911-2201\"",
                               "\"type\": \"Tone Only\"",
                               "\"frequency_hz\": 462500000",
                               "\"KEY_S7\"",
                               "2000568"})
    EXPECT_NE(run.Out.find(expected), std::string::npos) << expected;
}

TEST_F(TCli, ShowJsonOfUnusualImages) {
  TImageBytes bytes = Valid();
  bytes[kOptionByte] = 0x3B; // selector 3, bit rate 3
  bytes[kPcCommand] = 4;
  bytes[kKeyMap] = 0x99;
  bytes[kKeyMap + 1] = 0x03;
  bytes[kCapcodeRecords + kCapcodeTypeOffset] = 7;
  bytes[kMessageArea] = 0x05;
  bytes[kMessageArea + 1] = 'A';
  bytes[kMessageArea + 2] = 0x03;
  bytes[kMessageArea + 3] = 0x00;
  std::vector<std::uint8_t> longer(bytes.begin(), bytes.end());
  longer.resize(3000, 0xEE);
  const fs::path path = dir / "odd.tbl";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(longer.data()), longer.size());
  const TRun run = Cli({"show", path.string(), "--json"});
  EXPECT_EQ(run.Exit, 1) << "a wrong checksum is printed, and it is a failure";
  EXPECT_EQ(run.Err, "Checksum error !\n");
  for (const char* expected :
       {"\"bit_rate\": null", "\"capcode_set\": null", "\"capcode_count\": null",
        "\"pc_command\": 4", "\"KEY_S9\"", "\"\"", "\"type\": 7", "\"header_code\": 5",
        "\"trailer_code\": 3", "\"text\": \"A\"", "\"valid\": false"})
    EXPECT_NE(run.Out.find(expected), std::string::npos) << expected;
  const TRun people = Cli({"show", path.string()});
  EXPECT_EQ(people.Exit, 1);
  EXPECT_NE(people.Out.find("INVALID"), std::string::npos);
  EXPECT_NE(people.Out.find("Registers:"), std::string::npos) << "printed to the end";
}

TEST_F(TCli, ReadWriteVerifyAgainstTheSimulator) {
  TSimProcess sim(
      {"--image", Table("encoder.tbl", Valid(4242)), "--save", (dir / "saved.tbl").string()});
  const TRun probe = Cli({"probe", "--port", sim.Path});
  EXPECT_EQ(probe.Exit, 0) << probe.Err;
  EXPECT_EQ(probe.Out, "PID:8,  MCU Type:1,  IAP Ver:1.0,  User Ver:1.0\n");

  const std::string out = (dir / "read.tbl").string();
  const TRun read = Cli({"read", "--port", sim.Path, "--out", out});
  EXPECT_EQ(read.Exit, 0) << read.Err;
  EXPECT_EQ(read.Out, "Read Success\n");
  EXPECT_EQ(ReadTableFile(out).Block, Valid(4242));

  const TRun write = Cli({"write", "--port", sim.Path, Table("new.tbl", Valid(5555))});
  EXPECT_EQ(write.Exit, 0) << write.Err;
  EXPECT_EQ(write.Out, "Write Success\n");
  EXPECT_EQ(ReadTableFile(dir / "saved.tbl").Block, Valid(5555));

  const TRun same = Cli({"verify", "--port", sim.Path, (dir / "new.tbl").string()});
  EXPECT_EQ(same.Exit, 0) << same.Err;
  EXPECT_EQ(same.Out, "Verify success !\n");
  const TRun other = Cli({"verify", "--port", sim.Path, out});
  EXPECT_EQ(other.Exit, 1);
  EXPECT_EQ(other.Err, "Verify error !\n"
                       "checksum.stored: 0x00002FC4 -> 0x00002FEA\n"
                       "entries[0].capcode: 4242 -> 5555\n")
      << "what differs, the file's values first";
}

TEST_F(TCli, WriteRefusesABadFileBeforeLinking) {
  TImageBytes bad = Valid();
  bad[5] ^= 1;
  const TRun run = Cli({"write", "--port", (dir / "nothing").string(), Table("bad.tbl", bad)});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Err, "Checksum error !\n");
}

struct TCliFault {
  std::vector<std::string> Options;
  std::string Message;
};

class TCliFaults : public TCli, public ::testing::WithParamInterface<TCliFault> {};

TEST_P(TCliFaults, AFailedReadNeverTouchesTheOutputFile) {
  std::vector<std::string> options = GetParam().Options;
  TSimProcess sim(options);
  const std::string out = Table("keep.tbl", Valid(1));
  const TRun run = Cli({"read", "--port", sim.Path, "--out", out});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Err, GetParam().Message + "\n");
  EXPECT_EQ(ReadTableFile(out).Block, Valid(1));
  const std::string fresh = (dir / "fresh.tbl").string();
  TSimProcess again(options);
  EXPECT_EQ(Cli({"read", "--port", again.Path, "--out", fresh}).Exit, 1);
  EXPECT_FALSE(fs::exists(fresh));
}

INSTANTIATE_TEST_SUITE_P(Simulator, TCliFaults,
                         ::testing::Values(TCliFault{{"--corrupt-block", "3"}, "Checksum error !"},
                                           TCliFault{{"--bad-image-checksum"}, "Checksum error !"},
                                           TCliFault{{"--stray-byte"}, "Checksum error !"},
                                           TCliFault{{"--drop-block", "8"}, "Read Timeout !"},
                                           TCliFault{{"--bad-reply-checksum"}, "Checksum error !"},
                                           TCliFault{{"--status", "6"},
                                                     "Pager not in programmer. Re-Link, Please !"},
                                           TCliFault{{"--pid", "9"}, "The model is not KX470U !"}),
                         [](const ::testing::TestParamInfo<TCliFault>& info) {
                           return OptionsCaseName(info.param.Options);
                         });

TEST_F(TCli, WriteFaults) {
  {
    TSimProcess sim({"--write-result", "4"});
    const TRun run = Cli({"write", "--port", sim.Path, Table("w.tbl", Valid())});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Err, "Write Fail\n");
  }
  {
    TSimProcess sim({"--corrupt-block", "2"});
    const TRun run = Cli({"write", "--port", sim.Path, (dir / "w.tbl").string()});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Err, "Checksum error !\n");
  }
  const TRun nowhere = Cli({"probe", "--port", (dir / "no-port").string()});
  EXPECT_EQ(nowhere.Exit, 1);
  EXPECT_EQ(nowhere.Err, "Error opening comm port. Port already in use?\n" +
                             (dir / "no-port").string() + ": No such file or directory\n");
}

TEST_F(TCli, ShortAndEmptyFilesAreRefusedWithTheirSize) {
  const TImageBytes valid = Valid();
  for (const std::size_t size : {std::size_t{0}, std::size_t{1000}}) {
    const fs::path path = dir / ("short" + std::to_string(size) + ".tbl");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(valid.data()), static_cast<std::streamsize>(size));
    const std::string expected =
        path.string() + ": it holds " + std::to_string(size) + " bytes; a table file holds 2048\n";
    for (const char* command : {"check", "show"}) {
      const TRun run = Cli({command, path.string()});
      EXPECT_EQ(run.Exit, 1) << command << size;
      EXPECT_EQ(run.Err, expected) << command;
      EXPECT_EQ(run.Out, "") << command;
    }
    // Refused before any port is opened: this one does not exist.
    const TRun write = Cli({"write", "--port", (dir / "no-port").string(), path.string()});
    EXPECT_EQ(write.Exit, 1);
    EXPECT_EQ(write.Err, expected);
  }
}

TEST_F(TCli, FifosFoldersAndDevicesAreNamedNeverWaitedOn) {
  const fs::path fifo = dir / "pipe.tbl";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(dir / "folder.tbl");
  const std::vector<std::pair<std::string, std::string>> cases{
      {fifo.string(), "it is a FIFO, not a table file"},
      {(dir / "folder.tbl").string(), "it is a folder, not a table file"},
      {"/dev/null", "it is a device, not a table file"}};
  for (const auto& [path, reason] : cases)
    for (const char* command : {"check", "show"}) {
      const TRun run = Cli({command, path});
      EXPECT_EQ(run.Exit, 1) << command << " " << path;
      EXPECT_EQ(run.Err, path + ": " + reason + "\n") << command;
      EXPECT_EQ(run.Err.find("Success"), std::string::npos);
    }
}

TEST_F(TCli, ReadRefusesAnOutputThatIsNoRegularFileBeforeLinking) {
  const fs::path fifo = dir / "pipe.tbl";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(dir / "folder.tbl");
  std::vector<std::pair<fs::path, std::string>> cases{
      {fifo, "it is a FIFO, not a table file"},
      {dir / "folder.tbl", "it is a folder, not a table file"}};
  // Root could replace a device node; only root can make one.
  if (::geteuid() == 0) {
    ASSERT_EQ(::mknod((dir / "device.tbl").c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
    cases.emplace_back(dir / "device.tbl", "it is a device, not a table file");
  }
  for (const auto& [path, reason] : cases) {
    // No port is needed to be refused.
    const TRun run = Cli({"read", "--port", (dir / "no-port").string(), "--out", path.string()});
    EXPECT_EQ(run.Exit, 1) << path;
    EXPECT_EQ(run.Err, path.string() + ": " + reason + "\n");
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_directory(dir / "folder.tbl"));
  if (::geteuid() == 0) {
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status(dir / "device.tbl")));
  }
}

TEST_F(TCli, ReadThroughASymbolicLinkAndToStandardOutput) {
  TSimProcess sim({"--image", Table("encoder.tbl", Valid(777))});
  fs::create_directory(dir / "real");
  const std::string old = Table("real/site.tbl", Valid(1));
  fs::permissions(old, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("real/site.tbl", dir / "site.tbl");
  const TRun read = Cli({"read", "--port", sim.Path, "--out", (dir / "site.tbl").string()});
  EXPECT_EQ(read.Exit, 0) << read.Err;
  EXPECT_TRUE(fs::is_symlink(dir / "site.tbl")) << "the link stays a link";
  EXPECT_EQ(ReadTableFile(old).Block, Valid(777));
  EXPECT_EQ(fs::status(old).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  const TRun out = Cli({"read", "--port", sim.Path, "--out", "-"});
  EXPECT_EQ(out.Exit, 0) << out.Err;
  EXPECT_EQ(out.Err, "Read Success\n");
  const TImageBytes expected = Valid(777);
  EXPECT_EQ(out.Out, std::string(expected.begin(), expected.end()));
}

TEST_F(TCli, ASecondOutputIsAUsageError) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"read", "--port", "/a", "--out", "x", "--out=y"},
        std::vector<std::string>{"read", "--port=/a", "--out=x", "--out", "y"}}) {
    const TRun run = Cli(arguments);
    EXPECT_EQ(run.Exit, 2) << arguments.back();
    EXPECT_NE(run.Err.find("--out was given twice"), std::string::npos) << run.Err;
  }
}

TEST_F(TCli, AFailedOpenNamesTheSystemsReasonUnderTheMessage) {
  const std::string busyText = "Error opening comm port. Port already in use?\n";
  {
    // Held the way the tool holds a port: a second program is kept out, root or not.
    TSimProcess sim({});
    TCommPort holder;
    holder.Reconfigure(19200, sim.Path, kDataFormat8N1);
    const TRun run = Cli({"probe", "--port", sim.Path});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_TRUE(run.Err == busyText + sim.Path + ": Device or resource busy\n" ||
                run.Err ==
                    busyText + sim.Path + ": Device or resource busy (locked by another program)\n")
        << run.Err;
  }
  if (::geteuid() != 0) {
    const std::string locked = Table("locked", Valid());
    fs::permissions(locked, fs::perms::none);
    const TRun run = Cli({"read", "--port", locked, "--out", (dir / "x.tbl").string()});
    EXPECT_EQ(run.Err, busyText + locked + ": Permission denied\n");
  }
}

TEST_F(TCli, EveryProgramTellsTheProjectsVersion) {
  std::ifstream cmake(KX470_SOURCE_DIR "/CMakeLists.txt");
  const std::string text{std::istreambuf_iterator<char>(cmake), std::istreambuf_iterator<char>()};
  const std::string key = "project(kx470u VERSION ";
  const std::size_t at = text.find(key);
  ASSERT_NE(at, std::string::npos);
  const std::size_t from = at + key.size();
  const std::string version = text.substr(from, text.find_first_not_of("0123456789.", from) - from);
  ASSERT_FALSE(version.empty());
  const TRun cli = Cli({"--version"});
  EXPECT_EQ(cli.Exit, 0);
  EXPECT_EQ(cli.Out, "kx470-cli " + version + "\n");
  for (const std::string program : {"tools/encoder_sim/kx470-sim", "kx470u"}) {
    const std::string path = KX470_BINARY_DIR "/" + program;
    // The window program answers without a display.
    const std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + path + " --version 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
      out.append(buffer, n);
    EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), 0) << program;
    EXPECT_EQ(out, fs::path(program).filename().string() + " " + version + "\n");
  }
}

// Runs kx470-cli with its standard error on a terminal; gives what the terminal showed.
std::string CliOnATerminal(const std::vector<std::string>& arguments, const fs::path& out,
                           int& exit) {
  int master = -1;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (child == 0) {
    const int file = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int none = ::open("/dev/null", O_RDONLY);
    ::dup2(file, 1);
    ::dup2(none, 0);
    ExecProgram(KX470_BINARY_DIR "/tools/cli/kx470-cli", arguments);
  }
  std::string shown;
  char buffer[4096];
  // The terminal reports an error once the program has closed its side.
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
    shown.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  int status = 0;
  ::waitpid(child, &status, 0);
  exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return shown;
}

// The bar `shown` on a terminal moves forward only, redraws only a change, fills to 100 and
// is cleared at the end.
void ExpectOneForwardBar(const std::string& shown) {
  std::vector<int> figures;
  // Each drawing: "\r[" 30 marks of '#' or ' ' "]", blanks, the figure, "%".
  constexpr std::size_t kWidth = 30;
  for (std::size_t at = shown.find("\r["); at != std::string::npos;
       at = shown.find("\r[", at + 1)) {
    const std::string marks = shown.substr(at + 2, kWidth);
    if (marks.size() < kWidth || marks.find_first_not_of("# ") != std::string::npos ||
        shown.compare(at + 2 + kWidth, 1, "]") != 0)
      continue;
    std::size_t digits = shown.find_first_not_of(' ', at + 3 + kWidth);
    const std::size_t end = shown.find_first_not_of("0123456789", digits);
    if (digits == std::string::npos || end == digits || end == std::string::npos ||
        shown[end] != '%')
      continue;
    const int figure = std::stoi(shown.substr(digits, end - digits));
    figures.push_back(figure);
    const std::size_t filled = marks.find(' ');
    EXPECT_EQ(static_cast<int>(filled == std::string::npos ? kWidth : filled), figure * 30 / 100);
  }
  ASSERT_FALSE(figures.empty()) << shown;
  EXPECT_LE(figures.size(), 100u);
  for (std::size_t i = 1; i < figures.size(); ++i)
    EXPECT_GT(figures[i], figures[i - 1])
        << "the bar only moves forward, and only redraws a change";
  EXPECT_EQ(figures.back(), 100);
  EXPECT_GE(figures.size(), 10u) << "the bar moves through the read, not in one jump";
  EXPECT_EQ(shown.substr(shown.size() - 4), "\r\033[K") << "the bar is cleared at the end";
}

TEST_F(TCli, OneProgressBarOverTheWholeReadDrawnOnlyWhenItsFigureChanges) {
  TSimProcess sim({"--image", Table("encoder.tbl", Valid(31))});
  int exit = -1;
  const std::string shown = CliOnATerminal(
      {"read", "--port", sim.Path, "--out", (dir / "read.tbl").string()}, dir / "stdout", exit);
  EXPECT_EQ(exit, 0) << shown;
  EXPECT_EQ(ReadTableFile(dir / "read.tbl").Block, Valid(31));
  ExpectOneForwardBar(shown);
}

TEST_F(TCli, SeveralPortsShareOneProgressBar) {
  std::vector<std::unique_ptr<TSimProcess>> sims;
  std::vector<std::string> arguments{"read", "--out", (dir / "read-{port}.tbl").string()};
  for (std::uint32_t i = 0; i < 3; ++i) {
    std::string name = "e";
    name += std::to_string(i);
    sims.push_back(std::make_unique<TSimProcess>(
        std::vector<std::string>{"--image", Table(name, Valid(40 + i))}));
    arguments.insert(arguments.end(), {"--port", sims.back()->Path});
  }
  int exit = -1;
  const std::string shown = CliOnATerminal(arguments, dir / "stdout", exit);
  EXPECT_EQ(exit, 0) << shown;
  ExpectOneForwardBar(shown);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '%'),
            std::count(shown.begin(), shown.end(), '\r') - 1)
      << "nothing but the bar on the terminal";
  const TRun quiet = Cli({"read", "--quiet", "--port", sims[0]->Path, "--out", "-"});
  EXPECT_EQ(quiet.Exit, 0);
  EXPECT_EQ(quiet.Err, "") << "no Read Success, no bar";
  EXPECT_EQ(quiet.Out.size(), kImageSize);
}

} // namespace
