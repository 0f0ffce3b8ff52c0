// SPDX-License-Identifier: GPL-2.0-or-later
// ardunex-cli against ffmpeg: program streams written by ffmpeg's DVD and VOB muxers are split, and every
// output file must equal what ffmpeg's own demuxer extracts from the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/cli_runner.h"
#include "support/ps_builder.h"

namespace ardunex::test {
namespace {

// Synthetic sources, all deterministic (fixed seeds where a source is random).
std::string testPattern(int seconds) { return "testsrc=size=320x240:rate=25:duration=" + std::to_string(seconds); }
std::string testPattern2(int seconds) { return "testsrc2=size=320x240:rate=25:duration=" + std::to_string(seconds); }
std::string tone(int seconds) { return "sine=frequency=440:sample_rate=48000:duration=" + std::to_string(seconds); }
std::string noise(int seconds, int seed) {
  return "anoisesrc=seed=" + std::to_string(seed) +
         ":sample_rate=48000:amplitude=0.5:duration=" + std::to_string(seconds);
}

/// How ffmpeg is asked for the bytes that ardunex must write for a stream.
enum class Oracle {
  Copy,          // -c copy into the codec's raw format
  LpcmStripped,  // -c copy -f data, then the 3 LPCM header bytes cut from every packet
  DecodedS16be,  // 16-bit LPCM decoded to big-endian samples
};

/// One stream of a test mux and what ardunex must make of it.
struct Track {
  std::string source;                                       // lavfi source graph
  std::vector<std::pair<std::string, std::string>> encode;  // per-stream encoder options, e.g. {"-c", "ac3"}
  std::string codecName;                                    // ffprobe codec_name
  std::string id;                                           // ffprobe id: stream_id or sub-stream id
  std::string box;    // the box that shows it; empty: no box (MPEG audio, or its number went to an earlier stream)
  std::string label;  // caption of that box
  std::vector<Oracle> oracles = {Oracle::Copy};
};

struct MuxCase {
  std::string name;
  std::string muxer;  // "dvd" or "vob"
  std::vector<Track> tracks;
};

void PrintTo(const MuxCase& c, std::ostream* os) { *os << c.name; }

bool haveFfmpeg() { return programOnPath("ffmpeg") && programOnPath("ffprobe"); }

bool haveX264() { return std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q libx264") == 0; }

bool usesX264(const MuxCase& mux) {
  for (const Track& track : mux.tracks)
    for (const auto& [option, value] : track.encode)
      if (value == "libx264")
        return true;
  return false;
}

std::vector<std::string> ffmpegHead() { return {"-nostdin", "-hide_banner", "-loglevel", "error", "-y"}; }

/// Encodes and muxes tracks into path with ffmpeg's muxer; fails the test with ffmpeg's message otherwise.
void mux(const TempDir& dir, const std::vector<Track>& tracks, const std::string& muxer, const std::string& path) {
  std::vector<std::string> args = ffmpegHead();
  args.insert(args.end(), {"-fflags", "+bitexact"});
  for (const Track& track : tracks)
    args.insert(args.end(), {"-f", "lavfi", "-i", track.source});
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    args.insert(args.end(), {"-map", std::to_string(i)});
    for (const auto& [option, value] : tracks[i].encode)
      args.insert(args.end(), {option + ":" + std::to_string(i), value});
  }
  args.insert(args.end(),
              {"-strict", "-2", "-threads", "1", "-flags", "+bitexact", "-fflags", "+bitexact", "-f", muxer, path});
  const CliResult result = runProgram(dir, "ffmpeg", args);
  ASSERT_EQ(0, result.status) << "ffmpeg could not make " << path << ": " << result.err;
}

std::string rawFormat(const std::string& codecName) {
  if (codecName == "pcm_dvd")
    return "data";
  return codecName;  // mpeg2video, h264, ac3, dts and mp2 are also the names of their raw muxers
}

/// The stream's bytes as ffmpeg extracts them from input (a file or a concat: URL).
Bytes extract(const TempDir& dir, const std::string& input, const Track& track, Oracle oracle) {
  const std::string out = dir.file("oracle.bin");
  std::vector<std::string> args = ffmpegHead();
  args.insert(args.end(), {"-i", input, "-map", "0:i:" + track.id});
  if (oracle == Oracle::DecodedS16be)
    args.insert(args.end(), {"-f", "s16be", out});
  else
    args.insert(args.end(), {"-c", "copy", "-f", rawFormat(track.codecName), out});
  const CliResult result = runProgram(dir, "ffmpeg", args);
  EXPECT_EQ(0, result.status) << "ffmpeg could not extract " << track.id << ": " << result.err;
  if (result.status != 0)
    return {};
  Bytes bytes = readFile(out);
  if (oracle != Oracle::LpcmStripped)
    return bytes;

  // ffmpeg keeps the 3-byte LPCM header in front of every packet; its packet sizes say where they are.
  const CliResult sizes = runProgram(
      dir, "ffprobe",
      {"-v", "error", "-select_streams", "i:" + track.id, "-show_entries", "packet=size", "-of", "csv=p=0", input});
  EXPECT_EQ(0, sizes.status) << sizes.err;
  constexpr std::size_t lpcmHeader = 3;
  Bytes stripped;
  std::size_t at = 0;
  for (const std::string& line : lines(sizes.out)) {
    const std::size_t size = std::stoul(line);
    EXPECT_GE(size, lpcmHeader);
    EXPECT_LE(at + size, bytes.size()) << "packet sizes do not add up to the extracted data";
    if (size < lpcmHeader || at + size > bytes.size())
      return {};
    stripped.insert(stripped.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + lpcmHeader),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  }
  EXPECT_EQ(bytes.size(), at) << "packet sizes do not add up to the extracted data";
  return stripped;
}

/// ffprobe's (codec_name, id) of every elementary stream in path, DVD navigation packets left out.
std::set<std::pair<std::string, std::string>> probeStreams(const TempDir& dir, const std::string& path) {
  const CliResult result =
      runProgram(dir, "ffprobe", {"-v", "error", "-show_entries", "stream=codec_name,id", "-of", "csv=p=0", path});
  EXPECT_EQ(0, result.status) << result.err;
  std::set<std::pair<std::string, std::string>> streams;
  for (const std::string& line : lines(result.out)) {
    std::istringstream fields(line);
    std::string codec, id;
    std::getline(fields, codec, ',');
    std::getline(fields, id, ',');
    if (!codec.empty() && codec != "dvd_nav_packet")  // an empty line stands for MPEG-2 side data
      streams.emplace(codec, id);
  }
  return streams;
}

struct Box {
  bool enabled = false;
  bool ticked = false;
  std::string caption;
};

/// The box lines that ardunex-cli prints after a scan ("cbAudio00  enabled  ticked    DD.stream.00").
std::map<std::string, Box> parseBoxes(const std::string& out) {
  std::map<std::string, Box> boxes;
  for (const std::string& line : lines(out)) {
    if (line.rfind("cb", 0) != 0)
      continue;
    std::istringstream fields(line);
    std::string name, enabled, ticked, caption;
    fields >> name >> enabled >> ticked;
    std::getline(fields >> std::ws, caption);
    boxes[name] = {enabled == "enabled", ticked == "ticked", caption};
  }
  return boxes;
}

std::vector<std::string> foundLines(const std::string& out) {
  std::vector<std::string> found;
  for (const std::string& line : lines(out))
    if (line.size() > 7 && line.compare(line.size() - 7, 7, " found!") == 0)
      found.push_back(line);
  return found;
}

std::set<std::string> filesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

std::string outputName(const std::string& base, const Track& track) {
  const bool video = track.box.rfind("cbVideo", 0) == 0;
  return base + "." + track.label + (video ? ".mpv" : ".mpa");
}

std::string makeFolder(const TempDir& dir, const std::string& name) {
  std::filesystem::create_directory(dir.file(name));
  return dir.file(name);
}

std::vector<Track> tracksWithBoxes(const std::vector<Track>& tracks) {
  std::vector<Track> shown;
  for (const Track& track : tracks)
    if (!track.box.empty())
      shown.push_back(track);
  return shown;
}

/// The scan shows exactly the boxes of the tracks that have one, ticked and captioned; every other box is
/// disabled; one "found" line per box.
void expectScan(const std::string& out, const std::vector<Track>& tracks) {
  const std::map<std::string, Box> boxes = parseBoxes(out);
  EXPECT_EQ(18u, boxes.size()) << out;
  std::set<std::string> shown;
  for (const Track& track : tracksWithBoxes(tracks)) {
    shown.insert(track.box);
    const auto box = boxes.find(track.box);
    ASSERT_NE(boxes.end(), box) << track.box << " missing from\n" << out;
    EXPECT_TRUE(box->second.enabled) << track.box;
    EXPECT_TRUE(box->second.ticked) << track.box;
    EXPECT_EQ(track.label, box->second.caption) << track.box;
  }
  for (const auto& [name, box] : boxes)
    if (!shown.count(name)) {
      EXPECT_FALSE(box.enabled) << name << " shows \"" << box.caption << "\" but no stream should claim it";
    }
  EXPECT_EQ(shown.size(), foundLines(out).size()) << out;
}

// Two MPEG-2 videos, AC-3 on 0x80 and 0x81, MPEG audio on 0xC0 that must be left alone.
MuxCase mpeg2PairAc3PairAndMp2() {
  return {
      "Mpeg2PairAc3PairAndMpegAudio",
      "dvd",
      {
          {testPattern(2), {{"-c", "mpeg2video"}, {"-g", "12"}}, "mpeg2video", "0x1e0", "cbVideo0", "MPEG-2.stream.00"},
          {testPattern2(2),
           {{"-c", "mpeg2video"}, {"-g", "15"}},
           "mpeg2video",
           "0x1e1",
           "cbVideo1",
           "MPEG-2.stream.01"},
          {tone(2), {{"-c", "ac3"}}, "ac3", "0x80", "cbAudio00", "DD.stream.00"},
          {noise(2, 7), {{"-c", "ac3"}, {"-b", "192k"}}, "ac3", "0x81", "cbAudio01", "DD.stream.01"},
          {noise(2, 11), {{"-c", "mp2"}}, "mp2", "0x1c0", "", ""},
      }};
}

MuxCase dtsPair() {
  return {"DtsPair",
          "dvd",
          {
              {testPattern(2), {{"-c", "mpeg2video"}}, "mpeg2video", "0x1e0", "cbVideo0", "MPEG-2.stream.00"},
              {tone(2), {{"-c", "dca"}}, "dts", "0x88", "cbAudio00", "DTSHD.stream.00"},
              {noise(2, 7), {{"-c", "dca"}, {"-ac", "2"}}, "dts", "0x89", "cbAudio01", "DTSHD.stream.01"},
          }};
}

MuxCase lpcm16And24() {
  return {"Lpcm16And24",
          "vob",
          {
              {testPattern(2), {{"-c", "mpeg2video"}}, "mpeg2video", "0x1e0", "cbVideo0", "MPEG-2.stream.00"},
              {tone(2),
               {{"-c", "pcm_dvd"}},
               "pcm_dvd",
               "0xa0",
               "cbAudio00",
               "LPCM.stream.00",
               {Oracle::LpcmStripped, Oracle::DecodedS16be}},
              {noise(2, 7),
               {{"-c", "pcm_dvd"}, {"-sample_fmt", "s32"}, {"-ac", "2"}},
               "pcm_dvd",
               "0xa1",
               "cbAudio01",
               "LPCM.stream.01",
               {Oracle::LpcmStripped}},
          }};
}

// AC-3 0x80 and DTS 0x88 both have audio number 0; the one met first claims the box, the other must not leak.
MuxCase ac3BeforeDts() {
  return {"Ac3BeforeDtsOnAudioNumber0",
          "dvd",
          {
              {testPattern(2), {{"-c", "mpeg2video"}}, "mpeg2video", "0x1e0", "cbVideo0", "MPEG-2.stream.00"},
              {tone(2), {{"-c", "ac3"}}, "ac3", "0x80", "cbAudio00", "DD.stream.00"},
              {noise(2, 7), {{"-c", "dca"}}, "dts", "0x88", "", ""},
          }};
}

MuxCase dtsBeforeAc3() {
  return {"DtsBeforeAc3OnAudioNumber0",
          "dvd",
          {
              {testPattern(2), {{"-c", "mpeg2video"}}, "mpeg2video", "0x1e0", "cbVideo0", "MPEG-2.stream.00"},
              {tone(2), {{"-c", "dca"}}, "dts", "0x88", "cbAudio00", "DTSHD.stream.00"},
              {noise(2, 7), {{"-c", "ac3"}}, "ac3", "0x80", "", ""},
          }};
}

// MPEG-2 0xE0 and H.264 0xE2 both have video number 0.
MuxCase mpeg2BeforeH264() {
  return {"Mpeg2BeforeH264OnVideoNumber0",
          "vob",
          {
              {testPattern(2), {{"-c", "mpeg2video"}}, "mpeg2video", "0x1e0", "cbVideo0", "MPEG-2.stream.00"},
              {testPattern2(2), {{"-c", "libx264"}, {"-preset", "ultrafast"}}, "h264", "0x1e2", "", ""},
              {tone(2), {{"-c", "ac3"}}, "ac3", "0x80", "cbAudio00", "DD.stream.00"},
          }};
}

MuxCase h264BeforeMpeg2() {
  return {"H264BeforeMpeg2OnVideoNumber0",
          "dvd",
          {
              {testPattern(2),
               {{"-c", "libx264"}, {"-preset", "ultrafast"}, {"-g", "25"}},
               "h264",
               "0x1e2",
               "cbVideo0",
               "AVC.stream.00"},
              {testPattern2(2), {{"-c", "mpeg2video"}}, "mpeg2video", "0x1e0", "", ""},
              {tone(2), {{"-c", "pcm_dvd"}}, "pcm_dvd", "0xa0", "cbAudio00", "LPCM.stream.00", {Oracle::LpcmStripped}},
              {noise(2, 7), {{"-c", "dca"}}, "dts", "0x88", "", ""},
          }};
}

class FfmpegMux : public testing::TestWithParam<MuxCase> {};

TEST_P(FfmpegMux, EveryShownStreamEqualsFfmpegsExtraction) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH; install ffmpeg to run the interop tests";
  const MuxCase& c = GetParam();
  if (usesX264(c) && !haveX264())
    GTEST_SKIP() << "this ffmpeg has no libx264 encoder";

