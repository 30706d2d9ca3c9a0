// kx470-cli against the encoder simulator and real files.

#include "../link/sim_process.h"
#include "case_names.h"
#include "image/config_image.h"
#include "image/table_file.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct TRun {
  int Exit = -1;
  std::string Out, Err;
};

TRun Cli(const std::vector<std::string>& arguments) {
  static int serial = 0;
  const std::string base =
      "/tmp/kx470-cli-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
  std::string command = KX470_BINARY_DIR "/tools/cli/kx470-cli";
  for (const auto& a : arguments)
    command += " '" + a + "'";
  command += " >" + base + ".out 2>" + base + ".err </dev/null";
  TRun run;
  const int status = std::system(command.c_str());
  run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto slurp = [](const std::string& path) {
    std::ifstream in(path);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    fs::remove(path);
    return text;
  };
  run.Out = slurp(base + ".out");
  run.Err = slurp(base + ".err");
  return run;
}

class TCli : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/kx470-clitest-XXXXXX";
    dir = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Table(const std::string& name, const TImageBytes& bytes) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path.string();
  }
  static TImageBytes Valid(std::uint32_t capcode = 1234) {
    TConfigImage image;
    image.WriteU32(TConfigImage::CapcodeRecordOffset(0), capcode);
    image.StoreChecksum();
    return image.Bytes();
  }
  fs::path dir;
};

TEST_F(TCli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Cli({}).Exit, 2);
  EXPECT_EQ(Cli({"frobnicate"}).Exit, 2);
  EXPECT_EQ(Cli({"read", "--out", "x.tbl"}).Exit, 2) << "no port";
  EXPECT_EQ(Cli({"check"}).Exit, 2);
  EXPECT_EQ(Cli({"show", "a", "b"}).Exit, 2);
  EXPECT_EQ(Cli({"check", "a", "--json"}).Exit, 2);
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
  ASSERT_EQ(run.Exit, 0);
  for (const char* expected :
       {"\"bit_rate\": null", "\"capcode_set\": null", "\"capcode_count\": null",
        "\"pc_command\": 4", "\"KEY_S9\"", "\"\"", "\"type\": 7", "\"header_code\": 5",
        "\"trailer_code\": 3", "\"text\": \"A\"", "\"valid\": false"})
    EXPECT_NE(run.Out.find(expected), std::string::npos) << expected;
  const TRun people = Cli({"show", path.string()});
  EXPECT_EQ(people.Exit, 0);
  EXPECT_NE(people.Out.find("INVALID"), std::string::npos);
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
  EXPECT_EQ(other.Err, "Verify error !\n");
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
  EXPECT_EQ(nowhere.Err, "Error opening comm port. Port already in use?\n");
}

} // namespace
