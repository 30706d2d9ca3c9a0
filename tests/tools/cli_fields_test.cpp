// kx470-cli's commands on the configuration's fields: build, set, diff, and verify's account
// of what differs, against real files and simulators.

#include "../editors/config_tables.h"
#include "cli_run.h"
#include "image/table_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <sstream>

namespace {

QJsonObject Object(const std::string& text) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
  return document.object();
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The working directory for a test's duration: set keeps its backup there.
class TWorkingDirectory {
public:
  explicit TWorkingDirectory(const fs::path& dir) : FPrevious(fs::current_path()) {
    fs::current_path(dir);
  }
  ~TWorkingDirectory() { fs::current_path(FPrevious); }

private:
  fs::path FPrevious;
};

class TCliFields : public TCliBase {
protected:
  std::string Json(const std::string& name, const std::string& text) {
    std::ofstream(dir / name) << text;
    return (dir / name).string();
  }
  QJsonObject Shown(const std::string& table) {
    const TRun show = Cli({"show", table, "--json"});
    EXPECT_EQ(show.Exit, 0) << show.Err;
    return Object(show.Out);
  }
};

// For every table show accepts, build(show --json of T, --base T) gives T byte for byte: every
// capcode set and the selector value 3, every type and unknown type bytes, Chinese "Binary"
// streams through Qt's Big5, unknown key and PC command bytes, reserved bits and bytes.
TEST_F(TCliFields, ShowThenBuildGivesEveryGeneratedTableBack) {
  std::mt19937 rng(4711);
  int chinese = 0, selectors[4] = {};
  for (int round = 0; round < 80; ++round) {
    const TImageBytes table = RandomTable(rng);
    ++selectors[table[kOptionByte] & 3u];
    const std::string path = Table("t.tbl", table);
    const TRun show = Cli({"show", path, "--json"});
    ASSERT_EQ(show.Exit, 0) << round << show.Err;
    // A Chinese character is three bytes of UTF-8 from 0xE4 on; Latin-1 text takes two.
    chinese += std::any_of(show.Out.begin(), show.Out.end(), [](char c) {
      return static_cast<unsigned char>(c) >= 0xE4 && static_cast<unsigned char>(c) <= 0xE9;
    });
    const std::string config = Json("t.json", show.Out);
    const TRun build =
        Cli({"build", config, "--base", path, "--out", (dir / "r.tbl").string(), "--quiet"});
    ASSERT_EQ(build.Exit, 0) << round << build.Err;
    ASSERT_EQ(build.Out, "");
    ASSERT_EQ(ReadTableFile(dir / "r.tbl").Block, table) << round;
  }
  EXPECT_GT(chinese, 10) << "the tables carry Chinese text";
  for (const int count : selectors)
    EXPECT_GT(count, 5) << "every selector value is met";
}

TEST_F(TCliFields, BuildFromAShortDescriptionOverTheBuiltInImage) {
  const std::string config = Json("site.json", R"({"bit_rate": "2400 bps", "capcode_set": "4 Set",
        "entries": [{"capcode": 1500001, "type": "Binary", "text": "前台請回電"},
                    {"text": "Gate 2"}],
        "keys": ["KEY_S1", "KEY_S2", "KEY_S3", "KEY_S4"],
        "frequency_hz": 462500000, "checksum": {"stored": 1}})");
  const std::string out = (dir / "site.tbl").string();
  const TRun build = Cli({"build", config, "--out", out});
  ASSERT_EQ(build.Exit, 0) << build.Err;
  EXPECT_EQ(build.Out, "Build Success\n");
  ASSERT_TRUE(ChecksumValid(ReadTableFile(out).Block)) << "the checksum is stored";
  const QJsonObject shown = Shown(out);
  EXPECT_EQ(shown["bit_rate"].toString(), "2400 bps");
  EXPECT_EQ(shown["capcode_count"].toInt(), 4);
  const QJsonArray entries = shown["entries"].toArray();
  ASSERT_EQ(entries.size(), 4);
  EXPECT_EQ(entries[0].toObject()["capcode"].toInt(), 1500001);
  EXPECT_EQ(entries[0].toObject()["text"].toString(), QString::fromUtf8("前台請回電"));
  EXPECT_EQ(entries[1].toObject()["text"].toString(), "Gate 2");
  EXPECT_EQ(entries[2].toObject()["text"].toString(), "Alpha Test !")
      << "what the description leaves out comes from the base";
  EXPECT_EQ(shown["frequency_hz"].toInt(), 462500000);

