// The baseband audio: levels, bit timing, repeats with their waits, and the WAV file.

#include "pocsag/transmission.h"
#include "pocsag_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <thread>

namespace {

TTransmission Plain(int rate, bool inverted, int times = 1, int wait = 0) {
  TTransmission t;
  t.BitRate = rate;
  t.Inverted = inverted;
  t.Transmissions = times;
  t.RepeatWait = wait;
  t.Batches = BuildBatches(1234567, 1, {});
  return t;
}

std::vector<std::int16_t> Samples(const TTransmission& t) {
  std::vector<std::int16_t> out;
  EXPECT_TRUE(RenderAudio(t, [&](std::span<const std::int16_t> piece) {
    out.insert(out.end(), piece.begin(), piece.end());
    return true;
  }));
  return out;
}

// The bit each sample stands for, read back by slicing at the middle of each bit.
std::vector<bool> Sliced(const std::vector<std::int16_t>& samples, int rate, std::size_t bits,
                         bool inverted) {
  std::vector<bool> out;
  for (std::size_t n = 0; n < bits; ++n) {
    const auto k = static_cast<std::size_t>((n + 0.5) * kSampleRate / rate);
    out.push_back((samples.at(k) < 0) != inverted);
  }
  return out;
}

} // namespace

TEST(TAudio, BitsAtEveryRateAndPolarity) {
  for (const int rate : {512, 1200, 2400})
    for (const bool inverted : {false, true}) {
      const TTransmission t = Plain(rate, inverted);
      const std::vector<bool> bits = TransmissionBits(t);
      ASSERT_EQ(bits.size(), 576u + 17u * 32u);
      const std::vector<std::int16_t> samples = Samples(t);
      // One transmission lasts its bits at the rate, to the sample.
      EXPECT_EQ(samples.size(), (bits.size() * kSampleRate + rate - 1) / rate);
      EXPECT_EQ(samples.size(), AudioSampleCount(t));
      EXPECT_EQ(Sliced(samples, rate, bits.size(), inverted), bits) << rate << inverted;
      for (const std::int16_t s : samples)
        ASSERT_TRUE(s == kLevel || s == -kLevel);
      // "Normal": the preamble's first bit, a 1, is the low level.
      EXPECT_EQ(samples[0], inverted ? kLevel : -kLevel);
    }
}

TEST(TAudio, PreambleThenSyncCodeword) {
  const std::vector<bool> bits = TransmissionBits(Plain(1200, false));
  for (std::size_t i = 0; i < 576; ++i)
    ASSERT_EQ(bits[i], i % 2 == 0) << i;
  std::uint32_t sync = 0;
  for (std::size_t i = 576; i < 576 + 32; ++i)
    sync = (sync << 1) | (bits[i] ? 1u : 0u);
  EXPECT_EQ(sync, kSyncCodeword);
}

TEST(TAudio, RepeatsAreSeparatedBySilence) {
  const TTransmission once = Plain(2400, false);
  const std::size_t one = Samples(once).size();
  const std::vector<std::int16_t> three = Samples(Plain(2400, false, 3, 2));
  ASSERT_EQ(three.size(), 3 * one + 2 * 2 * kSampleRate);
  EXPECT_EQ(AudioSampleCount(Plain(2400, false, 3, 2)), three.size());
  const std::vector<std::int16_t> first(three.begin(), three.begin() + one);
  EXPECT_EQ(first, Samples(once));
  // Silence, on the side of a 1 bit ("Normal": below 0).
  for (std::size_t k = one; k < one + 2 * kSampleRate; ++k)
    ASSERT_EQ(three[k], -kRestOffset) << k;
  EXPECT_EQ(three[one + 2 * kSampleRate], -kLevel);
  const std::vector<std::int16_t> inverted = Samples(Plain(2400, true, 2, 1));
  EXPECT_EQ(inverted[one], kRestOffset);
  EXPECT_EQ(inverted[one - 1], kLevel); // the last bit, a 1 of an idle codeword
  // A wait of 0 puts the transmissions back to back.
  EXPECT_EQ(Samples(Plain(2400, false, 2, 0)).size(), 2 * one);
}

