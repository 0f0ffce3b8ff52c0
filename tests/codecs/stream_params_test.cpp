// SPDX-License-Identifier: GPL-2.0-or-later
// Stream parameters read from the first bytes of a stream: streams encoded by ffmpeg against ffprobe's
// reading of them, hand-built headers ffmpeg cannot write, and damaged input.
#include "codecs/stream_params.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/ps_builder.h"

namespace ardunex {

void PrintTo(const StreamParams& p, std::ostream* os) {
  *os << "{" << p.width.value_or(0) << "x" << p.height.value_or(0) << " " << p.frameRate.value_or("-") << " "
      << p.channels.value_or(0) << "ch lfe " << p.lfe.value_or(false) << " " << p.sampleRate.value_or(0) << " Hz "
      << p.bits.value_or(0) << " bit}";
}

namespace test {
namespace {

StreamParams picture(int width, int height, std::optional<std::string> frameRate = std::nullopt) {
  StreamParams p;
  p.width = width;
  p.height = height;
  p.frameRate = std::move(frameRate);
  return p;
}

StreamParams sound(int channels, std::optional<bool> lfe, int sampleRate, std::optional<int> bits = std::nullopt) {
  StreamParams p;
  p.channels = channels;
  p.lfe = lfe;
  p.sampleRate = sampleRate;
  p.bits = bits;
  return p;
}

/// Feeds bytes from offset on in chunks of the given size until the probe has what it wants.
StreamParams probe(StreamCoding coding, const Bytes& bytes, std::size_t chunk, std::size_t offset = 0) {
  StreamParamProbe p(coding);
  for (std::size_t at = offset; at < bytes.size() && p.wantsMore(); at += chunk)
    p.feed(std::span(bytes).subspan(at, std::min(chunk, bytes.size() - at)));
  return p.params();
}

/// Writes bitstream fields most significant bit first, with exp-Golomb codes.
class BitWriter {
 public:
  BitWriter& put(std::uint64_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (m_used % 8 == 0)
        m_bytes.push_back(0);
      m_bytes.back() |= static_cast<std::uint8_t>(((value >> i) & 1) << (7 - m_used % 8));
      ++m_used;
    }
    return *this;
  }
  BitWriter& ue(std::uint32_t value) {
    int bits = 0;
    while ((std::uint64_t{value} + 1) >> (bits + 1))
      ++bits;
    return put(0, bits).put(std::uint64_t{value} + 1, bits + 1);
  }
  /// The bytes as written, the last one filled up with zero bits.
  const Bytes& bytes() const { return m_bytes; }
  /// The bytes with a stop bit, each 00 00 followed by a byte up to 03 escaped with 03.
  Bytes escaped() {
    put(1, 1);
    Bytes out;
    int zeros = 0;
    for (std::uint8_t b : m_bytes) {
      if (zeros >= 2 && b <= 3) {
        out.push_back(3);
        zeros = 0;
      }
      out.push_back(b);
      zeros = b == 0 ? zeros + 1 : 0;
    }
    return out;
  }

