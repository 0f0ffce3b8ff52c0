// SPDX-License-Identifier: GPL-2.0-or-later
// LPCM as WAV in the demux job: the file name, its samples, continuation onto a second part, and a valid
// WAV after Cancel.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jobs/session.h"
#include "support/fake_window.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using test::Bytes;
using test::PsBuilder;

constexpr std::uint8_t STEREO_16_BIT_48K = 0x01;  // word length 0, rate 0, channels - 1

std::uint32_t le32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

/// An LPCM feature: AVC video and 16-bit stereo LPCM 0xA1, and the samples as little-endian PCM.
struct LpcmFeature {
  Bytes file;
  Bytes samples;  // as the disc stores them
  Bytes pcm;
};

LpcmFeature makeLpcm(std::size_t minSize, std::uint32_t seed, std::uint8_t format = STEREO_16_BIT_48K) {
  LpcmFeature feature;
  PsBuilder builder;
  builder.pack(true);
  while (builder.size() < minSize) {
    // 2000 bytes of samples, 500 frames; the sub-stream and LPCM headers are written by hand.
    Bytes packet{0xA1, 0x01, 0x00, 0x01, 0x00, format, 0x80};
    const Bytes samples = test::payload(2000, seed++);
    packet.insert(packet.end(), samples.begin(), samples.end());
    feature.samples.insert(feature.samples.end(), samples.begin(), samples.end());
    for (std::size_t i = 0; i < samples.size(); i += 2)
      feature.pcm.insert(feature.pcm.end(), {samples[i + 1], samples[i]});
    builder.pack().pes(0xE2, test::payload(300, seed++)).pes(0xBD, packet, {.pts = true});
  }
  feature.file = builder.bytes();
  return feature;
}

class LpcmWavJob : public testing::Test {
 protected:
  LpcmWavJob() {
    fake.session = &session;
    std::filesystem::create_directory(out);
    fake.workdirText = out;
    fake.optionsOn[static_cast<std::size_t>(Option::LpcmWav)] = true;
  }

  /// The WAV's data after checking that its sizes describe the file.
  static Bytes wavData(const std::string& path) {
    const Bytes wav = test::readFile(path);
    EXPECT_GT(wav.size(), 44u);
    if (wav.size() <= 44)
      return {};
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    std::size_t at = 12;
    while (at + 8 < wav.size() && std::string(wav.begin() + static_cast<std::ptrdiff_t>(at),
                                              wav.begin() + static_cast<std::ptrdiff_t>(at) + 4) != "data")
      at += 8 + le32(wav, at + 4);
    EXPECT_EQ(le32(wav, at + 4), wav.size() - at - 8);
    return Bytes(wav.begin() + static_cast<std::ptrdiff_t>(at + 8), wav.end());
  }

  FakeWindow fake;
  Session session{fake};
  test::TempDir dir;
  std::string out = dir.file("out");
};

TEST_F(LpcmWavJob, LpcmGoesIntoAWavFileAcrossBothParts) {
  const LpcmFeature one = makeLpcm(300'000, 1);
  const LpcmFeature two = makeLpcm(200'000, 9'000);
  test::writeFile(dir.file("FEATURE_1.EVO"), one.file);
  test::writeFile(dir.file("FEATURE_2.EVO"), two.file);
  session.chooseEvoFile(dir.file("FEATURE_1.EVO"));
  session.bCheckClick();
  fake.logLines.clear();
  session.bDemuxClick();

  const std::string wav = out + "/FEATURE_1.LPCM.stream.01.wav";
  EXPECT_EQ(fake.logLines, (std::vector<std::string>{"Opening file FEATURE_1.EVO", "File size: 0 Mbytes.",
                                                     "Creating " + out + "/FEATURE_1.AVC.stream.00.mpv",
                                                     "Creating " + wav, "Continue on FEATURE_2.EVO", "Done."}));
  Bytes both = one.pcm;
  both.insert(both.end(), two.pcm.begin(), two.pcm.end());
  EXPECT_TRUE(wavData(wav) == both);

  // Without the option the same stream is written raw, as always.
  fake.optionsOn[static_cast<std::size_t>(Option::LpcmWav)] = false;
  session.bDemuxClick();
  Bytes raw = one.samples;
  raw.insert(raw.end(), two.samples.begin(), two.samples.end());
  EXPECT_TRUE(test::readFile(out + "/FEATURE_1.LPCM.stream.01.mpa") == raw);
}

TEST_F(LpcmWavJob, LpcmWithAnUnreadableHeaderIsWrittenRaw) {
  constexpr std::uint8_t WORD_LENGTH_28 = 0xC1;  // a word length code no LPCM stream uses
  const LpcmFeature feature = makeLpcm(100'000, 5, WORD_LENGTH_28);
  test::writeFile(dir.file("MOVIE.EVO"), feature.file);
  session.chooseEvoFile(dir.file("MOVIE.EVO"));
  session.bCheckClick();
  fake.logLines.clear();
  session.bDemuxClick();

  const std::string raw = out + "/MOVIE.LPCM.stream.01.mpa";
  EXPECT_EQ(fake.logLines,
            (std::vector<std::string>{"Opening file MOVIE.EVO", "File size: 0 Mbytes.",
                                      "Creating " + out + "/MOVIE.AVC.stream.00.mpv", "Creating " + raw,
                                      "LPCM header cannot be read: " + raw + " is written raw", "Done."}));
  EXPECT_TRUE(test::readFile(raw) == feature.samples);
}

TEST_F(LpcmWavJob, ACancelledDemuxLeavesAValidWav) {
  const LpcmFeature feature = makeLpcm(9 * 1024 * 1024, 3);  // progress, and so Cancel, comes every 4 MiB
  test::writeFile(dir.file("MOVIE.EVO"), feature.file);
  session.chooseEvoFile(dir.file("MOVIE.EVO"));
  fake.fastCheckChecked = false;
  session.bCheckClick();
  fake.confirmAnswer = true;
  fake.onProcessEvents = [&] { session.bCancelClick(); };
  session.bDemuxClick();
  fake.onProcessEvents = nullptr;

  EXPECT_EQ(fake.logLines.back(), "Done.");
  const Bytes data = wavData(out + "/MOVIE.LPCM.stream.01.wav");
  ASSERT_FALSE(data.empty());
  EXPECT_LT(data.size(), feature.pcm.size());  // stopped early
  EXPECT_TRUE(test::isPrefix(data, feature.pcm));
}

}  // namespace
}  // namespace ardunex