TEST(TAudio, ASinkCanStopTheRendering) {
  int pieces = 0;
  EXPECT_FALSE(RenderAudio(Plain(512, false, 2, 1), [&](std::span<const std::int16_t>) {
    ++pieces;
    return false;
  }));
  EXPECT_EQ(pieces, 1);
}

TEST(TAudio, FilesRawAndWav) {
  char pattern[] = "/tmp/kx470-audio-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  const TTransmission t = Plain(1200, true, 2, 1);
  std::string error;
  ASSERT_TRUE(WriteAudioFile(dir + "/a.raw", false, t, error)) << error;
  ASSERT_TRUE(WriteAudioFile(dir + "/a.wav", true, t, error)) << error;
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string raw = slurp(dir + "/a.raw");
  const std::string wav = slurp(dir + "/a.wav");
  ASSERT_EQ(raw.size(), AudioSampleCount(t) * 2);
  ASSERT_EQ(wav.size(), raw.size() + 44);
  EXPECT_EQ(wav.substr(44), raw);
  auto le = [&wav](std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
      v = (v << 8) | static_cast<std::uint8_t>(wav[at + static_cast<std::size_t>(i)]);
    return v;
  };
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(le(4, 4), raw.size() + 36);
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(le(20, 2), 1u);     // PCM
  EXPECT_EQ(le(22, 2), 1u);     // mono
  EXPECT_EQ(le(24, 4), 22050u); // rate
  EXPECT_EQ(le(28, 4), 44100u); // bytes a second
  EXPECT_EQ(le(34, 2), 16u);    // bits
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(le(40, 4), raw.size());
  // Samples are little-endian: the first, a 1 bit inverted, is +16384 = 00 40.
  EXPECT_EQ(raw.substr(0, 2), std::string("\x00\x40", 2));

  EXPECT_FALSE(WriteAudioFile(dir + "/no/such/dir.raw", false, t, error));
  EXPECT_EQ(error, dir + "/no/such/dir.raw: No such file or directory");
  std::filesystem::remove_all(dir);
}

TEST(TAudio, AFileIsReplacedWholeOrNotAtAll) {
  char pattern[] = "/tmp/kx470-audio-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  const std::string file = dir + "/page.wav";
  std::ofstream(file) << "old";
  ::chmod(file.c_str(), 0640);
  std::filesystem::create_symlink(file, dir + "/link.wav");
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  // Far beyond the 4 GiB a WAV file can say: refused, and the old file is still there.
  TTransmission endless = Plain(512, false, 1000, 250);
  std::string error;
  EXPECT_FALSE(WriteAudioFile(file, true, endless, error));
  EXPECT_NE(error.find("too long for a WAV file"), std::string::npos) << error;
  EXPECT_EQ(slurp(file), "old");

  // Through the link: its target is replaced, keeps its permission bits, the link stays, and
  // no temporary file is left.
  ASSERT_TRUE(WriteAudioFile(dir + "/link.wav", true, Plain(512, false), error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(dir + "/link.wav"));
  EXPECT_EQ(slurp(file).size(), AudioSampleCount(Plain(512, false)) * 2 + 44);
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);

  // A FIFO gets the samples as they come.
  const std::string fifo = dir + "/air";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string heard;
  std::thread listener([&] { heard = slurp(fifo); });
  EXPECT_TRUE(WriteAudioFile(fifo, false, Plain(2400, true), error)) << error;
  listener.join();
  EXPECT_EQ(heard.size(), AudioSampleCount(Plain(2400, true)) * 2);
  EXPECT_FALSE(WriteAudioFile(dir, false, Plain(2400, true), error));
  EXPECT_EQ(error, dir + ": is a folder");
  std::filesystem::remove_all(dir);
}