 private:
  Bytes m_bytes;
  int m_used = 0;
};

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts)
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

// --- Streams encoded by ffmpeg, read by ffprobe ---

struct EncodeCase {
  StreamCoding coding;
  std::string source;                // lavfi graph
  std::vector<std::string> options;  // encoder options
  std::string format;                // raw output format
};

EncodeCase video(StreamCoding coding, const std::string& size, const std::string& rate,
                 std::vector<std::string> extra = {}) {
  const bool avc = coding == StreamCoding::Avc;
  std::vector<std::string> options = {"-c:v", avc ? "libx264" : "mpeg2video", "-frames:v", "2"};
  if (avc)
    options.insert(options.end(), {"-preset", "ultrafast"});
  options.insert(options.end(), extra.begin(), extra.end());
  return {coding, "testsrc=size=" + size + ":rate=" + rate, options, avc ? "h264" : "mpeg2video"};
}

std::string tone(int rate) { return "sine=frequency=440:sample_rate=" + std::to_string(rate) + ":duration=0.2"; }

EncodeCase sound(StreamCoding coding, const std::string& encoder, const std::string& format, int channels, int rate) {
  std::vector<std::string> options = {"-c:a", encoder, "-ac", std::to_string(channels)};
  if (encoder == "dca" || encoder == "truehd" || encoder == "mlp")
    options.insert(options.end(), {"-strict", "-2"});
  return {coding, tone(rate), options, format};
}

const std::vector<EncodeCase> ENCODE_CASES = {
    video(StreamCoding::Mpeg2Video, "720x576", "25"),
    video(StreamCoding::Mpeg2Video, "1920x1080", "24000/1001"),
    video(StreamCoding::Mpeg2Video, "1920x1080", "30000/1001", {"-flags", "+ilme+ildct"}),
    video(StreamCoding::Mpeg2Video, "1280x720", "60000/1001"),
    // 4:2:0 crops in pairs of lines, 4:4:4 line by line.
    video(StreamCoding::Avc, "1920x1080", "24000/1001", {"-pix_fmt", "yuv420p"}),
    video(StreamCoding::Avc, "1280x720", "25", {"-pix_fmt", "yuv420p"}),
    video(StreamCoding::Avc, "720x480", "60000/1001", {"-pix_fmt", "yuv420p", "-profile:v", "high"}),
    video(StreamCoding::Avc, "642x362", "30000/1001", {"-pix_fmt", "yuv444p"}),
    video(StreamCoding::Avc, "1920x1080", "30000/1001", {"-pix_fmt", "yuv420p", "-x264opts", "interlaced=1"}),
    sound(StreamCoding::Ac3, "ac3", "ac3", 2, 48000),
    sound(StreamCoding::Ac3, "ac3", "ac3", 6, 48000),
    sound(StreamCoding::Ac3, "ac3", "ac3", 1, 44100),
    sound(StreamCoding::Eac3, "eac3", "eac3", 6, 48000),
    sound(StreamCoding::Eac3, "eac3", "eac3", 2, 32000),
    sound(StreamCoding::Dts, "dca", "dts", 6, 48000),
    sound(StreamCoding::Dts, "dca", "dts", 2, 44100),
    sound(StreamCoding::Mlp, "truehd", "truehd", 6, 48000),
    sound(StreamCoding::Mlp, "truehd", "truehd", 2, 96000),
    sound(StreamCoding::Mlp, "mlp", "mlp", 2, 44100),
    sound(StreamCoding::MpegAudio, "mp2", "mp2", 2, 48000),
    sound(StreamCoding::MpegAudio, "mp2", "mp2", 1, 22050),
};

bool isVideo(StreamCoding coding) {
  return coding == StreamCoding::Mpeg2Video || coding == StreamCoding::Avc || coding == StreamCoding::Vc1;
}

/// ffprobe's width, height, r_frame_rate, channels and sample_rate of the first stream.
StreamParams ffprobeParams(const TempDir& dir, const std::string& path, const std::string& format, bool video) {
  // Named, not guessed: a few frames are too little for ffprobe to recognise every raw format.
  const std::map<std::string, std::string> demuxers = {{"mpeg2video", "mpegvideo"}, {"mp2", "mp3"}, {"vob", "mpeg"}};
  const auto demuxer = demuxers.find(format);
  const CliResult result =
      runProgram(dir, "ffprobe",
                 {"-v", "error", "-f", demuxer == demuxers.end() ? format : demuxer->second, "-select_streams",
                  video ? "v:0" : "a:0", "-show_entries", "stream=width,height,r_frame_rate,channels,sample_rate",
                  "-of", "default=nw=1", path});
  EXPECT_EQ(0, result.status) << result.err;
  std::map<std::string, std::string> fields;
  for (const std::string& line : lines(result.out))
    if (const std::size_t eq = line.find('='); eq != std::string::npos)
      fields[line.substr(0, eq)] = line.substr(eq + 1);
  const auto number = [&](const char* key) {
    EXPECT_EQ(0u, fields[key].find_first_of("0123456789")) << "ffprobe gave no " << key << ":\n" << result.out;
    return std::atoi(fields[key].c_str());
  };
  return video ? picture(number("width"), number("height"), fields["r_frame_rate"])
               : sound(number("channels"), std::nullopt, number("sample_rate"));
}

bool haveFfmpeg() { return programOnPath("ffmpeg") && programOnPath("ffprobe"); }

TEST(StreamParams, EqualFfprobeOnStreamsEncodedByFfmpeg) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH";
  const bool x264 = std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q libx264") == 0;
  TempDir dir;
  for (const EncodeCase& c : ENCODE_CASES) {
    SCOPED_TRACE(c.source + " " + c.options[1] + " " + c.options[3]);
    if (c.coding == StreamCoding::Avc && !x264)
      continue;
    const std::string path = dir.file("stream." + c.format);
    std::vector<std::string> args = {"-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                                     "-f",       "lavfi",        "-i",        c.source};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {"-threads", "1", "-f", c.format, path});
    const CliResult made = runProgram(dir, "ffmpeg", args);
    ASSERT_EQ(0, made.status) << made.err;
    const Bytes bytes = readFile(path);
    const bool video = isVideo(c.coding);
    const StreamParams expected = ffprobeParams(dir, path, c.format, video);

    // Whole packets, and the same bytes in odd small pieces so that headers are split between feeds.
    for (std::size_t chunk : {std::size_t{2048}, std::size_t{37}}) {
      StreamParams got = probe(c.coding, bytes, chunk);
      got.lfe.reset();
      EXPECT_EQ(expected, got) << "chunks of " << chunk << ": " << describeParams(c.coding, got);
    }
    // Audio picked up in the middle of a frame: the next whole frame is found and confirmed.
    if (!video) {
      StreamParams got = probe(c.coding, bytes, 500, 101);
      got.lfe.reset();
      EXPECT_EQ(expected, got) << "from byte 101";
    }
  }
}

TEST(StreamParams, LpcmHeaderOfAnFfmpegDvdMuxEqualsFfprobe) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH";
  struct Case {
    int rate;
    int channels;
    std::string format;  // s16: 16 bit, s32: 24 bit
    int bits;
  };
  TempDir dir;
  for (const Case& c :
       {Case{48000, 2, "s16", 16}, Case{96000, 2, "s32", 24}, Case{48000, 6, "s16", 16}, Case{48000, 1, "s32", 24}}) {
    SCOPED_TRACE(std::to_string(c.rate) + " " + std::to_string(c.channels));
    const std::string vob = dir.file("lpcm.vob");
    const std::string data = dir.file("lpcm.bin");
    CliResult r =
        runProgram(dir, "ffmpeg",
                   {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", tone(c.rate), "-ac",
                    std::to_string(c.channels), "-c:a", "pcm_dvd", "-sample_fmt", c.format, "-f", "vob", vob});
    ASSERT_EQ(0, r.status) << r.err;
    // ffmpeg keeps the three further header bytes in front of every packet it extracts.
    r = runProgram(
        dir, "ffmpeg",
        {"-nostdin", "-loglevel", "error", "-y", "-i", vob, "-map", "0:a:0", "-c", "copy", "-f", "data", data});
    ASSERT_EQ(0, r.status) << r.err;
    const Bytes bytes = readFile(data);
    ASSERT_GE(bytes.size(), 3u);
    StreamParams expected = ffprobeParams(dir, vob, "vob", false);
    expected.bits = c.bits;
    const std::span<const std::uint8_t, 3> header(bytes.data(), 3);
    EXPECT_EQ(expected, lpcmParams(header));
    StreamParamProbe p(StreamCoding::Lpcm);
    p.feed(std::span(bytes).subspan(3, 100));
    EXPECT_TRUE(p.wantsMore());
    p.feedLpcmHeader(header);
    EXPECT_FALSE(p.wantsMore());
    EXPECT_EQ(expected, p.params());
  }
}