  // From standard input, to standard output.
  const std::string piped = "timeout 60 " KX470_BINARY_DIR
                            "/tools/cli/kx470-cli build - --out - <" +
                            config + " >" + (dir / "piped").string();
  ASSERT_EQ(std::system(piped.c_str()), 0);
  EXPECT_EQ(Slurp(dir / "piped"), Slurp(out));
}

TEST_F(TCliFields, BuildRefusesBadValuesAndWritesNothing) {
  const std::string out = Table("keep.tbl", Valid(42));
  const std::string config = Json("bad.json", R"({"repeat_times": 300,
      "entries": [{}, {}, {"capcode": 7}], "keys": ["KEY_S2"], "colour": "red"})");
  const TRun build = Cli({"build", config, "--out", out});
  EXPECT_EQ(build.Exit, 1);
  const std::vector<std::string> told = Lines(build.Err);
  for (const char* line :
       {"colour: no such field", "repeat_times: Please insert a number between 1 and 256 !",
        "entries[2].capcode: Please insert a number between 8 to 2097151!",
        "keys[0]: Repeat definition of button !"})
    EXPECT_NE(std::find(told.begin(), told.end(), line), told.end()) << line << "\n" << build.Err;
  EXPECT_EQ(told.size(), 4u) << build.Err;
  EXPECT_EQ(ReadTableFile(out).Block, Valid(42));

  const TRun json = Cli({"build", config, "--out", out, "--json"});
  EXPECT_EQ(json.Exit, 1);
  const QJsonObject result = Object(json.Out);
  EXPECT_FALSE(result["ok"].toBool());
  EXPECT_EQ(result["errors"].toArray().size(), 4);

  const std::string fresh = (dir / "fresh.tbl").string();
  const TRun disagree = Cli({"build", Json("f.json", R"({"frequency_hz": 450000000,
                                 "registers": [1, 2, 3, 4, 5, 6, 7, 8]})"),
                             "--out", fresh});
  EXPECT_EQ(disagree.Exit, 1);
  EXPECT_EQ(disagree.Err.rfind("frequency_hz: 450000000 Hz disagrees with registers", 0), 0u)
      << disagree.Err;
  const TRun notJson = Cli({"build", Json("n.json", "{\"bit_rate\": "), "--out", fresh});
  EXPECT_EQ(notJson.Exit, 1);
  EXPECT_NE(notJson.Err.find("n.json: not JSON: "), std::string::npos) << notJson.Err;
  const TRun array = Cli({"build", Json("a.json", "[1]"), "--out", fresh});
  EXPECT_EQ(array.Exit, 1);
  EXPECT_NE(array.Err.find("is a JSON object"), std::string::npos);
  TImageBytes broken = Valid();
  broken[9] ^= 1;
  const TRun base =
      Cli({"build", Json("e.json", "{}"), "--base", Table("b.tbl", broken), "--out", fresh});
  EXPECT_EQ(base.Exit, 1);
  EXPECT_EQ(base.Err, "Checksum error !\n");
  EXPECT_FALSE(fs::exists(fresh));
  EXPECT_EQ(Cli({"build", (dir / "missing.json").string(), "--out", fresh}).Exit, 1);
  EXPECT_EQ(Cli({"build", config}).Exit, 2) << "--out is required";
}