  TempDir dir;
  const std::string evo = dir.file("MOVIE.EVO");
  ASSERT_NO_FATAL_FAILURE(mux(dir, c.tracks, c.muxer, evo));

  // The stream identifiers ffmpeg chose are the premise of everything below.
  std::set<std::pair<std::string, std::string>> expectedIds;
  for (const Track& track : c.tracks)
    expectedIds.emplace(track.codecName, track.id);
  ASSERT_EQ(expectedIds, probeStreams(dir, evo)) << "ffmpeg mapped the streams to other identifiers";

  const CliResult scan = runCli(dir, {"--scan", "--full-scan", evo});
  ASSERT_EQ(0, scan.status) << scan.err;
  expectScan(scan.out, c.tracks);

  const std::string out = makeFolder(dir, "out");
  const CliResult demux = runCli(dir, {"--full-scan", "-o", out, evo});
  ASSERT_EQ(0, demux.status) << demux.err;

  std::set<std::string> expectedFiles;
  for (const Track& track : tracksWithBoxes(c.tracks))
    expectedFiles.insert(outputName("MOVIE", track));
  ASSERT_EQ(expectedFiles, filesIn(out)) << demux.out;

  for (const Track& track : c.tracks) {
    SCOPED_TRACE(track.codecName + " " + track.id);
    for (Oracle oracle : track.oracles) {
      const Bytes expected = extract(dir, evo, track, oracle);
      // An empty extraction would make "nothing leaked" vacuous.
      ASSERT_FALSE(expected.empty());
      if (!track.box.empty()) {
        EXPECT_TRUE(expected == readFile(out + "/" + outputName("MOVIE", track)))
            << outputName("MOVIE", track) << " differs from ffmpeg's extraction (" << expected.size() << " bytes)";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Interop, FfmpegMux,
                         testing::Values(mpeg2PairAc3PairAndMp2(), dtsPair(), lpcm16And24(), ac3BeforeDts(),
                                         dtsBeforeAc3(), mpeg2BeforeH264(), h264BeforeMpeg2()),
                         [](const testing::TestParamInfo<MuxCase>& info) { return info.param.name; });

// One mux cut at a pack boundary into FEATURE_1.EVO and FEATURE_2.EVO: demuxed from FEATURE_1.EVO the
// second part continues the same files, which then equal ffmpeg's extraction of the uncut mux.
TEST(Interop, TwoPartFeatureContinuesIntoOneSetOfFiles) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH; install ffmpeg to run the interop tests";
  const std::vector<Track> tracks = {
      {testPattern(4), {{"-c", "mpeg2video"}, {"-g", "12"}}, "mpeg2video", "0x1e0", "cbVideo0", "MPEG-2.stream.00"},
      {testPattern2(4), {{"-c", "mpeg2video"}}, "mpeg2video", "0x1e1", "cbVideo1", "MPEG-2.stream.01"},
      {tone(4), {{"-c", "ac3"}}, "ac3", "0x80", "cbAudio00", "DD.stream.00"},
      {noise(4, 7), {{"-c", "dca"}}, "dts", "0x88", "", ""},
      {noise(4, 11), {{"-c", "dca"}}, "dts", "0x89", "cbAudio01", "DTSHD.stream.01"},
      {noise(4, 13), {{"-c", "mp2"}}, "mp2", "0x1c0", "", ""},
  };
  TempDir dir;
  const std::string whole = dir.file("whole.vob");
  ASSERT_NO_FATAL_FAILURE(mux(dir, tracks, "dvd", whole));

  constexpr std::size_t packSize = 2048;
  const Bytes bytes = readFile(whole);
  ASSERT_EQ(0u, bytes.size() % packSize);
  const std::size_t cut = bytes.size() / packSize / 2 * packSize;
  ASSERT_GT(bytes.size(), 2 * 65536u);  // each part spans several 64 KiB reads
  const std::string feature = makeFolder(dir, "feature");
  const std::string first = feature + "/FEATURE_1.EVO";
  const std::string second = feature + "/FEATURE_2.EVO";
  writeFile(first, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
  writeFile(second, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(cut), bytes.end()));

  const std::string out = makeFolder(dir, "out");
  const CliResult demux = runCli(dir, {"--full-scan", "-o", out, first});
  ASSERT_EQ(0, demux.status) << demux.err;
  expectScan(demux.out, tracks);
  EXPECT_NE(std::string::npos, demux.out.find("Continue on FEATURE_2.EVO\n")) << demux.out;

  // The premise of the shared-number check: the second part meets DTS 0x88 before AC-3 0x80, so a file
  // that followed each part's own first stream would switch codec halfway.
  const CliResult scan2 = runCli(dir, {"--scan", "--full-scan", second});
  ASSERT_EQ(0, scan2.status) << scan2.err;
  ASSERT_EQ("DTSHD.stream.00", parseBoxes(scan2.out)["cbAudio00"].caption) << scan2.out;

  // The first part alone, for a check that continuing appends after exactly what the first part gives.
  const std::string outFirst = makeFolder(dir, "first");
  const CliResult alone = runCli(dir, {"--full-scan", "--no-continue", "-o", outFirst, first});
  ASSERT_EQ(0, alone.status) << alone.err;

  std::set<std::string> expectedFiles;
  for (const Track& track : tracksWithBoxes(tracks))
    expectedFiles.insert(outputName("FEATURE_1", track));
  ASSERT_EQ(expectedFiles, filesIn(out)) << demux.out;

  const std::string joined = "concat:" + first + "|" + second;
  for (const Track& track : tracks) {
    SCOPED_TRACE(track.codecName + " " + track.id);
    const Bytes expected = extract(dir, whole, track, Oracle::Copy);
    ASSERT_FALSE(expected.empty());
    // Read as one through the concat protocol, the two parts give ffmpeg the same stream as the uncut mux.
    EXPECT_TRUE(expected == extract(dir, joined, track, Oracle::Copy));
    if (track.box.empty())
      continue;
    const Bytes continued = readFile(out + "/" + outputName("FEATURE_1", track));
    EXPECT_TRUE(expected == continued) << outputName("FEATURE_1", track) << ": " << continued.size()
                                       << " bytes, ffmpeg extracts " << expected.size();
    const Bytes head = readFile(outFirst + "/" + outputName("FEATURE_1", track));
    EXPECT_TRUE(head == extract(dir, first, track, Oracle::Copy));
    ASSERT_LT(head.size(), continued.size());
    EXPECT_TRUE(std::equal(head.begin(), head.end(), continued.begin()));
  }
}

// ----------------------------------------------------------------------------------------------------------
// The stream inventory against ffprobe: identifiers, first time stamps, parameters and delays.

/// ffprobe's streams of path by the identifier ffprobe gives them ("0x1e0", "0x80"), DVD navigation left out.
std::map<std::string, nlohmann::json> probeJson(const TempDir& dir, const std::string& path) {
  const CliResult result = runProgram(
      dir, "ffprobe",
      {"-v", "error", "-show_entries", "stream=id,codec_name,start_pts,width,height,r_frame_rate,channels,sample_rate",
       "-of", "json", path});
  EXPECT_EQ(0, result.status) << result.err;
  const nlohmann::json probed = nlohmann::json::parse(result.out);
  std::map<std::string, nlohmann::json> streams;
  for (nlohmann::json stream : probed["streams"]) {
    if (stream.value("codec_name", "") == "dvd_nav_packet")
      continue;
    if (stream.contains("sample_rate"))  // ffprobe writes it as a string
      stream["sample_rate"] = std::stoi(stream["sample_rate"].get<std::string>());
    streams[stream.value("id", "")] = stream;
  }
  return streams;
}

/// ardunex-cli --json of path (a full scan), with extra arguments before the file.
nlohmann::json scanJson(const TempDir& dir, const std::string& path, std::vector<std::string> args = {}) {
  args.insert(args.end(), {"--json", "--full-scan", path});
  const CliResult result = runCli(dir, args);
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ(1u, lines(result.out).size()) << "one JSON object and nothing else on standard output";
  return nlohmann::json::parse(result.out);
}

/// The identifier ffprobe gives a stream of the report: sub-stream ids alone, stream ids above 0x100.
std::string ffprobeId(const nlohmann::json& stream) {
  const int id = stream["stream_id"] == 0xBD ? stream["id"].get<int>() : 0x100 + stream["stream_id"].get<int>();
  char text[8];
  std::snprintf(text, sizeof text, "0x%x", id);
  return text;
}

TEST(Interop, InventoryEqualsFfprobe) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH; install ffmpeg to run the interop tests";
  std::vector<std::vector<Track>> files = {{
      {testPattern(2), {{"-c", "mpeg2video"}}, "mpeg2video", "0x1e0", "", ""},
      {tone(2), {{"-c", "ac3"}, {"-ac", "6"}}, "ac3", "0x80", "", ""},
      {noise(2, 7), {{"-c", "ac3"}, {"-ac", "2"}, {"-ar", "44100"}}, "ac3", "0x81", "", ""},
      {noise(2, 9), {{"-c", "dca"}, {"-ac", "2"}}, "dts", "0x88", "", ""},
      {tone(2), {{"-c", "pcm_dvd"}, {"-ac", "2"}}, "pcm_dvd", "0xa0", "", ""},
      {noise(2, 11), {{"-c", "mp2"}, {"-ac", "2"}}, "mp2", "0x1c0", "", ""},
  }};
  if (haveX264()) {
    files.push_back({
        {"testsrc2=size=640x360:rate=30000/1001:duration=2",
         {{"-c", "libx264"}, {"-preset", "ultrafast"}},
         "h264",
         "0x1e2",
         "",
         ""},
        {tone(2), {{"-c", "ac3"}}, "ac3", "0x80", "", ""},
    });
  }
  for (const std::vector<Track>& tracks : files) {
    TempDir dir;
    const std::string evo = dir.file("MOVIE.EVO");
    ASSERT_NO_FATAL_FAILURE(mux(dir, tracks, "dvd", evo));
    const std::map<std::string, nlohmann::json> probed = probeJson(dir, evo);
    const nlohmann::json report = scanJson(dir, evo);
    ASSERT_EQ(probed.size(), report["streams"].size()) << report["streams"].dump(1);
    EXPECT_EQ(report["size"], report["scanned_bytes"]);
    for (const nlohmann::json& stream : report["streams"]) {
      const std::string id = ffprobeId(stream);
      SCOPED_TRACE(id + " " + stream.dump());
      ASSERT_TRUE(probed.count(id));
      const nlohmann::json& probe = probed.at(id);
      EXPECT_EQ(probe["start_pts"], stream["first_pts"]);
      for (const char* field : {"width", "height", "channels", "sample_rate"})
        if (probe.contains(field)) {
          EXPECT_EQ(probe[field], stream.value(field, nlohmann::json())) << field;
        }
      if (stream["kind"] == "video") {
        EXPECT_EQ(probe["r_frame_rate"], stream.value("frame_rate", nlohmann::json()));
      }
      EXPECT_GT(stream["packets"].get<int>(), 0);
      EXPECT_EQ(0, stream["scrambled_packets"]);
    }
  }
}

TEST(Interop, AudioOffsetGivesItsDelay) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH; install ffmpeg to run the interop tests";
  TempDir dir;
  const std::string evo = dir.file("MOVIE.EVO");
  const CliResult made =
      runProgram(dir, "ffmpeg", {"-nostdin", "-hide_banner", "-loglevel",  "error", "-y", "-f",    "lavfi",
                                 "-i",       testPattern(2), "-itsoffset", "0.12",  "-f", "lavfi", "-i",
                                 tone(2),    "-map",         "0",          "-map",  "1",  "-c:v",  "mpeg2video",
                                 "-c:a",     "pcm_dvd",      "-f",         "dvd",   evo});
  ASSERT_EQ(0, made.status) << made.err;
  const std::map<std::string, nlohmann::json> probed = probeJson(dir, evo);
  const double ffprobeDelay =
      (probed.at("0xa0")["start_pts"].get<double>() - probed.at("0x1e0")["start_pts"].get<double>()) / 90;
  const nlohmann::json report = scanJson(dir, evo);
  for (const nlohmann::json& stream : report["streams"]) {
    if (stream["kind"] == "video") {
      EXPECT_TRUE(stream["delay_ms"].is_null());
      continue;
    }
    EXPECT_NEAR(120, stream["delay_ms"].get<int>(), 1) << report["streams"].dump(1);
    EXPECT_NEAR(ffprobeDelay, stream["delay_ms"].get<int>(), 0.5);
  }
}

// Every stream of a two-part DVD mux: two AC-3, DTS and LPCM sharing audio number 0, and MPEG audio.
TEST(Interop, EveryStreamWritesEachStreamOfATwoPartFeature) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH; install ffmpeg to run the interop tests";
  const std::vector<Track> tracks = {
      {testPattern(4), {{"-c", "mpeg2video"}, {"-g", "12"}}, "mpeg2video", "0x1e0", "v", "MPEG-2.stream.00"},
      {tone(4), {{"-c", "ac3"}}, "ac3", "0x80", "a", "DD.stream.00"},
      {noise(4, 7), {{"-c", "ac3"}, {"-b", "192k"}}, "ac3", "0x81", "a", "DD.stream.01"},
      {noise(4, 11), {{"-c", "dca"}}, "dts", "0x88", "a", "DTSHD.stream.00"},
      {tone(4), {{"-c", "pcm_dvd"}}, "pcm_dvd", "0xa0", "a", "LPCM.stream.00", {Oracle::LpcmStripped}},
      {noise(4, 13), {{"-c", "mp2"}}, "mp2", "0x1c0", "a", "MPA.stream.00"},
  };
  TempDir dir;
  const std::string whole = dir.file("whole.vob");
  ASSERT_NO_FATAL_FAILURE(mux(dir, tracks, "dvd", whole));
  const Bytes bytes = readFile(whole);
  const std::size_t cut = bytes.size() / 2048 / 2 * 2048;
  const std::string feature = makeFolder(dir, "feature");
  const std::string first = feature + "/FEATURE_1.EVO";
  writeFile(first, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
  writeFile(feature + "/FEATURE_2.EVO", Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(cut), bytes.end()));

