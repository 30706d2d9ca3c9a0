// `kx470-cli page` and the simulator's transmitter, as a technician meets them: codewords and
// audio from table files, checked by reading the codewords back and by multimon-ng; then the
// whole chain without hardware: write to the simulator, press a key, decode the air.

#include "../pocsag/page_images.h"
#include "../pocsag/pocsag_support.h"
#include "cli_run.h"
#include "editors/chinese_text.h"
#include "editors/record_reading.h"
#include "image/table_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>

using namespace pocsag_test;
using namespace std::chrono_literals;

namespace {

const std::string kDemo = KX470_SOURCE_DIR "/examples/demo.tbl";

// The batches of `page --codewords`, read back from its hex.
std::vector<TBatch> ParseBatches(const std::string& out) {
  std::vector<TBatch> batches;
  for (const std::string& line : Lines(out)) {
    std::istringstream words(line);
    TBatch batch{};
    std::size_t n = 0;
    for (std::string word; words >> word; ++n) {
      EXPECT_EQ(word.size(), 8u) << line;
      if (n < batch.size())
        batch[n] = static_cast<std::uint32_t>(std::stoul(word, nullptr, 16));
    }
    EXPECT_EQ(n, batch.size()) << line;
    batches.push_back(batch);
  }
  return batches;
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

class TPageCli : public TCliBase {};

} // namespace

TEST_F(TPageCli, CodewordsOfEachKeyOfTheDemo) {
  // The demo: "4 Set", 1200 bps; KEY_S3, S4, S7, S8 on entries 1 to 4.
  const TRun alpha = Cli({"page", kDemo, "--key", "3"});
  ASSERT_EQ(alpha.Exit, 0) << alpha.Err;
  EXPECT_EQ(alpha.Err, "");
  std::vector<TBatch> batches = ParseBatches(alpha.Out);
  ASSERT_EQ(batches.size(), 2u);
  std::vector<TReadPage> read = ReadBatches(batches);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].Address, 1234567u);
  EXPECT_EQ(read[0].Function, 0u);
  const std::string text = "Reception desk: please call 2201";
  EXPECT_EQ(Text(Symbols(read[0].Data, 7)).substr(0, text.size()), text);

  const TRun digits = Cli({"page", kDemo, "--codewords", "--key", "4"});
  ASSERT_EQ(digits.Exit, 0) << digits.Err;
  read = ReadBatches(ParseBatches(digits.Out));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].Address, 987654u);
  EXPECT_EQ(read[0].Function, 1u);
  // "911-2201" and two blanks of fill.
  EXPECT_EQ(Symbols(read[0].Data, 4),
            (std::vector<std::uint8_t>{9, 1, 1, 0xD, 2, 2, 0, 1, 0xC, 0xC}));

  // --entry 4 is the entry KEY_S8 sends: Tone Only.
  const TRun tone = Cli({"page", kDemo, "--entry", "4"});
  ASSERT_EQ(tone.Exit, 0);
  EXPECT_EQ(tone.Out, Cli({"page", kDemo, "--key", "8"}).Out);
  read = ReadBatches(ParseBatches(tone.Out));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].Address, 2000000u);
  EXPECT_EQ(read[0].Function, 3u);
  EXPECT_TRUE(read[0].Data.empty());
}

TEST_F(TPageCli, JsonTellsTheWholeTransmission) {
  const TRun run = Cli({"page", kDemo, "--key", "7", "--json"});
  ASSERT_EQ(run.Exit, 0) << run.Err;
  const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(run.Out)).object();
  EXPECT_EQ(o["ok"].toBool(), true);
  EXPECT_EQ(o["key"].toInt(), 7);
  EXPECT_EQ(o["entry"].toInt(), 3);
  EXPECT_EQ(o["capcode"].toInt(), 1500001);
  EXPECT_EQ(o["function"].toString(), "1 0");
  EXPECT_EQ(o["type"].toString(), "Binary");
  EXPECT_EQ(o["bit_rate"].toInt(), 1200);
  EXPECT_EQ(o["polarity"].toString(), "Normal");
  EXPECT_EQ(o["transmissions"].toInt(), 3);
  EXPECT_EQ(o["repeat_wait"].toInt(), 5);
  EXPECT_EQ(o["warnings"].toArray().size(), 0);
  const QJsonArray batches = o["batches"].toArray();
  // 18 Big5 bytes: 5 pairs, SI and 8 characters, 7 codewords after the address in frame 1.
  ASSERT_EQ(batches.size(), 1);
  EXPECT_EQ(batches[0].toArray().size(), 17);
  EXPECT_EQ(batches[0].toArray()[0].toString(), "7CD215D8");
  EXPECT_EQ(o["message"].toString().toStdString(),
            "KEY_S7: entry #3, capcode 1500001, function 1 0, Binary, 1200 bps, Normal, 1 batch, "
            "sent 3 times 5 s apart");
}