TEST_F(TCliFields, SetChangesFieldsInPlaceAndKeepsTheOldFile) {
  const TWorkingDirectory here(dir);
  fs::create_directory(dir / "sites");
  const std::string site = Table("sites/site.tbl", Valid(1234567));
  const TRun set = Cli({"set", site, "entries[1].text=Call 2201", "bit_rate=1200 bps",
                        "frequency_hz=462500000", "entries[0].header_code=1F"});
  ASSERT_EQ(set.Exit, 0) << set.Err;
  const std::vector<std::string> lines = Lines(set.Out);
  ASSERT_GE(lines.size(), 5u) << set.Out;
  EXPECT_EQ(lines[0], "Set Success");
  for (const char* line :
       {"bit_rate: \"512 bps\" -> \"1200 bps\"", "entries[0].header_code: 0 -> 31",
        "entries[1].text: \"Alpha Test !\" -> \"Call 2201\"",
        "frequency_hz: 155000000 -> 462500000"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << set.Out;
  EXPECT_EQ(ReadTableFile(dir / "site.BAK").Block, Valid(1234567))
      << "the old file is kept in the working directory, as Save keeps it";
  const TImageBytes once = ReadTableFile(site).Block;
  EXPECT_TRUE(ChecksumValid(once));
  EXPECT_EQ(once[0x060 + 80], 'C');
  EXPECT_EQ(once[0x060], 0x1F) << "a code as text is hexadecimal";

  // A group of fields as JSON, and a text that looks like JSON kept as text.
  const TRun group =
      Cli({"set", site, R"json(entries[2]={"type": "Digit(0x0C)", "text": "[12]"})json",
           "entries[3].capcode=0002000"});
  ASSERT_EQ(group.Exit, 0) << group.Err;
  const QJsonArray entries = Shown(site)["entries"].toArray();
  EXPECT_EQ(entries[2].toObject()["text"].toString(), "[12]");
  EXPECT_EQ(entries[3].toObject()["capcode"].toInt(), 2000);
  EXPECT_EQ(ReadTableFile(dir / "site.BAK").Block, Valid(1234567)) << "an existing backup stays";

  // A refused value changes nothing; so does a value the file already holds.
  const TImageBytes before = ReadTableFile(site).Block;
  const TRun bad = Cli({"set", site, "bit_rate=2400 bps", "entries[2].text=12a"});
  EXPECT_EQ(bad.Exit, 1);
  EXPECT_EQ(bad.Err, "entries[2].text: Dec Number or 'U' or Space or '-' or ']' or '[' Only ! "
                     "(\"a\", character 3)\n");
  EXPECT_EQ(ReadTableFile(site).Block, before);
  const TRun same = Cli({"set", site, "bit_rate=1200 bps"});
  EXPECT_EQ(same.Exit, 0);
  EXPECT_EQ(same.Out, "No change\n");
  EXPECT_EQ(Cli({"set", site, "bit_rate"}).Exit, 2) << "FIELD=VALUE";
  EXPECT_EQ(Cli({"set", site}).Exit, 2);
  TImageBytes broken = before;
  broken[100] ^= 1;
  const std::string wrong = Table("wrong.tbl", broken);
  EXPECT_EQ(Cli({"set", wrong, "bit_rate=512 bps"}).Err, "Checksum error !\n");
  EXPECT_EQ(ReadTableFile(wrong).Block, broken);
}

TEST_F(TCliFields, DiffOfFilesAndEncoders) {
  const std::string a = Table("a.tbl", Valid(1234560));
  TConfigImage image;
  image.Assign(Valid(1234561));
  image[kRepeatWait] = 5;
  image[0x7FA] = 0x44; // outside the checksum: no field
  image.StoreChecksum();
  const std::string b = Table("b.tbl", image.Bytes());
  const TRun same = Cli({"diff", a, a});
  EXPECT_EQ(same.Exit, 0);
  EXPECT_EQ(same.Out, "");
  const TRun differ = Cli({"diff", a, b});
  EXPECT_EQ(differ.Exit, 1);
  EXPECT_EQ(Lines(differ.Out),
            (std::vector<std::string>{
                "checksum.stored: 0x0000308A -> 0x00003090", "repeat_wait: 0 -> 5",
                "entries[0].capcode: 1234560 -> 1234561", "byte 0x7FA: 0x00 -> 0x44"}));
  const TRun json = Cli({"diff", a, b, "--json"});
  EXPECT_EQ(json.Exit, 1);
  const QJsonObject result = Object(json.Out);
  EXPECT_TRUE(result["ok"].toBool());
  EXPECT_FALSE(result["equal"].toBool());
  const QJsonObject differences = result["differences"].toObject();
  ASSERT_EQ(differences["fields"].toArray().size(), 3);
  const QJsonObject capcode = differences["fields"].toArray()[2].toObject();
  EXPECT_EQ(capcode["field"].toString(), "entries[0].capcode");
  EXPECT_EQ(capcode["a"].toInt(), 1234560);
  EXPECT_EQ(capcode["b"].toInt(), 1234561);
  EXPECT_EQ(differences["bytes"].toArray()[0].toObject()["offset"].toInt(), 0x7FA);

  // An encoder against a file, both ways.
  TSimProcess sim({"--image", b});
  ASSERT_FALSE(sim.Path.empty());
  EXPECT_EQ(Cli({"diff", b, "port:" + sim.Path}).Exit, 0);
  const TRun encoder = Cli({"diff", "port:" + sim.Path, a});
  EXPECT_EQ(encoder.Exit, 1) << encoder.Err;
  EXPECT_EQ(Lines(encoder.Out).at(2), "entries[0].capcode: 1234561 -> 1234560");

  // A configuration that cannot be read: exit 2, as cmp does.
  const TRun missing = Cli({"diff", a, (dir / "none.tbl").string()});
  EXPECT_EQ(missing.Exit, 2);
  EXPECT_EQ(missing.Err.rfind((dir / "none.tbl").string() + ": ", 0), 0u) << missing.Err;
  const TRun nowhere = Cli({"diff", "port:" + (dir / "no-port").string(), a});
  EXPECT_EQ(nowhere.Exit, 2);
  EXPECT_EQ(Lines(nowhere.Err).at(0), "Error opening comm port. Port already in use?");
  TSimProcess dropping({"--image", b, "--drop-block", "3"});
  const TRun timeout = Cli({"diff", a, "port:" + dropping.Path, "--json"});
  EXPECT_EQ(timeout.Exit, 2);
  EXPECT_EQ(Object(timeout.Out)["error"].toString(), "Read Timeout !");
  EXPECT_EQ(Cli({"diff", a}).Exit, 2);
}

TEST_F(TCliFields, EachCommandHasItsHelp) {
  for (const char* command : {"build", "set", "diff"}) {
    const TRun help = Cli({command, "--help"});
    EXPECT_EQ(help.Exit, 0) << command;
    EXPECT_EQ(help.Out.rfind(std::string("Usage: kx470-cli ") + command + " ", 0), 0u) << help.Out;
    EXPECT_NE(Cli({"--help"}).Out.find(std::string("\n  ") + command + " "), std::string::npos);
  }
}

TEST_F(TCliFields, VerifyTellsWhatDiffersOnEachPort) {
  const TImageBytes site = Valid(1500001);
  const std::string file = Table("site.tbl", site);
  TSimProcess good({"--image", file});
  TImageBytes other = site;
  other[kKeyMap + 2] = 0x80; // keys[2] KEY_S3 -> KEY_S8
  other[0x005] |= 0x40;      // R1's RF_P
  TConfigImage image;
  image.Assign(other);
  image.StoreChecksum();
  TSimProcess wrong({"--image", Table("wrong.tbl", image.Bytes())});
  const TRun verify = Cli({"verify", "--port", good.Path, "--port", wrong.Path, file});
  EXPECT_EQ(verify.Exit, 1);
  EXPECT_EQ(verify.Out, good.Path + ": Verify success !\n");
  const std::vector<std::string> told = Lines(verify.Err);
  ASSERT_GE(told.size(), 4u) << verify.Err;
  EXPECT_EQ(told[0], wrong.Path + ": Verify error !");
  for (const std::string& line :
       {wrong.Path + ": keys[2]: \"KEY_S3\" -> \"KEY_S8\"",
        wrong.Path + ": registers[1]: 0x092943 -> 0x492943 (RF_P 0 -> 1)"})
    EXPECT_NE(std::find(told.begin(), told.end(), line), told.end()) << line << "\n" << verify.Err;

  const TRun json = Cli({"verify", "--json", "--port", wrong.Path, file});
  const QJsonArray fields = Object(json.Out)["differences"].toObject()["fields"].toArray();
  QStringList paths;
  for (const QJsonValue& field : fields)
    paths << field.toObject()["field"].toString();
  EXPECT_EQ(paths, (QStringList{"checksum.stored", "keys[2]", "registers[1]", "frequency_hz"}));
}

} // namespace