  // Without the option the scan names what it leaves out.
  const CliResult scan = runCli(dir, {"--scan", "--full-scan", first});
  ASSERT_EQ(0, scan.status) << scan.err;
  for (const char* line : {"DTS HD stream 0x88 skipped: number 0 is taken by Dolby Digital 0x80",
                           "LPCM stream 0xA0 skipped: number 0 is taken by Dolby Digital 0x80",
                           "MPEG audio stream 0xC0 skipped: MPEG audio is not demuxed"})
    EXPECT_NE(std::string::npos, scan.out.find(std::string(line) + "\n")) << scan.out;

  const std::string out = makeFolder(dir, "out");
  const CliResult demux = runCli(dir, {"--every-stream", "--full-scan", "-o", out, first});
  ASSERT_EQ(0, demux.status) << demux.err;
  EXPECT_EQ(std::string::npos, demux.out.find("skipped")) << demux.out;
  std::set<std::string> expectedFiles;
  for (const Track& track : tracks)
    expectedFiles.insert("FEATURE_1." + track.label + (track.box == "v" ? ".mpv" : ".mpa"));
  ASSERT_EQ(expectedFiles, filesIn(out)) << demux.out;
  for (const Track& track : tracks) {
    SCOPED_TRACE(track.label);
    const Bytes expected = extract(dir, whole, track, track.oracles.front());
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(expected == readFile(out + "/FEATURE_1." + track.label + (track.box == "v" ? ".mpv" : ".mpa")));
  }
}

