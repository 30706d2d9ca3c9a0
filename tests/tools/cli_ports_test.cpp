// kx470-cli on several encoders at once, --port auto, the port descriptions, and the JSON and
// quiet reports, against simulators.

#include "cli_run.h"
#include "image/table_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <memory>
#include <sstream>

namespace {

// Every line of `text` as a JSON object; a line that is no JSON object fails the test.
std::vector<QJsonObject> JsonLines(const std::string& text) {
  std::vector<QJsonObject> objects;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_TRUE(document.isObject()) << line;
    objects.push_back(document.object());
  }
  return objects;
}

std::string Member(const QJsonObject& object, const char* key) {
  return object.value(key).toString().toStdString();
}

class TCliSeveral : public TCliBase {
protected:
  // Four simulators; the one at `faulty` gets `fault` as well. Each saves what it is written.
  void StartFour(std::size_t faulty, const std::vector<std::string>& fault) {
    for (std::size_t i = 0; i < 4; ++i) {
      std::vector<std::string> options{
          "--image",
          Table("encoder" + std::to_string(i) + ".tbl", Valid(100 + static_cast<std::uint32_t>(i))),
          "--save", Saved(i)};
      if (i == faulty)
        options.insert(options.end(), fault.begin(), fault.end());
      sims.push_back(std::make_unique<TSimProcess>(options));
      ASSERT_FALSE(sims.back()->Path.empty());
    }
  }
  std::string Saved(std::size_t i) const { return (dir / ("saved" + std::to_string(i))).string(); }
  std::vector<std::string> PortArguments() const {
    std::vector<std::string> arguments;
    for (const auto& sim : sims) {
      arguments.push_back("--port");
      arguments.push_back(sim->Path);
    }
    return arguments;
  }
  static std::vector<std::string> With(std::vector<std::string> head,
                                       const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  }
  std::vector<std::unique_ptr<TSimProcess>> sims;
};

struct TMidWriteFault {
  const char* Name;
  std::vector<std::string> Options;
  std::string Message;
  bool Saved; // the encoder took the whole image all the same
};

class TCliMidWriteFaults : public TCliSeveral,
                           public ::testing::WithParamInterface<TMidWriteFault> {};

TEST_P(TCliMidWriteFaults, OneFailedEncoderOfFourStopsNoneOfTheOthers) {
  constexpr std::size_t kFaulty = 2;
  StartFour(kFaulty, GetParam().Options);
  const std::string table = Table("site.tbl", Valid(777));
  const TRun write = Cli(With({"write", table}, PortArguments()));
  EXPECT_EQ(write.Exit, 1);
  // One line per port, in the order given, each with its port.
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < 4; ++i)
    if (i != kFaulty)
      expected.push_back(sims[i]->Path + ": Write Success");
  EXPECT_EQ(Lines(write.Out), expected);
  EXPECT_EQ(Lines(write.Err).front(), sims[kFaulty]->Path + ": " + GetParam().Message) << write.Err;
  for (std::size_t i = 0; i < 4; ++i) {
    if (i == kFaulty)
      EXPECT_EQ(fs::exists(Saved(i)), GetParam().Saved);
    else
      EXPECT_EQ(ReadTableFile(Saved(i)).Block, Valid(777)) << i;
  }

  // Verify on the three that still answer, as JSON: the written ones match.
  std::vector<std::string> three;
  for (std::size_t i = 0; i < 4; ++i)
    if (i != kFaulty)
      three.insert(three.end(), {"--port", sims[i]->Path});
  const TRun verify = Cli(With({"verify", "--json", table}, three));
  EXPECT_EQ(verify.Exit, 0) << verify.Out << verify.Err;
  const std::vector<QJsonObject> results = JsonLines(verify.Out);
  ASSERT_EQ(results.size(), 3u) << verify.Out;
  for (const QJsonObject& result : results) {
    EXPECT_TRUE(result.value("ok").toBool());
    EXPECT_EQ(Member(result, "message"), "Verify success !");
  }
  EXPECT_EQ(verify.Err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Simulator, TCliMidWriteFaults,
    ::testing::Values(TMidWriteFault{"Stall", {"--stall-block", "3"}, "Read Timeout !", false},
                      // The cable pulled in the middle of block 4.
                      TMidWriteFault{"DroppedLink",
                                     {"--hangup-after", "1000"},
                                     "Serial port error 18 (Input/output error). Re-Link, Please !",
                                     false},
                      TMidWriteFault{"Refused", {"--write-result", "4"}, "Write Fail", true}),
    [](const ::testing::TestParamInfo<TMidWriteFault>& info) { return info.param.Name; });

