// SPDX-License-Identifier: GPL-2.0-or-later
// The WAV writer: sample layouts of 16, 20 and 24 bits across packet splits, the header, format changes,
// RF64, and a valid header on every way out.
#include "outputs/wav_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "base/errors.h"
#include "support/fake_window.h"
#include "support/memory_files.h"

namespace ardunex {
namespace {

using test::Bytes;

/// The three further LPCM header bytes: word length code, rate code (0: 48 kHz, 1: 96 kHz), channels.
std::array<std::uint8_t, 3> header(int bits, int sampleRate, int channels) {
  const int quantization = bits == 16 ? 0 : bits == 20 ? 1 : bits == 24 ? 2 : 3;
  const int rate = sampleRate == 96000 ? 1 : 0;
  return {0x05, static_cast<std::uint8_t>(quantization << 6 | rate << 4 | (channels - 1)), 0x80};
}

/// Packs interleaved samples (the top `bits` bits of 24-bit values) the way the disc stores them.
Bytes discSamples(const std::vector<std::int32_t>& samples, int bits, int channels) {
  Bytes out;
  if (bits == 16) {
    for (const std::int32_t s : samples) {
      out.push_back(static_cast<std::uint8_t>(s >> 16));
      out.push_back(static_cast<std::uint8_t>(s >> 8));
    }
    return out;
  }
  const std::size_t group = channels == 1 ? 2 : 4;
  for (std::size_t g = 0; g + group <= samples.size(); g += group) {
    for (std::size_t k = 0; k < group; ++k) {
      out.push_back(static_cast<std::uint8_t>(samples[g + k] >> 16));
      out.push_back(static_cast<std::uint8_t>(samples[g + k] >> 8));
    }
    for (std::size_t k = 0; k < group; ++k) {
      if (bits == 24)
        out.push_back(static_cast<std::uint8_t>(samples[g + k]));
      else if (k % 2 == 0)
        out.push_back(static_cast<std::uint8_t>((samples[g + k] & 0xF0) | (samples[g + k + 1] & 0xF0) >> 4));
    }
  }
  return out;
}

/// The same samples as little-endian PCM of 2 or 3 bytes.
Bytes pcmSamples(const std::vector<std::int32_t>& samples, int bits) {
  Bytes out;
  for (const std::int32_t s : samples) {
    if (bits != 16)
      out.push_back(static_cast<std::uint8_t>(bits == 20 ? s & 0xF0 : s));
    out.push_back(static_cast<std::uint8_t>(s >> 8));
    out.push_back(static_cast<std::uint8_t>(s >> 16));
  }
  return out;
}

std::uint32_t le32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t le16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }
std::uint64_t le64(const Bytes& b, std::size_t at) { return le32(b, at) | std::uint64_t{le32(b, at + 4)} << 32; }
std::string id(const Bytes& b, std::size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

/// Where the data chunk's bytes begin, after walking the chunks.
std::size_t dataOffset(const Bytes& wav) {
  std::size_t at = 12;
  while (at + 8 <= wav.size() && id(wav, at) != "data")
    at += 8 + le32(wav, at + 4);
  return at + 8;
}

struct WavTest : testing::Test {
  FakeWindow window;
  Bytes sink;
  int open = 0;

  std::unique_ptr<WavWriter> writer(std::uint64_t maxRiff = WavWriter::MAX_RIFF_SIZE) {
    auto file = std::make_unique<test::MemoryOutputFile>("/out/A.LPCM.stream.00.wav", sink, &open);
    inner = file.get();
    return std::make_unique<WavWriter>(std::move(file), window, maxRiff);
  }

  /// Feeds bytes as packets of the given sizes in turn, the header told before each.
  static void packets(WavWriter& wav, const Bytes& bytes, const std::array<std::uint8_t, 3>& head,
                      const std::vector<std::size_t>& sizes) {
    std::size_t at = 0;
    for (std::size_t i = 0; at < bytes.size(); ++i) {
      const std::size_t n = std::min(sizes[i % sizes.size()], bytes.size() - at);
      wav.lpcmHeader(head);
      wav.append(bytes.data() + at, n);
      at += n;
    }
  }

  test::MemoryOutputFile* inner = nullptr;
};

TEST_F(WavTest, UnpacksEveryLayoutAcrossPacketSplits) {
  const struct {
    int channels, bits, rate;
    bool extensible;
    std::uint32_t mask;
  } formats[] = {
      {2, 16, 48000, false, 0},  {1, 16, 96000, false, 0},   {6, 16, 48000, true, 0x3F},  {2, 24, 96000, true, 0x3},
      {1, 24, 48000, true, 0x4}, {6, 24, 48000, true, 0x3F}, {8, 24, 96000, true, 0x63F}, {2, 20, 48000, true, 0x3},
      {1, 20, 48000, true, 0x4}, {6, 20, 96000, true, 0x3F}, {8, 20, 48000, true, 0x63F},
  };
  for (const auto& f : formats) {
    SCOPED_TRACE(std::to_string(f.channels) + " ch " + std::to_string(f.bits) + " bit");
    sink.clear();
    std::vector<std::int32_t> samples;
    for (int i = 0; i < 48 * f.channels; ++i)  // 48 frames: whole blocks for every layout
      samples.push_back(static_cast<std::int32_t>((i * 0x9E3779B1u) >> 8) & 0xFFFFFF);
    Bytes disc = discSamples(samples, f.bits, f.channels);
    disc.push_back(0x11);  // a block cut short by the end of the stream: dropped
    auto wav = writer();
    packets(*wav, disc, header(f.bits, f.rate, f.channels), {7, 1, 130, 13, 64});
    wav->close();

    const int sampleBytes = f.bits == 16 ? 2 : 3;
    ASSERT_GE(sink.size(), 44u);
    EXPECT_EQ(id(sink, 0), "RIFF");
    EXPECT_EQ(le32(sink, 4), sink.size() - 8);
    EXPECT_EQ(id(sink, 8), "WAVE");
    const std::size_t fmt = 12 + 8 + le32(sink, 16);  // after the placeholder chunk
    ASSERT_EQ(id(sink, fmt), "fmt ");
    EXPECT_EQ(le32(sink, fmt + 4), f.extensible ? 40u : 16u);
    EXPECT_EQ(le16(sink, fmt + 8), f.extensible ? 0xFFFE : 1);
    EXPECT_EQ(le16(sink, fmt + 10), f.channels);
    EXPECT_EQ(le32(sink, fmt + 12), static_cast<std::uint32_t>(f.rate));
    EXPECT_EQ(le32(sink, fmt + 16), static_cast<std::uint32_t>(f.rate * f.channels * sampleBytes));
    EXPECT_EQ(le16(sink, fmt + 20), f.channels * sampleBytes);
    EXPECT_EQ(le16(sink, fmt + 22), sampleBytes * 8);
    if (f.extensible) {
      EXPECT_EQ(le16(sink, fmt + 24), 22);
      EXPECT_EQ(le16(sink, fmt + 26), f.bits);
      EXPECT_EQ(le32(sink, fmt + 28), f.mask);
      EXPECT_EQ(le16(sink, fmt + 32), 1);  // the PCM sub-format
    }
    const std::size_t data = dataOffset(sink);
    EXPECT_EQ(le32(sink, data - 4), sink.size() - data);
    EXPECT_EQ(Bytes(sink.begin() + static_cast<std::ptrdiff_t>(data), sink.end()), pcmSamples(samples, f.bits));
    EXPECT_TRUE(window.logLines.empty());
  }
}

TEST_F(WavTest, AFormatChangeOrAnUnreadableHeaderEndsTheData) {
  const Bytes stereo16 = discSamples(std::vector<std::int32_t>(64, 0x123456), 16, 2);
  const struct {
    std::array<std::uint8_t, 3> second;
    std::string line;
  } cases[] = {
      {header(24, 48000, 2),
       "LPCM format changes from 2 channels, 48000 Hz, 16 bit to 2 channels, 48000 Hz, 24 bit: "
       "/out/A.LPCM.stream.00.wav ends before it"},
      {header(16, 96000, 2),
       "LPCM format changes from 2 channels, 48000 Hz, 16 bit to 2 channels, 96000 Hz, 16 bit: "
       "/out/A.LPCM.stream.00.wav ends before it"},
      {header(28, 48000, 2), "LPCM header cannot be read: /out/A.LPCM.stream.00.wav ends before it"},
  };
  for (const auto& c : cases) {
    sink.clear();
    window.logLines.clear();
    auto wav = writer();
    packets(*wav, stereo16, header(16, 48000, 2), {10});  // 2 and a half frames per packet
    wav->lpcmHeader(c.second);
    wav->append(stereo16.data(), stereo16.size());
    packets(*wav, stereo16, header(16, 48000, 2), {10});  // the old format again: the file has ended
    wav->close();
    EXPECT_EQ(window.logLines, std::vector<std::string>{c.line});
    const std::size_t data = dataOffset(sink);
    EXPECT_EQ(sink.size() - data, stereo16.size());  // the first run only, whole frames
    EXPECT_EQ(le32(sink, data - 4), stereo16.size());
    EXPECT_EQ(le32(sink, 4), sink.size() - 8);
  }

  // Unreadable from the first packet: a header-less, empty file rather than a wrong header.
  sink.clear();
  window.logLines.clear();
  auto wav = writer();
  packets(*wav, stereo16, header(28, 48000, 2), {100});
  wav->close();
  EXPECT_TRUE(sink.empty());
  EXPECT_EQ(window.logLines.size(), 1u);

  // Unreadable in the first packet only: the WAV starts at the second, saying what it left out.
  sink.clear();
  wav = writer();
  wav->lpcmHeader(header(28, 48000, 2));
  packets(*wav, stereo16, header(16, 48000, 2), {100});
  wav->close();
  EXPECT_EQ(sink.size() - dataOffset(sink), stereo16.size());
  EXPECT_EQ(window.logLines.back().rfind("LPCM header cannot be read in the first 1 packets: their 0 bytes", 0), 0u);
}

TEST_F(WavTest, Rf64BeyondTheRiffLimit) {
  const Bytes disc = discSamples(std::vector<std::int32_t>(600, 0x010203), 24, 2);
  for (const std::uint64_t limit : {std::uint64_t{10'000}, std::uint64_t{500}}) {
    sink.clear();
    auto wav = writer(limit);
    packets(*wav, disc, header(24, 96000, 2), {2000});
    wav->close();
    const std::size_t data = dataOffset(sink);
    const std::uint64_t dataBytes = 600 * 3;
    ASSERT_EQ(sink.size() - data, dataBytes);
    if (limit > sink.size()) {
      EXPECT_EQ(id(sink, 0), "RIFF");
      EXPECT_EQ(id(sink, 12), "JUNK");
      EXPECT_EQ(le32(sink, data - 4), dataBytes);
      continue;
    }
    EXPECT_EQ(id(sink, 0), "RF64");
    EXPECT_EQ(le32(sink, 4), 0xFFFFFFFFu);
    EXPECT_EQ(id(sink, 12), "ds64");
    EXPECT_EQ(le32(sink, 16), 28u);
    EXPECT_EQ(le64(sink, 20), sink.size() - 8);
    EXPECT_EQ(le64(sink, 28), dataBytes);
    EXPECT_EQ(le64(sink, 36), 300u);  // sample frames
    EXPECT_EQ(le32(sink, data - 4), 0xFFFFFFFFu);
  }
}

TEST_F(WavTest, TheSizesCountOnlyWhatReachedTheFile) {
  const Bytes disc = discSamples(std::vector<std::int32_t>(5000, 0x123456), 16, 2);
  for (const std::int64_t failAfter : {50, 1001, 5003}) {  // in the header, in frames, at a frame's end
    sink.clear();
    auto wav = writer();
    inner->failAfter = failAfter;
    EXPECT_THROW(packets(*wav, disc, header(16, 48000, 2), {1000}), StreamWriteError);
    wav.reset();  // closed by the job after the failure, which reports it
    const std::size_t data = sink.empty() ? 0 : dataOffset(sink);
    EXPECT_EQ(sink.empty(), failAfter < 80);  // no file poses as a WAV without its whole header
    EXPECT_TRUE(sink.empty() || (le32(sink, 4) == sink.size() - 8 && le32(sink, data - 4) == sink.size() - data));
    EXPECT_EQ((sink.size() - data) % 4, 0u);  // whole frames
  }
}

TEST_F(WavTest, TheHeaderIsCompleteOnEveryWayOut) {
  const Bytes disc = discSamples(std::vector<std::int32_t>(400, 0x7F0000), 16, 2);
  {
    auto wav = writer();
    packets(*wav, disc, header(16, 48000, 2), {300});
  }  // destroyed unclosed, as when a failure is on its way
  EXPECT_EQ(open, 0);
  EXPECT_EQ(le32(sink, 4), sink.size() - 8);
  EXPECT_EQ(le32(sink, dataOffset(sink) - 4), 800u);

  sink.clear();
  auto wav = writer();
  packets(*wav, disc, header(16, 48000, 2), {300});
  inner->failClose = true;
  EXPECT_THROW(wav->close(), StreamWriteError);
  EXPECT_EQ(le32(sink, 4), sink.size() - 8);
  EXPECT_NO_THROW(wav->close());  // closed once only

  // A failed size write is reported, and the file is closed all the same.
  sink.clear();
  wav = writer();
  packets(*wav, disc, header(16, 48000, 2), {300});
  sink.resize(4);  // the header is gone, so writing its sizes fails
  EXPECT_THROW(wav->close(), StreamWriteError);
  EXPECT_EQ(open, 0);
}

}  // namespace
}  // namespace ardunex