// --- Hand-built headers ---

/// A VC-1 advanced profile sequence header with a display extension when displayRate is set.
Bytes vc1SequenceHeader(int width, int height, int rateField, bool explicitRate) {
  BitWriter w;
  w.put(3, 2).put(3, 3).put(1, 2).put(0, 3).put(0, 5).put(0, 1);  // profile, level, colordiff, postproc
  w.put(width / 2 - 1, 12).put(height / 2 - 1, 12);               // max_coded_width, max_coded_height
  w.put(1, 1).put(1, 1).put(0, 1).put(0, 1).put(1, 1).put(0, 1);  // pulldown ... psf
  if (rateField < 0) {
    w.put(0, 1);  // no display_ext
  } else {
    w.put(1, 1).put(width - 1, 14).put(height - 1, 14);
    w.put(1, 1).put(1, 4);  // aspect_ratio_flag, aspect_ratio 1:1
    w.put(1, 1).put(explicitRate ? 1 : 0, 1);
    if (explicitRate)
      w.put(rateField, 16);
    else
      w.put(rateField >> 4, 8).put(rateField & 15, 4);
    w.put(0, 1).put(0, 1);  // color_format_flag, hrd_param_flag
  }
  return concat({{0, 0, 1, 0x0F}, w.escaped(), {0, 0, 1, 0x0E}});
}