TEST_F(TCliSeveral, AnEncoderStalledInAParallelWriteIsLeftHalfWrittenAndFailsVerify) {
  StartFour(1, {"--stall-block", "5"});
  const std::string table = Table("site.tbl", Valid(4321));
  const TRun write = Cli(With({"write", "--json", table}, PortArguments()));
  EXPECT_EQ(write.Exit, 1);
  const std::vector<QJsonObject> written = JsonLines(write.Out);
  ASSERT_EQ(written.size(), 4u) << write.Out;
  EXPECT_EQ(write.Err, "") << "with --json the failure is told on standard output";
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(Member(written[i], "port"), sims[i]->Path);
    EXPECT_EQ(written[i].value("ok").toBool(), i != 1);
  }
  EXPECT_EQ(Member(written[1], "error"), "Read Timeout !");
  EXPECT_FALSE(written[1].contains("message"));

  // The stall happens once. Once it is over the stalled encoder answers again, with half an
  // image: the blocks before the stall are new, the others old, and the checksum fits neither.
  bool answers = false;
  for (int attempt = 0; attempt < 20 && !answers; ++attempt)
    answers = Cli({"probe", "--port", sims[1]->Path}).Exit == 0;
  ASSERT_TRUE(answers);
  const TRun verify = Cli(With({"verify", "--json", table}, PortArguments()));
  EXPECT_EQ(verify.Exit, 1);
  const std::vector<QJsonObject> verified = JsonLines(verify.Out);
  ASSERT_EQ(verified.size(), 4u) << verify.Out;
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_EQ(verified[i].value("ok").toBool(), i != 1) << i;
  EXPECT_EQ(Member(verified[1], "error"), "Checksum error !");

  // A whole image that is not the file's: the bytes that differ are named.
  const TImageBytes other = Valid(100);
  const TRun differs =
      Cli({"verify", "--json", "--port", sims[0]->Path, Table("other.tbl", other)});
  EXPECT_EQ(differs.Exit, 1);
  ASSERT_EQ(JsonLines(differs.Out).size(), 1u) << differs.Out;
  const QJsonObject result = JsonLines(differs.Out)[0];
  EXPECT_EQ(Member(result, "error"), "Verify error !");
  const TImageBytes encoder = Valid(4321);
  std::vector<int> differing;
  for (std::size_t i = 0; i < encoder.size(); ++i)
    if (encoder[i] != other[i])
      differing.push_back(static_cast<int>(i));
  ASSERT_FALSE(differing.empty());
  std::vector<int> told;
  for (const QJsonValue& offset : result.value("differing_bytes").toArray())
    told.push_back(offset.toInt());
  EXPECT_EQ(told, differing);
}

