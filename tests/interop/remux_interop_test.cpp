// SPDX-License-Identifier: GPL-2.0-or-later
// From demux to Matroska: LPCM written as WAV must hold ffmpeg's decoding of the stream, and the mkvmerge
// option file must give mkvmerge a file with the playlist's names, languages, chapters and delays.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "jobs/mkvmerge_runner.h"
#include "support/cli_runner.h"
#include "support/ps_builder.h"

namespace ardunex::test {
namespace {

constexpr std::size_t PACK_SIZE = 2048;

bool haveFfmpeg() { return programOnPath("ffmpeg") && programOnPath("ffprobe"); }

std::vector<std::string> ffmpegHead() { return {"-nostdin", "-hide_banner", "-loglevel", "error", "-y"}; }

/// Runs ffmpeg with the arguments after its usual head; fails the test with its message otherwise.
void ffmpeg(const TempDir& dir, std::vector<std::string> args) {
  std::vector<std::string> all = ffmpegHead();
  all.insert(all.end(), args.begin(), args.end());
  const CliResult result = runProgram(dir, "ffmpeg", all);
  ASSERT_EQ(0, result.status) << result.err;
}

/// Runs mkvmerge under a UTF-8 locale, as a user's desktop has one: the option files and names are UTF-8.
CliResult mkvmerge(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {"LC_ALL=C.UTF-8", "mkvmerge"});
  return runProgram(dir, "env", args);
}

/// Gives the private_stream_1 packets of sub-stream `from` the id `to` (ffmpeg numbers each codec's
/// streams from 0, so a mux of AC-3 and LPCM would otherwise share audio number 0).
void retagSubStream(Bytes& bytes, std::uint8_t from, std::uint8_t to) {
  std::size_t at = 0;
  while (at + 9 < bytes.size()) {
    ASSERT_TRUE(bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 1) << "lost step at " << at;
    const std::uint8_t code = bytes[at + 3];
    if (code == 0xBA) {
      at += 14 + (bytes[at + 13] & 7);
      continue;
    }
    const std::size_t length = static_cast<std::size_t>(bytes[at + 4] << 8 | bytes[at + 5]);
    if (code == 0xBD) {
      const std::size_t sub = at + 9 + bytes[at + 8];
      if (bytes[sub] == from)
        bytes[sub] = to;
    }
    at += 6 + length;
  }
}

std::uint32_t le32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

/// The data chunk of a WAV file, after checking that the RIFF and data sizes match the file.
Bytes wavData(const std::string& path) {
  const Bytes wav = readFile(path);
  EXPECT_GE(wav.size(), 44u);
  if (wav.size() < 44)
    return {};
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(le32(wav, 4), wav.size() - 8);
  std::size_t at = 12;
  while (at + 8 <= wav.size() && std::string(wav.begin() + static_cast<std::ptrdiff_t>(at),
                                             wav.begin() + static_cast<std::ptrdiff_t>(at) + 4) != "data")
    at += 8 + le32(wav, at + 4);
  EXPECT_LE(at + 8, wav.size());
  if (at + 8 > wav.size())
    return {};
  EXPECT_EQ(le32(wav, at + 4), wav.size() - at - 8);
  return Bytes(wav.begin() + static_cast<std::ptrdiff_t>(at + 8), wav.end());
}

/// ffmpeg's decoding of one stream of input to raw little-endian samples of 16 or 24 bits.
Bytes decoded(const TempDir& dir, const std::string& input, const std::string& id, int bits) {
  const std::string out = dir.file("decoded.raw");
  const std::string codec = bits == 16 ? "pcm_s16le" : "pcm_s24le";
  ffmpeg(dir, {"-i", input, "-map", "0:i:" + id, "-c:a", codec, "-f", codec.substr(4), out});
  return readFile(out);
}

/// ffprobe's first stream of a file as "codec_name,sample_rate,channels".
std::string probeAudio(const TempDir& dir, const std::string& path) {
  const CliResult result =
      runProgram(dir, "ffprobe",
                 {"-v", "error", "-show_entries", "stream=codec_name,sample_rate,channels", "-of", "csv=p=0", path});
  EXPECT_EQ(0, result.status) << result.err;
  return lines(result.out).empty() ? "" : lines(result.out).front();
}

TEST(RemuxInterop, LpcmAsWavHoldsFfmpegsDecoding) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH; install ffmpeg to run the interop tests";
  const struct {
    int bits;
    int rate;
    int channels;
    std::string probe;
  } cases[] = {
      {16, 48000, 2, "pcm_s16le,48000,2"}, {24, 48000, 2, "pcm_s24le,48000,2"}, {16, 96000, 1, "pcm_s16le,96000,1"},
      {24, 96000, 2, "pcm_s24le,96000,2"}, {16, 48000, 6, "pcm_s16le,48000,6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + " bit, " + std::to_string(c.rate) + " Hz, " + std::to_string(c.channels));
    TempDir dir;
    const std::string evo = dir.file("MOVIE.EVO");
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg(dir, {"-fflags", "+bitexact", "-f", "lavfi", "-i",
                     "anoisesrc=seed=5:amplitude=0.6:duration=3:sample_rate=" + std::to_string(c.rate), "-c:a",
                     "pcm_dvd", "-sample_fmt", c.bits == 16 ? "s16" : "s32", "-ac", std::to_string(c.channels),
                     "-flags", "+bitexact", "-f", "dvd", evo}));
    std::filesystem::create_directory(dir.file("out"));
    const CliResult demux = runCli(dir, {"--full-scan", "--lpcm-wav", "-o", dir.file("out"), evo});
    ASSERT_EQ(0, demux.status) << demux.err;
    const std::string wav = dir.file("out/MOVIE.LPCM.stream.00.wav");
    EXPECT_NE(demux.out.find("Creating " + wav + "\n"), std::string::npos) << demux.out;

    const Bytes expected = decoded(dir, evo, "0xa0", c.bits);
    ASSERT_GT(expected.size(), 100'000u);
    const Bytes data = wavData(wav);
    EXPECT_EQ(data.size(), expected.size());
    EXPECT_TRUE(data == expected) << "the WAV data differs from ffmpeg's decoding";
    EXPECT_EQ(probeAudio(dir, wav), c.probe);
  }
}

const std::string PLAYLIST = R"(<?xml version="1.0" encoding="UTF-8"?>
<Playlist xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist" majorVersion="1" minorVersion="0">
  <MediaAttributeList>
    <VideoAttributeItem index="1" codec="MPEG-2"/>
    <AudioAttributeItem index="1" codec="DD"/>
    <AudioAttributeItem index="2" codec="LPCM"/>
  </MediaAttributeList>
  <TitleSet timeBase="24fps" defaultLanguage="en">
    <Title id="Feature" displayName="Test Feature &amp; Friends" titleNumber="1" titleDuration="00:00:06:00">
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP" titleTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" description="English"/>
        <Audio track="2" streamNumber="2" mediaAttr="1" description="Fran&#231;ais"/>
        <Audio track="3" streamNumber="3" mediaAttr="2" description="Stereo"/>
      </PrimaryAudioVideoClip>
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_2.MAP" titleTimeBegin="00:00:03:00">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" description="English"/>
      </PrimaryAudioVideoClip>
      <TrackNavigationList>
        <VideoTrack track="1" selectable="true"/>
        <AudioTrack track="1" langcode="en:00" selectable="true"/>
        <AudioTrack track="2" langcode="fr:00" selectable="true"/>
        <AudioTrack track="3" langcode="ja:00" selectable="true"/>
      </TrackNavigationList>
      <ChapterList>
        <Chapter displayName="Opening" titleTimeBegin="00:00:00:00"/>
        <Chapter displayName="Ch&#226;teau &amp; Garden" titleTimeBegin="00:00:02:12"/>
        <Chapter displayName="Broken" titleTimeBegin="00:00:03:99"/>
        <Chapter titleTimeBegin="00:00:04:00"/>
      </ChapterList>
    </Title>
  </TitleSet>
</Playlist>
)";