TEST(StreamParams, Vc1SequenceHeaders) {
  struct Case {
    Bytes bytes;
    StreamParams expected;
  };
  const std::vector<Case> cases = {
      {vc1SequenceHeader(1920, 1080, 0x12, false), picture(1920, 1080, "24000/1001")},
      {vc1SequenceHeader(1920, 1080, 0x11, false), picture(1920, 1080, "24/1")},
      {vc1SequenceHeader(1440, 1080, 0x41, false), picture(1440, 1080, "50/1")},
      {vc1SequenceHeader(1280, 720, 0x72, false), picture(1280, 720, "72000/1001")},
      {vc1SequenceHeader(1280, 720, 32 * 25 - 1, true), picture(1280, 720, "25/1")},
      {vc1SequenceHeader(720, 480, -1, false), picture(720, 480)},
      // Frame rate codes outside the tables leave the rate unknown.
      {vc1SequenceHeader(720, 480, 0x81, false), picture(720, 480)},
      {vc1SequenceHeader(720, 480, 0x13, false), picture(720, 480)},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    // Behind an entry of garbage, and split into pieces of every small size.
    const Bytes bytes = concat({payload(300, 9), cases[i].bytes});
    for (std::size_t chunk : {std::size_t{1}, std::size_t{5}, std::size_t{4096}})
      EXPECT_EQ(cases[i].expected, probe(StreamCoding::Vc1, bytes, chunk));
  }
  // Simple and main profile headers are not read.
  Bytes simple = vc1SequenceHeader(1920, 1080, 0x12, false);
  simple[4] &= 0x3F;
  EXPECT_EQ(StreamParams{}, probe(StreamCoding::Vc1, simple, 100));
}

/// An AVC sequence parameter set, baseline profile, with cropping and VUI timing.
Bytes avcSps(int widthMbs, int heightMbs, bool frameMbsOnly, std::array<int, 4> crop, std::uint32_t unitsInTick,
             std::uint32_t timeScale) {
  BitWriter w;
  w.put(66, 8).put(0, 8).put(40, 8).ue(0);  // profile_idc, constraints, level_idc, seq_parameter_set_id
  w.ue(0).ue(0).ue(0);                      // log2_max_frame_num_minus4, pic_order_cnt_type, log2_max_poc_lsb
  w.ue(1).put(0, 1);                        // max_num_ref_frames, gaps
  w.ue(widthMbs - 1).ue(heightMbs - 1).put(frameMbsOnly, 1);
  if (!frameMbsOnly)
    w.put(0, 1);
  w.put(1, 1);  // direct_8x8_inference_flag
  const bool cropping = crop != std::array<int, 4>{};
  w.put(cropping, 1);
  if (cropping)
    for (int c : crop)
      w.ue(c);
  w.put(1, 1);                                // vui_parameters_present_flag
  w.put(0, 1).put(0, 1).put(0, 1).put(0, 1);  // aspect, overscan, video signal, chroma location
  w.put(unitsInTick ? 1 : 0, 1);
  if (unitsInTick)
    w.put(unitsInTick, 32).put(timeScale, 32).put(1, 1);
  w.put(0, 1).put(0, 1).put(0, 1).put(0, 1);  // nal/vcl hrd, pic_struct, bitstream_restriction
  return concat({{0, 0, 0, 1, 0x67}, w.escaped()});
}