// The HD DVD audio codecs ffmpeg does not mux into a program stream: E-AC-3 and Dolby TrueHD (MLP) made
// by ffmpeg, carried as private_stream_1 sub-streams, get the parameters ffprobe reads from the raw stream.
TEST(Interop, HdDvdAudioSubStreamsGetTheParametersOfTheirRawStream) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH; install ffmpeg to run the interop tests";
  const struct {
    std::vector<std::string> encode;
    std::string format;
    std::uint8_t subStream;
  } cases[] = {
      {{"-ac", "6", "-c:a", "eac3"}, "eac3", 0xC2},
      {{"-ar", "96000", "-ac", "2", "-c:a", "truehd", "-strict", "-2"}, "truehd", 0xB1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    TempDir dir;
    const std::string raw = dir.file("audio.raw");
    std::vector<std::string> args = ffmpegHead();
    args.insert(args.end(), {"-f", "lavfi", "-i", tone(1)});
    args.insert(args.end(), c.encode.begin(), c.encode.end());
    args.insert(args.end(), {"-f", c.format, raw});
    const CliResult made = runProgram(dir, "ffmpeg", args);
    ASSERT_EQ(0, made.status) << made.err;
    const Bytes bytes = readFile(raw);
    PsBuilder ps;
    for (std::size_t at = 0; at < bytes.size(); at += 2000) {
      const auto end = bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 2000));
      ps.pack().privateStream1(c.subStream, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at), end));
    }
    writeFile(dir.file("AUDIO.EVO"), ps.bytes());

    const nlohmann::json report = scanJson(dir, dir.file("AUDIO.EVO"));
    ASSERT_EQ(1u, report["streams"].size());
    const nlohmann::json& stream = report["streams"][0];
    EXPECT_EQ(c.subStream, stream["id"]);
    EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), stream["payload_bytes"]);
    const CliResult probed = runProgram(
        dir, "ffprobe", {"-v", "error", "-show_entries", "stream=channels,sample_rate", "-of", "csv=p=0", raw});
    ASSERT_EQ(0, probed.status) << probed.err;
    EXPECT_EQ(probed.out, std::to_string(stream.value("sample_rate", 0)) + "," +
                              std::to_string(stream.value("channels", 0)) + "\n");
  }
}

}  // namespace
}  // namespace ardunex::test