// A disc folder with a feature in two parts and a playlist that names its tracks: the demux writes the
// streams, the chapters and the option file, and mkvmerge makes one Matroska file of them.
TEST(RemuxInterop, TwoPartFeatureBecomesOneMatroskaFile) {
  if (!haveFfmpeg())
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH; install ffmpeg to run the interop tests";
  TempDir dir;
  // The English track starts 120 ms after the video (the AC-3 encoder's own 256-sample delay added).
  const std::string whole = dir.file("whole.vob");
  ASSERT_NO_FATAL_FAILURE(ffmpeg(dir, {"-fflags",
                                       "+bitexact",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "testsrc=size=320x240:rate=24:duration=6",
                                       "-itsoffset",
                                       "0.125333",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "sine=frequency=440:sample_rate=48000:duration=6",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "sine=frequency=660:sample_rate=48000:duration=6",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "anoisesrc=seed=9:amplitude=0.5:sample_rate=48000:duration=6",
                                       "-map",
                                       "0",
                                       "-map",
                                       "1",
                                       "-map",
                                       "2",
                                       "-map",
                                       "3",
                                       "-c:v",
                                       "mpeg2video",
                                       "-c:a:0",
                                       "ac3",
                                       "-c:a:1",
                                       "ac3",
                                       "-c:a:2",
                                       "pcm_dvd",
                                       "-sample_fmt:a:2",
                                       "s32",
                                       "-ac:a:2",
                                       "2",
                                       "-flags",
                                       "+bitexact",
                                       "-f",
                                       "dvd",
                                       whole}));
  Bytes bytes = readFile(whole);
  ASSERT_EQ(0u, bytes.size() % PACK_SIZE);
  ASSERT_NO_FATAL_FAILURE(retagSubStream(bytes, 0xA0, 0xA2));  // LPCM on audio number 2
  writeFile(whole, bytes);

  std::filesystem::create_directories(dir.file("disc/HVDVD_TS"));
  std::filesystem::create_directories(dir.file("disc/ADV_OBJ"));
  std::filesystem::create_directories(dir.file("out"));
  const std::size_t cut = bytes.size() / PACK_SIZE / 2 * PACK_SIZE;
  const std::string first = dir.file("disc/HVDVD_TS/FEATURE_1.EVO");
  const std::string second = dir.file("disc/HVDVD_TS/FEATURE_2.EVO");
  writeFile(first, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
  writeFile(second, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(cut), bytes.end()));
  const std::string playlist = dir.file("disc/ADV_OBJ/VPLST000.XPL");
  writeFile(playlist, Bytes(PLAYLIST.begin(), PLAYLIST.end()));

  const std::string out = dir.file("out");
  const CliResult demux =
      runCli(dir, {"--full-scan", "--xpl", playlist, "--chapters", "--mkvmerge", "--lpcm-wav", "-o", out, first});
  ASSERT_EQ(0, demux.status) << demux.err;
  for (const std::string& line : std::vector<std::string>{
           "Continue on FEATURE_2.EVO", "Creating " + out + "/FEATURE_1.LPCM.stream.2.Stereo.wav",
           "Chapter \"Broken\" skipped: its time \"00:00:03:99\" is not HH:MM:SS:FF at 24fps",
           "Creating " + out + "/FEATURE_1.chapters.xml", "Creating " + out + "/FEATURE_1.chapters.txt",
           "Creating " + out + "/FEATURE_1.mkvmerge.json"})
    EXPECT_NE(demux.out.find(line + "\n"), std::string::npos) << line << "\n" << demux.out;
  EXPECT_EQ(readText(out + "/FEATURE_1.chapters.txt"),
            "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Opening\n"
            "CHAPTER02=00:00:02.500\nCHAPTER02NAME=Ch\xC3\xA2teau & Garden\n"
            "CHAPTER03=00:00:04.000\nCHAPTER03NAME=\n");

  // The WAV spans both parts: ffmpeg's decoding of the two read as one.
  const Bytes expected = decoded(dir, "concat:" + first + "|" + second, "0xa2", 24);
  ASSERT_GT(expected.size(), 500'000u);
  EXPECT_TRUE(wavData(out + "/FEATURE_1.LPCM.stream.2.Stereo.wav") == expected);

  if (!programOnPath("mkvmerge"))
    GTEST_SKIP() << "mkvmerge is not on PATH; install mkvtoolnix to check the option file";
  // From another folder: every path in the option file is absolute.
  const CliResult merge = runProgram(
      dir, "sh", {"-c", "export LC_ALL=C.UTF-8; cd / && exec mkvmerge \"$0\"", "@" + out + "/FEATURE_1.mkvmerge.json"});
  ASSERT_LE(merge.status, 1) << merge.out << merge.err;  // 1: warnings only
  const std::string mkv = out + "/FEATURE_1.mkv";
  const CliResult identify = mkvmerge(dir, {"-J", mkv});
  ASSERT_EQ(0, identify.status) << identify.err;
  const nlohmann::json info = nlohmann::json::parse(identify.out);
  EXPECT_EQ(info["container"]["properties"]["title"], "Test Feature & Friends");
  ASSERT_EQ(info["chapters"].size(), 1u);
  EXPECT_EQ(info["chapters"][0]["num_entries"], 3);
  const struct {
    std::string type, codecId, name, language;
  } tracks[] = {
      {"video", "V_MPEG2", "", "und"},
      {"audio", "A_AC3", "English", "eng"},
      {"audio", "A_AC3",
       "Fran\xC3\xA7"
       "ais",
       "fre"},
      {"audio", "A_PCM/INT/LIT", "Stereo", "jpn"},
  };
  ASSERT_EQ(info["tracks"].size(), std::size(tracks)) << identify.out;
  for (std::size_t i = 0; i < std::size(tracks); ++i) {
    const nlohmann::json& track = info["tracks"][i];
    SCOPED_TRACE(track.dump());
    EXPECT_EQ(track["type"], tracks[i].type);
    EXPECT_EQ(track["properties"]["codec_id"], tracks[i].codecId);
    EXPECT_EQ(track["properties"].value("track_name", ""), tracks[i].name);
    EXPECT_EQ(track["properties"].value("language", "und"), tracks[i].language);
  }
  // The English track's delay survives into the Matroska file.
  const CliResult start = runProgram(
      dir, "ffprobe",
      {"-v", "error", "-select_streams", "a:0", "-show_entries", "stream=start_time", "-of", "csv=p=0", mkv});
  ASSERT_EQ(0, start.status) << start.err;
  EXPECT_NEAR(std::stod(start.out), 0.120, 0.0015) << start.out;
}

// Playlist text that is not UTF-8, language codes ISO 639 does not know, an output folder whose name is not
// UTF-8: the option file and the chapter file written are taken by mkvmerge, or no option file is written.
TEST(RemuxInterop, HostilePlaylistTextGivesFilesMkvmergeTakes) {
  if (!haveFfmpeg() || !programOnPath("mkvmerge"))
    GTEST_SKIP() << "ffmpeg or mkvmerge is not on PATH; install ffmpeg and mkvtoolnix to run this test";
  TempDir dir;
  const std::string evo = dir.file("FEATURE_1.EVO");
  ASSERT_NO_FATAL_FAILURE(ffmpeg(dir, {"-f", "lavfi", "-i", "testsrc=size=160x120:duration=2", "-f", "lavfi", "-i",
                                       "sine=duration=2", "-c:v", "mpeg2video", "-c:a", "ac3", "-f", "dvd", evo}));
  const std::string playlist =
      "<Playlist><AudioAttributeItem index=\"1\" codec=\"DD\"/><TitleSet defaultLanguage="
      "\"xyz\"><Title id=\"T\"><Clip src=\"FEATURE_1.MAP\"><Audio track=\"1\" streamNumber=\"1\" mediaAttr="
      "\"1\" description=\"Fran\xE7ois\"/></Clip><AudioTrack track=\"1\" langcode=\"zz:00\"/>"
      "<ChapterList><Chapter titleTimeBegin=\"00:00:01:00\"/></ChapterList></Title></TitleSet>";
  writeFile(dir.file("VPLST000.XPL"), Bytes(playlist.begin(), playlist.end()));
  auto demux = [&](const std::string& folder) {
    return runCli(dir, {"--xpl", dir.file("VPLST000.XPL"), "--chapters", "--mkvmerge", "-o", folder, evo}).out;
  };
  EXPECT_NE(demux(dir.file("out")).find("Unknown language code \"zz:00\" for "), std::string::npos);
  const CliResult merge = mkvmerge(dir, {"@" + dir.file("out/FEATURE_1.mkvmerge.json")});
  ASSERT_LE(merge.status, 1) << merge.out;  // 1: warnings only
  const nlohmann::json info = nlohmann::json::parse(mkvmerge(dir, {"-J", dir.file("out/FEATURE_1.mkv")}).out);
  // The title names no video track, so the greyed video box is not written: the audio track is the only one.
  ASSERT_EQ(info["tracks"].size(), 1u);
  EXPECT_EQ(info["tracks"][0]["properties"]["track_name"], "Fran\xEF\xBF\xBDois");
  EXPECT_EQ(info["tracks"][0]["properties"]["language"], "und");
  EXPECT_EQ(info["chapters"][0]["num_entries"], 1);

  EXPECT_NE(
      demux(dir.file("out\xFF")).find("No mkvmerge option file written: the path \"" + dir.file("out\xEF\xBF\xBD")),
      std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out\xFF/FEATURE_1.mkvmerge.json")));
}

// One step to the MKV: every track of a disc's title in three clips (with every stream, the others too) with the
// title's names, languages, chapters and name, as long as the title.
TEST(RemuxInterop, MakeMkvHoldsEveryTrackOfTheTitle) {
  if (!haveFfmpeg() || findMkvmerge().empty())
    GTEST_SKIP() << "ffmpeg or mkvmerge is missing; install ffmpeg and mkvtoolnix to run this test";
  TempDir dir;
  std::vector<std::string> args = ffmpegHead();
  std::istringstream words(
      "-f lavfi -i testsrc=size=320x240:rate=24000/1001:d=6 -f lavfi -i sine=f=440:d=6 -f lavfi -i sine=f=660:d=6 "
      "-f lavfi -i anoisesrc=seed=9:a=0.5:d=6 -f lavfi -i sine=f=880:d=6 -map 0 -map 1 -map 2 -map 3 -map 4 -c:v "
      "libx264 -c:a ac3 -c:a:2 pcm_dvd -sample_fmt:a:2 s32 -c:a:3 dca -strict -2 -ar:a:3 48000 -f dvd " +
      dir.file("whole.vob"));
  for (std::string word; words >> word;)
    args.push_back(word);
  ASSERT_EQ(runProgram(dir, "ffmpeg", args).status, 0);
  Bytes bytes = readFile(dir.file("whole.vob"));
  ASSERT_NO_FATAL_FAILURE(retagSubStream(bytes, 0xA0, 0xA2));  // LPCM: the title's third audio track
  ASSERT_NO_FATAL_FAILURE(retagSubStream(bytes, 0x88, 0x8B));  // DTS: in no track of the title
  // The disc: the stream cut in three clips at pack boundaries, the title playing them in turn.
  std::filesystem::create_directories(dir.file("disc/HVDVD_TS"));
  std::filesystem::create_directories(dir.file("disc/ADV_OBJ"));
  const std::size_t packs = bytes.size() / PACK_SIZE;
  const std::size_t cuts[] = {0, packs / 3 * PACK_SIZE, packs * 2 / 3 * PACK_SIZE, bytes.size()};
  for (int clip = 0; clip < 3; ++clip)
    writeFile(dir.file("disc/HVDVD_TS/FEATURE_" + std::to_string(clip + 1) + ".EVO"),
              Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(cuts[clip]),
                    bytes.begin() + static_cast<std::ptrdiff_t>(cuts[clip + 1])));
  const std::string thirdClip =
      R"(      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_3.MAP" titleTimeBegin="00:00:04:00">
        <Video track="1" mediaAttr="1"/>
      </PrimaryAudioVideoClip>
)";
  std::string playlist = PLAYLIST;
  playlist.insert(playlist.find("      <TrackNavigationList>"), thirdClip);
  writeFile(dir.file("disc/ADV_OBJ/VPLST000.XPL"), Bytes(playlist.begin(), playlist.end()));
  const std::vector<std::string> title{"--full-scan", "--disc", dir.file("disc"), "--title", "1"};

  const std::string tracks =
      "V_MPEG4/ISO/AVC  und;A_AC3 English eng;A_AC3 Fran\xC3\xA7"
      "ais fre;A_PCM/INT/LIT Stereo jpn;";
  const struct {
    std::vector<std::string> options;
    std::string tracks;
    std::string files;  // the extensions of the files left, in the order of their names
  } cases[] = {
      {{}, tracks, ".mpa .mpa .mpa .mpv .mkv "},
      {{"--every-stream", "--mkvmerge"}, tracks + "A_DTS  und;", ".mpa .mpa .mpa .mpa .mpv .mkv .json "},
      {{"--every-stream", "--no-keep-streams"}, tracks + "A_DTS  und;", ".mkv "},
  };
  for (const auto& c : cases) {
    const std::string out = dir.file("out" + std::to_string(&c - cases));
    std::vector<std::string> cli{"--mkv", "-o", out};
    cli.insert(cli.end(), c.options.begin(), c.options.end());
    cli.insert(cli.end(), title.begin(), title.end());
    // Under the "C" locale, as from a service or a bare shell: mkvmerge still gets the UTF-8 names right.
    cli.insert(cli.begin(), {"LC_ALL=C", "LANG=", ARDUNEX_CLI_PATH});
    const CliResult made = runProgram(dir, "env", cli);
    ASSERT_EQ(0, made.status) << made.out << made.err;
    EXPECT_NE(made.out.find("Continue on FEATURE_3.EVO\n"), std::string::npos) << made.out;
    std::string files;
    for (const std::string& name : folderEntries(out))
      files += name.substr(name.rfind('.')) + " ";
    EXPECT_EQ(files, c.files);
    // The frame rate the scan read is the AVC track's default duration.
    if (fileExists(out + "/FEATURE_1.mkvmerge.json")) {
      EXPECT_NE(readText(out + "/FEATURE_1.mkvmerge.json").find("\"0:24000/1001fps\""), std::string::npos);
    }
    const nlohmann::json info = nlohmann::json::parse(mkvmerge(dir, {"-J", out + "/FEATURE_1.mkv"}).out);
    EXPECT_EQ(info["container"]["properties"]["title"], "Test Feature & Friends");
    EXPECT_NEAR(info["container"]["properties"]["duration"].get<double>() / 1e9, 6.0, 0.2);
    EXPECT_EQ(info["chapters"][0]["num_entries"], 3);
    std::string got;
    for (const nlohmann::json& track : info["tracks"])
      got += track["properties"]["codec_id"].get<std::string>() + " " + track["properties"].value("track_name", "") +
             " " + track["properties"].value("language", "und") + ";";
    EXPECT_EQ(got, c.tracks);
  }
}

}  // namespace
}  // namespace ardunex::test
