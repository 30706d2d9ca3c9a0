// Every page checked by a decoder nobody here wrote: multimon-ng reads the raw audio and must
// find each entry's capcode, function bits and message. The matrix: three bit rates, both
// polarities, all eight frame positions, and every message type in each, with capcodes 8 and
// 2097151 among them and messages that run over batches.

#include "editors/chinese_text.h"
#include "page_images.h"
#include "pocsag/entry_page.h"
#include "pocsag_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <tuple>

using namespace pocsag_test;

namespace {

class TScratch {
public:
  TScratch() {
    char pattern[] = "/tmp/kx470-multimon-XXXXXX";
    FDir = ::mkdtemp(pattern);
  }
  ~TScratch() { std::filesystem::remove_all(FDir); }
  std::string File(const std::string& name) const { return FDir + "/" + name; }

private:
  std::string FDir;
};

// A Big5 text of Chinese characters and ASCII: Big5 level 1 from its first to its last code.
const std::vector<std::uint8_t> kBig5Memo = {0xA4, 0x40, 0xAC, 0xFE, 0xBE, 0x52, ' ',  'R',
                                             'o',  'o',  'm',  ' ',  '1',  '2',  0xC3, 0xB9,
                                             0xC6, 0x7E, 0xA4, 0xA4, 0xB0, 0xEA};

std::vector<std::uint8_t> Repeated(const std::string& pattern, std::size_t length) {
  std::vector<std::uint8_t> out;
  while (out.size() < length)
    out.push_back(static_cast<std::uint8_t>(pattern[out.size() % pattern.size()]));
  return out;
}

// What multimon-ng must print for a page's message: the characters or digits, then at most
// the fill of the last codeword (NUL characters, or the type's fill digit).
void ExpectMessage(const TEntryPage& page, const TDecoded& decoded) {
  SCOPED_TRACE("entry #" + std::to_string(page.Entry + 1));
  EXPECT_EQ(decoded.Mode, "POCSAG" + std::to_string(page.Transmission.BitRate));
  EXPECT_EQ(decoded.Address, page.Capcode);
  EXPECT_EQ(decoded.Function, page.Function);
  if (page.Coding == TMessageCoding::None) {
    EXPECT_EQ(decoded.Kind, "");
    return;
  }
  std::string expected, fill;
  if (page.Coding == TMessageCoding::Alphanumeric) {
    EXPECT_EQ(decoded.Kind, "Alpha");
    expected = AsMultimonAlpha(page.Characters);
    fill = "<NUL>";
  } else {
    EXPECT_EQ(decoded.Kind, "Numeric");
    for (const std::uint8_t code : page.Characters)
      expected += kMultimonDigits[code];
    fill = std::string(1, kMultimonDigits[page.NumericFill]);
  }
  ASSERT_GE(decoded.Text.size(), expected.size()) << decoded.Text;
  EXPECT_EQ(decoded.Text.substr(0, expected.size()), expected);
  std::string rest = decoded.Text.substr(expected.size());
  int fills = 0;
  while (rest.rfind(fill, 0) == 0) {
    rest.erase(0, fill.size());
    ++fills;
  }
  EXPECT_EQ(rest, "") << decoded.Text;
  // Less than one codeword of fill: 20 bits hold 2 NULs or 4 fill digits.
  EXPECT_LE(fills, page.Coding == TMessageCoding::Alphanumeric ? 2 : 4);
}

// Decodes one audio file in both forced codings and sorts what came back by the pages' kind.
struct TMultimonRun {
  std::vector<TDecoded> Alpha, Numeric;
};

std::string Listing(const std::vector<TDecoded>& pages) {
  std::string out;
  for (const TDecoded& d : pages)
    out += d.Mode + " " + std::to_string(d.Address) + " " + std::to_string(d.Function) + " " +
           d.Kind + " " + d.Text + "\n";
  return out;
}

TMultimonRun DecodeBoth(const std::string& raw, bool inverted) {
  TMultimonRun run;
  std::string problem;
  EXPECT_TRUE(Multimon(raw, "alpha", inverted, run.Alpha, problem)) << problem;
  EXPECT_TRUE(Multimon(raw, "numeric", inverted, run.Numeric, problem)) << problem;
  return run;
}

// Writes the pages one after the other into one raw file, as presses of one key after the
// other put them on the air.
void WritePages(const std::string& raw, const std::vector<TEntryPage>& pages) {
  const int fd = ::open(raw.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  for (const TEntryPage& page : pages) {
    std::string error;
    ASSERT_TRUE(WriteRawAudio(fd, page.Transmission, error)) << error;
  }
  ::close(fd);
}

using TMatrixCase = std::tuple<int, int, int>; // bit rate item, polarity item, frame

class TMultimonMatrix : public ::testing::TestWithParam<TMatrixCase> {};

} // namespace

TEST_P(TMultimonMatrix, DecoderFindsEveryTypesPage) {
  REQUIRE_MULTIMON();
  const auto [rate, polarity, frame] = GetParam();
  // Five entries in this frame, one of each type, each with other function bits. Frame 0 has
  // the lowest capcode, 8, frame 7 the highest, 2097151.
  const auto capcode = [frame = frame](std::uint32_t base) {
    return base * 8 + static_cast<std::uint32_t>(frame);
  };
  const std::uint32_t first = frame == 0 ? 8 : capcode(154320);
  const std::uint32_t last = frame == 7 ? 2097151 : capcode(200000);
  TPageImage image;
  image.Rate(rate).Polarity(polarity);
  // Alpha of 78 characters with header and trailer codes: 28 codewords, over two batches.
  image.Entry(0, {.Capcode = first,
                  .Type = TMessageType::Alpha,
                  .Function = 0,
                  .Text = Repeated("Alpha Test ! 0123456789 <>&", 78),
                  .Header = 0x05,
                  .Trailer = 0x03});
  // 79 digits: 16 codewords, over two batches whatever the frame.
  image.Entry(1, {.Capcode = capcode(1000),
                  .Type = TMessageType::Digit0C,
                  .Function = 1,
                  .Text = Repeated("0123456789U -][", 79)});
  image.Entry(2, {.Capcode = capcode(99999),
                  .Type = TMessageType::Digit0F,
                  .Function = 2,
                  .Text = Repeated("0123456789ABCDEF", 33)});
  image.Entry(3, {.Capcode = capcode(123456), .Type = TMessageType::ToneOnly, .Function = 3});
  image.Entry(4, {.Capcode = last, .Type = TMessageType::Binary, .Function = 1, .Text = kBig5Memo});
  const TImageBytes bytes = image.Bytes();

  std::vector<TEntryPage> pages;
  for (int e = 0; e < 5; ++e) {
    const TPageLookup lookup = PageOfEntry(bytes, e);
    ASSERT_TRUE(lookup.Page) << lookup.Error;
    EXPECT_TRUE(lookup.Page->Warnings.empty());
    pages.push_back(*lookup.Page);
  }
  EXPECT_GE(pages[0].Transmission.Batches.size(), 2u);
  EXPECT_EQ(pages[1].Transmission.Batches.size(), 2u);

  TScratch scratch;
  const std::string raw = scratch.File("air.raw");
  WritePages(raw, pages);
  const bool inverted = polarity == 1;
  const TMultimonRun run = DecodeBoth(raw, inverted);
  ASSERT_EQ(run.Alpha.size(), pages.size()) << Listing(run.Alpha);
  ASSERT_EQ(run.Numeric.size(), pages.size()) << Listing(run.Numeric);
  for (std::size_t i = 0; i < pages.size(); ++i)
    ExpectMessage(pages[i],
                  pages[i].Coding == TMessageCoding::Numeric ? run.Numeric[i] : run.Alpha[i]);

  // The Binary page's characters, as the decoder printed them, are the memo's Chinese text.
  const std::optional<std::vector<std::uint8_t>> stream = FromMultimonAlpha(run.Alpha[4].Text);
  ASSERT_TRUE(stream);
  EXPECT_EQ(DecodeChineseText(stream->data(), stream->size()), kBig5Memo);

  // With the other polarity the decoder finds nothing: the polarity is really applied.
  std::vector<TDecoded> wrong;
  std::string problem;
  ASSERT_TRUE(Multimon(raw, "alpha", !inverted, wrong, problem)) << problem;
  EXPECT_TRUE(wrong.empty());
}

INSTANTIATE_TEST_SUITE_P(RatesPolaritiesFrames, TMultimonMatrix,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Values(0, 1),
                                            ::testing::Range(0, 8)),
                         [](const ::testing::TestParamInfo<TMatrixCase>& info) {
                           const int rate = std::get<0>(info.param);
                           return std::string(rate == 0   ? "Bps512"
                                              : rate == 1 ? "Bps1200"
                                                          : "Bps2400") +
                                  (std::get<1>(info.param) == 0 ? "Normal" : "Invert") + "Frame" +
                                  std::to_string(std::get<2>(info.param));
                         });