TEST(StreamParams, AvcSequenceParameterSets) {
  struct Case {
    Bytes sps;
    StreamParams expected;
  };
  const std::vector<Case> cases = {
      // num_units_in_tick 1 and time_scale 50 hold long runs of zeros: escaped with 03 in the stream.
      {avcSps(120, 68, true, {0, 0, 0, 4}, 1, 50), picture(1920, 1080, "25/1")},
      {avcSps(120, 34, false, {0, 0, 0, 2}, 1001, 60000), picture(1920, 1080, "30000/1001")},
      {avcSps(45, 30, true, {1, 2, 0, 0}, 0, 0), picture(714, 480)},
      {avcSps(80, 45, true, {}, 1, 0x100), picture(1280, 720, "128/1")},
      // Cropping that would leave nothing is ignored.
      {avcSps(4, 4, true, {20, 20, 0, 0}, 1001, 48000), picture(64, 64, "24000/1001")},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    const Bytes bytes = concat({{0, 0, 0, 1, 0x09, 0x10}, cases[i].sps, {0, 0, 0, 1, 0x68, 0xCE, 0x38, 0x80}});
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{4096}})
      EXPECT_EQ(cases[i].expected, probe(StreamCoding::Avc, bytes, chunk));
  }
  // The same sets cut short before the timing fields end are incomplete, not misread.
  const Bytes sps = avcSps(120, 68, true, {0, 0, 0, 4}, 1, 50);
  for (std::size_t cut = 4; cut < sps.size() - 1; ++cut) {
    StreamParamProbe p(StreamCoding::Avc);
    p.feed(std::span(sps).first(cut));
    EXPECT_TRUE(p.wantsMore()) << cut;
    EXPECT_EQ(StreamParams{}, p.params()) << cut;
  }
}

/// An MPEG video sequence header, optionally with a quantiser matrix and a sequence extension.
Bytes mpegSequence(int width, int height, int rateCode, bool matrix, std::optional<std::array<int, 4>> extension) {
  BitWriter w;
  w.put(0x1B3, 32).put(width & 0xFFF, 12).put(height & 0xFFF, 12).put(1, 4).put(rateCode, 4);
  w.put(0x3FFFF, 18).put(1, 1).put(112, 10).put(0, 1).put(matrix, 1);  // bit_rate ... load_intra_quantiser_matrix
  for (int i = 0; matrix && i < 64; ++i)
    w.put(128, 8);
  w.put(0, 1);  // load_non_intra_quantiser_matrix
  if (extension) {
    const auto [hExt, vExt, n, d] = *extension;
    w.put(0x1B5, 32).put(1, 4).put(0x48, 8).put(1, 1).put(1, 2).put(hExt, 2).put(vExt, 2);
    w.put(0, 12).put(1, 1).put(0, 8).put(0, 1).put(n, 2).put(d, 5);
  }
  w.put(0x1B8, 32).put(0, 32);  // a group of pictures follows
  return w.bytes();
}