TEST_F(TCliSeveral, ReadFromSeveralPortsWritesOneFilePerPortByThePattern) {
  StartFour(4, {});
  // A port given by a name with a blank and a folder: its file name stays one safe name.
  const fs::path link = dir / "odd name";
  TSimProcess linked({"--image", Table("linked.tbl", Valid(999)), "--link", link.string()});
  const std::string pattern = (dir / "site-{port}.tbl").string();
  const TRun read = Cli(With({"read", "--out", pattern, "--port", link.string()}, PortArguments()));
  EXPECT_EQ(read.Exit, 0) << read.Err;
  for (std::size_t i = 0; i < 4; ++i) {
    std::string name = sims[i]->Path.substr(5); // "pts/N"
    std::replace(name.begin(), name.end(), '/', '-');
    const fs::path file = dir / ("site-" + name + ".tbl");
    EXPECT_EQ(ReadTableFile(file).Block, Valid(100 + static_cast<std::uint32_t>(i))) << file;
    EXPECT_NE(read.Out.find(sims[i]->Path + ": saved as " + file.string()), std::string::npos);
  }
  std::string oddName = link.string().substr(1);
  std::replace(oddName.begin(), oddName.end(), '/', '-');
  std::replace(oddName.begin(), oddName.end(), ' ', '_');
  EXPECT_EQ(ReadTableFile(dir / ("site-" + oddName + ".tbl")).Block, Valid(999)) << read.Out;
}

TEST_F(TCliSeveral, ReadOutputsThatSeveralPortsCannotShareAreUsageErrors) {
  const std::vector<std::vector<std::string>> cases{
      {"read", "--port", "/a", "--port", "/b", "--out", "one.tbl"},
      {"read", "--port", "auto", "--out", "one.tbl"},
      {"read", "--port", "/a", "--port", "/b", "--out", "-"},
      {"read", "--port", "/a", "--out", "-", "--json"},
      // Both would be read into x-y.
      {"read", "--port", "/dev/x/y", "--port", "/dev/x-y", "--out", "{port}"},
      {"probe", "--port", ""}};
  for (const auto& arguments : cases) {
    const TRun run = Cli(arguments);
    EXPECT_EQ(run.Exit, 2) << arguments.back() << run.Err;
    EXPECT_NE(run.Err.find("Usage: kx470-cli " + arguments.front()), std::string::npos);
  }
  EXPECT_FALSE(fs::exists("one.tbl"));
  // The same port twice is one port: no second file, no fight over the device.
  const TRun twice = Cli(
      {"probe", "--port", (dir / "none").string(), "--port", (dir / "none").string(), "--json"});
  EXPECT_EQ(JsonLines(twice.Out).size(), 1u) << twice.Out;
  // With --json a usage error is also told as JSON.
  const TRun json = Cli({"read", "--port", "/a", "--port", "/b", "--out", "x", "--json"});
  EXPECT_EQ(json.Exit, 2);
  const std::vector<QJsonObject> objects = JsonLines(json.Out);
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_FALSE(objects[0].value("ok").toBool());
  EXPECT_TRUE(objects[0].value("usage").toBool());
  EXPECT_NE(Member(objects[0], "error").find("{port}"), std::string::npos);
}