TEST_F(TPageCli, WavAndRawHoldTheSameAudioThatTheDecoderReads) {
  REQUIRE_MULTIMON();
  const std::string raw = (dir / "p.raw").string(), wav = (dir / "p.wav").string();
  const TRun rawRun = Cli({"page", kDemo, "--key", "3", "--raw", raw});
  ASSERT_EQ(rawRun.Exit, 0) << rawRun.Err;
  EXPECT_EQ(rawRun.Out.rfind(raw + ": ", 0), 0u) << rawRun.Out;
  const TRun wavRun = Cli({"page", kDemo, "--key", "3", "--wav", wav});
  ASSERT_EQ(wavRun.Exit, 0) << wavRun.Err;
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string rawBytes = slurp(raw), wavBytes = slurp(wav);
  ASSERT_EQ(wavBytes.size(), rawBytes.size() + 44);
  EXPECT_EQ(wavBytes.substr(44), rawBytes);
  // --raw - writes the same samples to standard output and tells the rest on stderr.
  const TRun piped = Cli({"page", kDemo, "--key", "3", "--raw", "-"});
  ASSERT_EQ(piped.Exit, 0);
  EXPECT_EQ(piped.Out, rawBytes);
  EXPECT_NE(piped.Err.find("KEY_S3: entry #1"), std::string::npos) << piped.Err;
  EXPECT_EQ(Cli({"page", kDemo, "--key", "3", "--wav", "-"}).Out, wavBytes);

  std::vector<TDecoded> decoded;
  std::string problem;
  ASSERT_TRUE(Multimon(raw, "alpha", false, decoded, problem)) << problem;
  ASSERT_EQ(decoded.size(), 3u) << "repeat times 3";
  for (const TDecoded& d : decoded) {
    EXPECT_EQ(d.Mode, "POCSAG1200");
    EXPECT_EQ(d.Address, 1234567u);
    EXPECT_EQ(d.Text, "Reception desk: please call 2201<NUL><NUL>");
  }
}

TEST_F(TPageCli, WhatPocsagCannotCarryIsWarnedAbout) {
  TPageImage image;
  image.Entry(0, {.Capcode = 4321, .Text = {'C', 'a', 'f', 0xE9}});
  const TRun run = Cli({"page", Table("cafe.tbl", image.Bytes()), "--entry", "1"});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(run.Err, "kx470-cli page: warning: entry #1: 1 byte of 0x80 or above cannot be sent: "
                     "POCSAG characters have 7 bits, so each goes out as its low 7 bits only (the "
                     "first, 0xE9 at character 4, goes out as 0x69)\n");
  const std::vector<TReadPage> read = ReadBatches(ParseBatches(run.Out));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(Text(Symbols(read[0].Data, 7)).substr(0, 4), "Cafi");
  const TRun json = Cli({"page", Table("cafe.tbl", image.Bytes()), "--entry", "1", "--json"});
  EXPECT_EQ(json.Exit, 0);
  const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json.Out)).object();
  EXPECT_EQ(o["warnings"].toArray().size(), 1);
}