TEST(StreamParams, MpegVideoSequenceHeadersAndExtensions) {
  struct Case {
    Bytes bytes;
    std::optional<StreamParams> expected;
  };
  const std::vector<Case> cases = {
      {mpegSequence(1920, 1080, 4, false, std::array{0, 0, 0, 0}), picture(1920, 1080, "30000/1001")},
      // The extension after a quantiser matrix; frame_rate_extension_n and _d scale the rate.
      {mpegSequence(1440, 1080, 3, true, std::array{0, 0, 1, 0}), picture(1440, 1080, "50/1")},
      {mpegSequence(720, 480, 1, true, std::array{0, 0, 0, 1}), picture(720, 480, "12000/1001")},
      {mpegSequence(256, 128, 8, false, std::array{1, 2, 0, 0}), picture(4352, 8320, "60/1")},
      // MPEG-1: no extension.
      {mpegSequence(352, 288, 3, true, std::nullopt), picture(352, 288, "25/1")},
      // Forbidden and reserved frame_rate_code values, a zero size.
      {mpegSequence(720, 576, 0, false, std::array{0, 0, 0, 0}), std::nullopt},
      {mpegSequence(720, 576, 9, false, std::array{0, 0, 0, 0}), std::nullopt},
      {mpegSequence(0, 576, 3, false, std::array{0, 0, 0, 0}), std::nullopt},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    const Bytes bytes = concat({payload(100, 4), cases[i].bytes});
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{4096}})
      EXPECT_EQ(cases[i].expected.value_or(StreamParams{}), probe(StreamCoding::Mpeg2Video, bytes, chunk));
  }
}

/// A DTS core frame of frameBytes bytes: 5.1 at 48 kHz.
Bytes dtsCoreFrame(std::size_t frameBytes) {
  BitWriter w;
  w.put(0x7FFE8001, 32).put(1, 1).put(31, 5).put(0, 1).put(15, 7).put(frameBytes - 1, 14);
  w.put(9, 6).put(13, 4).put(24, 5).put(0, 5).put(0, 3).put(0, 1).put(0, 1).put(1, 2);  // AMODE ... LFF
  Bytes frame = w.bytes();
  frame.resize(frameBytes, 0x5A);
  return frame;
}

TEST(StreamParams, DtsCoreFollowedByHdSubstreams) {
  const Bytes substream = concat({{0x64, 0x58, 0x20, 0x25}, payload(200, 5)});
  const Bytes core = dtsCoreFrame(1006);
  const Bytes bytes = concat({core, substream, core, substream, core});
  // Picked up inside the first frame, the second core frame is confirmed by the substream after it.
  for (std::size_t chunk : {std::size_t{1}, std::size_t{100}, std::size_t{5000}})
    EXPECT_EQ(sound(6, true, 48000), probe(StreamCoding::Dts, bytes, chunk, 10));
  // Followed by something else, a sync word away from the start is not taken.
  const Bytes unconfirmed = concat({payload(10, 6), core, payload(300, 7)});
  EXPECT_EQ(StreamParams{}, probe(StreamCoding::Dts, unconfirmed, 64));
}

TEST(StreamParams, MlpMajorSyncWithBadCrcIsPassedOver) {
  // A TrueHD major sync for 48 kHz 5.1 whose CRC fails, then nothing more.
  Bytes sync = {0xF8, 0x72, 0x6F, 0xBA, 0x00, 0x97, 0xC0, 0x0F, 0xB7, 0x52, 0, 0, 0,    0,
                0x8C, 0x7F, 0x11, 0x04, 0x54, 0,    0,    0,    0x80, 0x80, 0, 0, 0x12, 0x34};
  EXPECT_EQ(StreamParams{}, probe(StreamCoding::Mlp, sync, 7));
}