TEST_F(TCliSeveral, AutoFindsTheEncodersOfThePortListAndSkipsTheRest) {
  StartFour(4, {});
  const std::string dead = (dir / "dead").string();
  TSimProcess other({"--pid", "9"});
  const std::string ports =
      "KX470_PORTS=" + sims[0]->Path + ":" + dead + ":" + sims[3]->Path + ":" + other.Path;
  const TRun probe = Cli({"probe", "--port", "auto", "--json"}, {ports});
  EXPECT_EQ(probe.Exit, 1) << "the other model answers and is no KX470U";
  const std::vector<QJsonObject> found = JsonLines(probe.Out);
  ASSERT_EQ(found.size(), 3u) << probe.Out;
  EXPECT_EQ(Member(found[0], "port"), sims[0]->Path);
  EXPECT_EQ(Member(found[0], "identification"), "PID:8,  MCU Type:1,  IAP Ver:1.0,  User Ver:1.0");
  EXPECT_EQ(found[0].value("pid").toInt(), 8);
  EXPECT_EQ(Member(found[1], "port"), sims[3]->Path);
  EXPECT_EQ(Member(found[2], "port"), other.Path);
  EXPECT_EQ(Member(found[2], "error"), "The model is not KX470U !");

  // Write to every encoder found; a port named as well is not written twice.
  const std::string table = Table("site.tbl", Valid(2468));
  const std::string two = "KX470_PORTS=" + sims[0]->Path + ":" + dead + ":" + sims[3]->Path;
  const TRun write = Cli({"write", "--port", sims[3]->Path, "--port", "auto", table}, {two});
  EXPECT_EQ(write.Exit, 0) << write.Err;
  EXPECT_EQ(Lines(write.Out), (std::vector<std::string>{sims[3]->Path + ": Write Success",
                                                        sims[0]->Path + ": Write Success"}));
  EXPECT_EQ(ReadTableFile(Saved(0)).Block, Valid(2468));
  EXPECT_EQ(ReadTableFile(Saved(3)).Block, Valid(2468));
  EXPECT_FALSE(fs::exists(Saved(1)));

  const TRun none = Cli({"verify", "--port", "auto", table}, {"KX470_PORTS=" + dead});
  EXPECT_EQ(none.Exit, 1);
  EXPECT_EQ(none.Err, "No encoder answered on any port\n");
  const TRun empty = Cli({"probe", "--port", "auto", "--json"}, {"KX470_PORTS="});
  EXPECT_EQ(empty.Exit, 1);
  ASSERT_EQ(JsonLines(empty.Out).size(), 1u);
  EXPECT_EQ(Member(JsonLines(empty.Out)[0], "error"), "No encoder answered on any port");
}

TEST_F(TCliSeveral, FailuresInJsonNameThePortAndTheSystemsReason) {
  const std::string dead = (dir / "dead").string();
  const TRun run = Cli({"probe", "--port", dead, "--json"});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Err, "");
  const std::vector<QJsonObject> objects = JsonLines(run.Out);
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0].keys().size(), 4);
  EXPECT_EQ(Member(objects[0], "port"), dead);
  EXPECT_FALSE(objects[0].value("ok").toBool());
  EXPECT_EQ(Member(objects[0], "error"), "Error opening comm port. Port already in use?");
  EXPECT_EQ(Member(objects[0], "reason"), "No such file or directory");
  // The port comes first, as a reader of the line expects.
  EXPECT_EQ(run.Out.rfind("{\"port\": ", 0), 0u) << run.Out;

  TSimProcess sim({"--drop-block", "4"});
  const TRun read = Cli({"read", "--json", "--port", sim.Path, "--out", (dir / "x.tbl").string()});
  EXPECT_EQ(read.Exit, 1);
  EXPECT_EQ(read.Out,
            "{\"port\": \"" + sim.Path + "\", \"ok\": false, \"error\": \"Read Timeout !\"}\n");
  EXPECT_FALSE(fs::exists(dir / "x.tbl"));

  const TRun check = Cli({"check", "--json", Table("good.tbl", Valid())});
  EXPECT_EQ(check.Exit, 0);
  ASSERT_EQ(JsonLines(check.Out).size(), 1u);
  EXPECT_EQ(Member(JsonLines(check.Out)[0], "message"), "Checksum OK");
  TImageBytes bad = Valid();
  bad[7] ^= 1;
  const TRun failed = Cli({"check", Table("bad.tbl", bad), "--json"});
  EXPECT_EQ(failed.Exit, 1);
  ASSERT_EQ(JsonLines(failed.Out).size(), 1u);
  EXPECT_EQ(Member(JsonLines(failed.Out)[0], "error"), "Checksum error !");
  EXPECT_EQ(Member(JsonLines(failed.Out)[0], "file"), dir.string() + "/bad.tbl");

  // A file show cannot read is a JSON failure too, with the system's words.
  const std::string missing = (dir / "missing.tbl").string();
  const TRun show = Cli({"show", "--json", missing});
  EXPECT_EQ(show.Exit, 1);
  EXPECT_EQ(show.Err, "");
  ASSERT_EQ(JsonLines(show.Out).size(), 1u) << show.Out;
  EXPECT_EQ(Member(JsonLines(show.Out)[0], "file"), missing);
  EXPECT_EQ(Member(JsonLines(show.Out)[0], "reason"), "No such file or directory");
}