TEST(TMultimon, RepeatsAreDecodedEachTime) {
  REQUIRE_MULTIMON();
  TPageImage image;
  image.Rate(1).Repeat(3, 1).Entry(
      0, {.Capcode = 1234567, .Function = 2, .Text = pocsag_test::Bytes("Alpha Test !")});
  const TPageLookup lookup = PageOfEntry(image.Bytes(), 0);
  ASSERT_TRUE(lookup.Page);
  TScratch scratch;
  std::string error, problem;
  ASSERT_TRUE(WriteAudioFile(scratch.File("r.raw"), false, lookup.Page->Transmission, error));
  std::vector<TDecoded> decoded;
  ASSERT_TRUE(Multimon(scratch.File("r.raw"), "alpha", false, decoded, problem)) << problem;
  ASSERT_EQ(decoded.size(), 3u);
  for (const TDecoded& d : decoded)
    ExpectMessage(*lookup.Page, d);
}

// The longest records: "1 Set" holds 640 bytes. multimon-ng holds 582 characters of an
// alphanumeric message: it checks shorter ones whole, of longer ones it prints the first 582
// with a warning, and only our own reading of the codewords (the standard's bit order, not the
// builder's code) checks the rest.
TEST(TMultimon, LongestRecords) {
  REQUIRE_MULTIMON();
  for (const std::size_t length : {std::size_t{578}, std::size_t{638}}) {
    SCOPED_TRACE(length);
    TPageImage image(0);
    image.Rate(2).Entry(0, {.Capcode = 2097151,
                            .Function = 1,
                            .Text = Repeated("The quick brown fox. ", length),
                            .Header = 0x02,
                            .Trailer = 0x03});
    const TPageLookup lookup = PageOfEntry(image.Bytes(), 0);
    ASSERT_TRUE(lookup.Page);
    const TEntryPage& page = *lookup.Page;
    const std::vector<TReadPage> read = ReadBatches(page.Transmission.Batches);
    ASSERT_EQ(read.size(), 1u);
    std::vector<std::uint8_t> carried = Symbols(read[0].Data, 7);
    ASSERT_GE(carried.size(), page.Characters.size());
    EXPECT_EQ(std::vector<std::uint8_t>(carried.begin(),
                                        carried.begin() +
                                            static_cast<std::ptrdiff_t>(page.Characters.size())),
              page.Characters);
    EXPECT_EQ(page.Characters.size(), length + 2);
    for (const TBatch& batch : page.Transmission.Batches)
      for (const std::uint32_t word : batch)
        ASSERT_TRUE(CodewordChecks(word));

    TScratch scratch;
    std::string error, problem;
    ASSERT_TRUE(WriteAudioFile(scratch.File("l.raw"), false, page.Transmission, error));
    std::vector<TDecoded> decoded;
    ASSERT_TRUE(Multimon(scratch.File("l.raw"), "alpha", false, decoded, problem)) << problem;
    ASSERT_EQ(decoded.size(), 1u);
    if (page.Characters.size() <= kMultimonAlphaLimit) {
      EXPECT_FALSE(decoded[0].Cut);
      ExpectMessage(page, decoded[0]);
    } else {
      EXPECT_TRUE(decoded[0].Cut);
      EXPECT_EQ(decoded[0].Address, page.Capcode);
      const std::vector<std::uint8_t> held(page.Characters.begin(),
                                           page.Characters.begin() + kMultimonAlphaLimit);
      EXPECT_EQ(decoded[0].Text, AsMultimonAlpha(held));
    }
  }
}