TEST_F(TPageCli, RefusalsAndUsage) {
  const std::string demo = kDemo;
  TRun run = Cli({"page", demo, "--key", "1"});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Err,
            demo + ": KEY_S1 is not assigned to any entry of the key map: it sends nothing\n");
  EXPECT_EQ(run.Out, "");
  run = Cli({"page", demo, "--entry", "5"});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Err, demo + ": entry #5 is not in use: the capcode set has 4 entries\n");

  TImageBytes bad = Valid();
  bad[0x100] ^= 1;
  run = Cli({"page", Table("bad.tbl", bad), "--key", "1"});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Err, "Checksum error !\n");
  EXPECT_EQ(Cli({"page", (dir / "none.tbl").string(), "--key", "1"}).Exit, 1);

  EXPECT_EQ(Cli({"page", demo}).Exit, 2) << "neither --key nor --entry";
  EXPECT_EQ(Cli({"page", demo, "--key", "1", "--entry", "1"}).Exit, 2);
  EXPECT_EQ(Cli({"page", demo, "--key", "9"}).Exit, 2);
  EXPECT_EQ(Cli({"page", demo, "--entry", "0"}).Exit, 2);
  EXPECT_EQ(Cli({"page", demo, "--key", "3", "--codewords", "--wav", "x.wav"}).Exit, 2);
  EXPECT_EQ(Cli({"page", demo, "--key", "3", "--raw", "x", "--wav", "x.wav"}).Exit, 2);
  EXPECT_EQ(Cli({"page", demo, "--key", "3", "--raw", "-", "--json"}).Exit, 2);
  const TRun help = Cli({"page", "--help"});
  EXPECT_EQ(help.Exit, 0);
  EXPECT_NE(help.Out.find("kx470-cli page FILE"), std::string::npos);
  EXPECT_NE(Cli({"--help"}).Out.find("page"), std::string::npos);
  const TRun unwritable = Cli({"page", demo, "--key", "3", "--wav", (dir / "no/x.wav").string()});
  EXPECT_EQ(unwritable.Exit, 1);
  EXPECT_NE(unwritable.Err.find("No such file or directory"), std::string::npos);
}

// ---- The simulator on the air ----------------------------------------------------------------

namespace {

// kx470-sim with its standard input and error on pipes.
class TAirSim : public TSimProcess {
public:
  explicit TAirSim(std::vector<std::string> options)
      : TSimProcess(std::move(options), ESimStdio::Piped) {}
};

// multimon-ng reading a FIFO in the background until its writer closes it.
class TFifoDecoder {
public:
  TFifoDecoder(const std::string& fifo, const std::string& format)
      : FThread([this, fifo, format] { FOk = Multimon(fifo, format, false, FPages, FProblem); }) {}
  ~TFifoDecoder() {
    if (FThread.joinable())
      FThread.join();
  }
  const std::vector<TDecoded>& Pages(std::string& problem) {
    FThread.join();
    problem = FProblem;
    EXPECT_TRUE(FOk) << FProblem;
    return FPages;
  }

private:
  std::vector<TDecoded> FPages;
  std::string FProblem;
  bool FOk = false;
  std::thread FThread;
};

class TSimAir : public TCliBase {};

} // namespace