TEST_F(TCliSeveral, QuietTellsFailuresOnly) {
  StartFour(3, {"--status", "6"});
  const std::string table = Table("site.tbl", Valid(55));
  const TRun write = Cli(With({"write", "--quiet", table}, PortArguments()));
  EXPECT_EQ(write.Exit, 1);
  EXPECT_EQ(write.Out, "");
  EXPECT_EQ(write.Err, sims[3]->Path + ": Pager not in programmer. Re-Link, Please !\n");
  EXPECT_EQ(ReadTableFile(Saved(0)).Block, Valid(55));

  const TRun good = Cli({"verify", "--quiet", "--port", sims[0]->Path, table});
  EXPECT_EQ(good.Exit, 0);
  EXPECT_EQ(good.Out + good.Err, "");
  const TRun json =
      Cli({"probe", "--quiet", "--json", "--port", sims[0]->Path, "--port", sims[3]->Path});
  EXPECT_EQ(json.Exit, 1);
  ASSERT_EQ(JsonLines(json.Out).size(), 1u) << "only the failure";
  EXPECT_EQ(Member(JsonLines(json.Out)[0], "port"), sims[3]->Path);

  EXPECT_EQ(Cli({"check", "--quiet", table}).Out, "");
  TImageBytes bad = Valid();
  bad[9] ^= 1;
  const TRun show = Cli({"show", "--quiet", Table("bad.tbl", bad)});
  EXPECT_EQ(show.Exit, 1);
  EXPECT_EQ(show.Out, "");
  EXPECT_EQ(show.Err, "Checksum error !\n");
  const TRun shown = Cli({"show", "--quiet", table});
  EXPECT_EQ(shown.Exit, 0);
  EXPECT_EQ(shown.Out + shown.Err, "");
}

TEST_F(TCliSeveral, PortsTellWhatEachPortIsAndWithProbeWhichHasAnEncoder) {
  StartFour(4, {});
  const std::string dead = (dir / "dead").string();
  const std::string list = "KX470_PORTS=" + sims[1]->Path + ":" + dead;
  // Pseudo terminals and missing devices: what is known is the name and the path.
  const TRun plain = Cli({"ports"}, {list});
  EXPECT_EQ(plain.Exit, 0);
  EXPECT_EQ(plain.Out,
            "0\t" + sims[1]->Path + "\t" + sims[1]->Path + "\n1\t" + dead + "\t" + dead + "\n");
  const TRun probed = Cli({"ports", "--probe"}, {list});
  EXPECT_EQ(probed.Exit, 0);
  EXPECT_EQ(Lines(probed.Out),
            (std::vector<std::string>{
                "0\t" + sims[1]->Path + "\t" + sims[1]->Path +
                    "\tencoder PID:8,  MCU Type:1,  IAP Ver:1.0,  User Ver:1.0",
                "1\t" + dead + "\t" + dead +
                    "\tno encoder (Error opening comm port. Port already in use?)"}));
  const TRun json = Cli({"ports", "--probe", "--json"}, {list});
  const std::vector<QJsonObject> objects = JsonLines(json.Out);
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0].value("slot").toInt(), 0);
  EXPECT_TRUE(objects[0].value("encoder").toBool());
  EXPECT_FALSE(objects[0].value("usb").toBool());
  EXPECT_TRUE(objects[0].value("vendor_id").isNull());
  EXPECT_EQ(objects[0].value("pid").toInt(), 8);
  EXPECT_EQ(objects[1].value("slot").toInt(), 1);
  EXPECT_FALSE(objects[1].value("encoder").toBool());
  EXPECT_EQ(Member(objects[1], "path"), dead);
  EXPECT_EQ(Member(objects[1], "link_error"), "Error opening comm port. Port already in use?");
}

} // namespace