TEST(StreamParams, Ac3SyncInsideAFrameIsNotTakenForAHeader) {
  // A false sync word with a plausible 44.1 kHz mono header and no frame after it, then real 48 kHz
  // stereo frames (64 kbit/s: 256 bytes each): only the confirmed frame counts.
  Bytes fake = {0xAA, 0x0B, 0x77, 0x00, 0x00, 0x40, 0x40, 0x20, 0x00};
  Bytes frame(256, 0x55);
  frame[0] = 0x0B, frame[1] = 0x77, frame[4] = 0x08, frame[5] = 0x40, frame[6] = 0x40;  // 64 kbit/s, 2/0
  const Bytes bytes = concat({fake, payload(300, 3), frame, frame, frame});
  for (std::size_t chunk : {std::size_t{1}, std::size_t{64}, std::size_t{5000}})
    EXPECT_EQ(sound(2, false, 48000), probe(StreamCoding::Ac3, bytes, chunk));
  // At the very start of the stream a frame needs no confirmation.
  EXPECT_EQ(sound(2, false, 48000), probe(StreamCoding::Ac3, frame, 300));
}

// --- Damaged input ---

TEST(StreamParams, GarbageIsBoundedAndFindsNothing) {
  const Bytes noise = trickyPayload(3 * StreamParamProbe::PROBE_LIMIT, 77);
  const Bytes zeros(3 * StreamParamProbe::PROBE_LIMIT, 0);
  for (StreamCoding coding :
       {StreamCoding::Mpeg2Video, StreamCoding::Avc, StreamCoding::Vc1, StreamCoding::Ac3, StreamCoding::Eac3,
        StreamCoding::Dts, StreamCoding::Lpcm, StreamCoding::Mlp, StreamCoding::MpegAudio}) {
    SCOPED_TRACE(static_cast<int>(coding));
    for (const Bytes* bytes : {&noise, &zeros}) {
      StreamParamProbe p(coding);
      std::size_t fed = 0;
      while (p.wantsMore() && fed < bytes->size()) {
        p.feed(std::span(*bytes).subspan(fed, 1000));
        fed += 1000;
      }
      EXPECT_FALSE(p.wantsMore());
      EXPECT_EQ(StreamParamProbe::PROBE_LIMIT / 1000 + 1, fed / 1000);  // gave up at the limit, not before
      EXPECT_EQ(StreamParams{}, p.params());
    }
  }
  EXPECT_FALSE(StreamParamProbe(StreamCoding::Subpicture).wantsMore());
  const std::uint8_t reserved[3] = {0, 0xC1, 0};  // quantization_word_length '11'
  EXPECT_EQ(std::nullopt, lpcmParams(std::span<const std::uint8_t, 3>(reserved)));
}

TEST(StreamParams, Descriptions) {
  struct Case {
    StreamCoding coding;
    StreamParams params;
    std::string text;
  };
  const std::vector<Case> cases = {
      {StreamCoding::Ac3, sound(6, true, 48000), "AC-3 5.1, 48 kHz"},
      {StreamCoding::Eac3, sound(2, false, 44100), "E-AC-3 2.0, 44.1 kHz"},
      {StreamCoding::Avc, picture(1920, 1080, "24000/1001"), "1920x1080, 23.976 fps"},
      {StreamCoding::Mpeg2Video, picture(720, 576, "25/1"), "720x576, 25 fps"},
      {StreamCoding::Vc1, picture(1280, 720, "60000/1001"), "1280x720, 59.94 fps"},
      {StreamCoding::Vc1, picture(1280, 720), "1280x720"},
      {StreamCoding::Lpcm, sound(2, std::nullopt, 96000, 24), "LPCM 2.0, 96 kHz, 24 bit"},
      {StreamCoding::Lpcm, sound(6, std::nullopt, 48000, 16), "LPCM 6 ch, 48 kHz, 16 bit"},
      {StreamCoding::Dts, sound(6, true, 48000), "DTS 5.1, 48 kHz"},
      {StreamCoding::Mlp, sound(8, true, 96000), "MLP 7.1, 96 kHz"},
      {StreamCoding::MpegAudio, sound(1, false, 22050), "MPEG audio 1.0, 22.05 kHz"},
      {StreamCoding::Ac3, {}, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.text, describeParams(c.coding, c.params));
}

}  // namespace
}  // namespace test
}  // namespace ardunex