TEST_F(TSimAir, APressAfterAWriteFromTheCliGoesOnTheAir) {
  REQUIRE_MULTIMON();
  const std::string fifo = (dir / "air").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TAirSim sim({"--air", fifo, "--press", "3"});
  ASSERT_FALSE(sim.Path.empty());
  // The presses wait for the write and send the image written: in the simulator's built-in
  // image KEY_S3 would page 1234562.
  TFifoDecoder alpha(fifo, "alpha");
  const TRun write = Cli({"write", "--port", sim.Path, kDemo});
  ASSERT_EQ(write.Exit, 0) << write.Err;
  std::string problem;
  const std::vector<TDecoded>& first = alpha.Pages(problem);
  ASSERT_EQ(first.size(), 3u) << "KEY_S3 sends entry #1 three times";
  for (const TDecoded& d : first) {
    EXPECT_EQ(d.Address, 1234567u);
    EXPECT_EQ(d.Text, "Reception desk: please call 2201<NUL><NUL>");
  }
  const std::string err = sim.ErrorUntil("KEY_S3 sent");
  EXPECT_NE(err.find("kx470-sim: KEY_S3 sent to " + fifo + ": entry #1, capcode 1234567"),
            std::string::npos)
      << err;
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(TSimAir, PressLinesOnStandardInputAppendToAFile) {
  REQUIRE_MULTIMON();
  const std::string air = (dir / "air.raw").string();
  TAirSim sim({"--air", air, "--image", kDemo});
  EXPECT_TRUE(sim.Say("press 8"));
  EXPECT_NE(sim.ErrorUntil("KEY_S8 sent").find("kx470-sim: KEY_S8 sent to " + air),
            std::string::npos);
  EXPECT_TRUE(sim.Say("press 1"));
  EXPECT_TRUE(sim.Say("jump"));
  EXPECT_TRUE(sim.Say("press 7"));
  const std::string err = sim.ErrorUntil("KEY_S7 sent");
  EXPECT_NE(err.find("kx470-sim: KEY_S1 is not assigned to any entry of the key map: it sends "
                     "nothing\n"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("kx470-sim: standard input: \"jump\" is no command; say \"press K\" with K "
                     "from 1 to 8\n"),
            std::string::npos)
      << err;

  // The memo of entry #3 as the window shows it: Big5 for 前台請回電 Room 12.
  TConfigImage demo;
  const TTableRead table = ReadTableFile(kDemo);
  ASSERT_TRUE(table.Ok);
  demo.Assign(table.Block);
  demo.SetCapcodeCount(4);
  const std::vector<std::uint8_t> memo = ReadEntry(demo, 2).Text;
  ASSERT_EQ(memo.size(), 18u);

  std::vector<TDecoded> decoded;
  std::string problem;
  ASSERT_TRUE(Multimon(air, "alpha", false, decoded, problem)) << problem;
  // Tone Only three times, then the Binary page three times.
  ASSERT_EQ(decoded.size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(decoded[i].Address, 2000000u);
    EXPECT_EQ(decoded[i].Kind, "");
    EXPECT_EQ(decoded[i + 3].Address, 1500001u);
    EXPECT_EQ(decoded[i + 3].Function, 2u);
    const std::optional<std::vector<std::uint8_t>> stream = FromMultimonAlpha(decoded[i + 3].Text);
    ASSERT_TRUE(stream);
    EXPECT_EQ(DecodeChineseText(stream->data(), stream->size()), memo);
  }
  EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(TSimAir, TransmitterOptionsAreChecked) {
  for (const std::vector<std::string>& options : {std::vector<std::string>{"--press", "1"},
                                                  {"--air", "x", "--press", "9"},
                                                  {"--air"},
                                                  {"--air", "x", "--press", "one"}}) {
    TAirSim sim(options);
    EXPECT_EQ(sim.Stop(), 2);
  }
  TAirSim sim({"--press", "2"});
  sim.Stop();
  EXPECT_NE(sim.ErrorUntil("--air").find("option --press needs --air PATH to send the page to"),
            std::string::npos);
}

TEST_F(TSimAir, PressesWaitForTheWriteAndGoInOrder) {
  REQUIRE_MULTIMON();
  const std::string air = (dir / "air.raw").string();
  TAirSim sim({"--air", air, "--press", "8", "--press", "3"});
  ASSERT_FALSE(fs::exists(air)) << "nothing is sent before the write";
  const TRun write = Cli({"write", "--port", sim.Path, kDemo});
  ASSERT_EQ(write.Exit, 0) << write.Err;
  const std::string err = sim.ErrorUntil("KEY_S3 sent");
  ASSERT_NE(err.find("KEY_S8 sent"), std::string::npos) << err;
  EXPECT_LT(err.find("KEY_S8 sent"), err.find("KEY_S3 sent"));
  std::vector<TDecoded> decoded;
  std::string problem;
  ASSERT_TRUE(Multimon(air, "alpha", false, decoded, problem)) << problem;
  ASSERT_EQ(decoded.size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(decoded[i].Address, 2000000u);
    EXPECT_EQ(decoded[i + 3].Address, 1234567u);
  }
  // A second write presses nothing more.
  ASSERT_EQ(Cli({"write", "--port", sim.Path, kDemo}).Exit, 0);
  const auto size = fs::file_size(air);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(fs::file_size(air), size);
  EXPECT_EQ(sim.Stop(), 0);
}
