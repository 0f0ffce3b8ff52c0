// SPDX-License-Identifier: GPL-2.0-or-later
// The playlist title as data: which title, its tracks, languages and chapters, and the conversions of its
// values (title times, XML references, UTF-8, language codes).
#include "xpl/playlist_title.h"

#include <gtest/gtest.h>

#include "xpl/xpl_reader.h"

namespace ardunex {
namespace {

struct Parsed {
  std::vector<std::string> lines;
  CodecTables codecs;
};

Parsed parse(const std::string& text) {
  Parsed parsed;
  XplReader reader(parsed.lines, parsed.codecs);
  reader.feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  return parsed;
}

const std::string MEDIA = R"(<Playlist>
  <MediaAttributeList>
    <VideoAttributeItem index="1" codec="VC-1"/>
    <AudioAttributeItem index="1" codec="DD+"/>
    <AudioAttributeItem index="2" codec="LPCM"/>
  </MediaAttributeList>
)";

const std::string FEATURE = MEDIA + R"(  <TitleSet timeBase="24fps" defaultLanguage="fr:00">
    <Title id="Logo" displayName="Logo" titleDuration="00:00:10:00">
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/LOGO.MAP"/>
      <ChapterList><Chapter displayName="Logo" titleTimeBegin="00:00:00:00"/></ChapterList>
    </Title>
    <Title id="Feature" displayName="Rock &amp; Roll" titleDuration="01:00:00:00">
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" langcode="xx:00" description="English"/>
        <Audio track="2" streamNumber="3" mediaAttr="2" description="Fran&#231;ais"/>
        <Audio track="9" streamNumber="x" mediaAttr="1" description="Broken"/>
      </PrimaryAudioVideoClip>
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_2.MAP">
        <Audio track="1" streamNumber="1" mediaAttr="2" description="Again"/>
      </PrimaryAudioVideoClip>
      <TrackNavigationList>
        <VideoTrack track="1"/>
        <AudioTrack track="2" langcode="FR:00"/>
        <AudioTrack track="1" langcode="en:00"/>
      </TrackNavigationList>
      <ChapterList>
        <Chapter displayName="Start" titleTimeBegin="00:00:00:00"/>
        <Chapter titleTimeBegin="00:10:00:12"/>
      </ChapterList>
    </Title>
  </TitleSet>
</Playlist>
)";

TEST(PlaylistTitle, FindsTheTitleOfTheEvoFileWithTracksLanguagesAndChapters) {
  const Parsed parsed = parse(FEATURE);
  const auto title = findPlaylistTitle(parsed.lines, "FEATURE_1", parsed.codecs);
  ASSERT_TRUE(title);
  EXPECT_EQ(title->displayName, "Rock &amp; Roll");  // decoded only where it is written out
  EXPECT_EQ(title->timeBase, "24fps");
  EXPECT_EQ(title->defaultLanguage, "fr:00");
  EXPECT_TRUE(title->hasChapterList);
  EXPECT_TRUE(title->hasTrackNavigationList);
  ASSERT_EQ(title->chapters.size(), 2u);  // the logo title's chapter is not among them
  EXPECT_EQ(title->chapters[0].displayName, "Start");
  EXPECT_EQ(title->chapters[1].titleTimeBegin, "00:10:00:12");
  EXPECT_EQ(title->chapters[1].displayName, "");

  ASSERT_EQ(title->video.size(), 1u);
  EXPECT_EQ(title->video[0].label, "VC-1.stream.0");
  EXPECT_EQ(title->video[0].language, "");
  // Stream 1 keeps its first clip's tag; the unreadable stream number is left out; languages come from the
  // navigation list by track number, not from the Audio tag's own langcode.
  ASSERT_EQ(title->audio.size(), 2u);
  EXPECT_EQ(title->audio[0].number, 1);
  EXPECT_EQ(title->audio[0].label, "DD+.stream.0.English");
  EXPECT_EQ(title->audio[0].language, "en:00");
  EXPECT_EQ(title->audio[1].number, 3);
  EXPECT_EQ(title->audio[1].label, "LPCM.stream.2.Fran&#231;ais");
  EXPECT_EQ(title->audio[1].description, "Fran&#231;ais");
  EXPECT_EQ(title->audio[1].language, "FR:00");

  const auto logo = findPlaylistTitle(parsed.lines, "LOGO", parsed.codecs);
  ASSERT_TRUE(logo);
  EXPECT_EQ(logo->displayName, "Logo");
  EXPECT_FALSE(logo->hasTrackNavigationList);
  EXPECT_TRUE(logo->audio.empty());
}

TEST(PlaylistTitle, NoTitleWithoutAnAnchorBelowATitleStartTag) {
  const Parsed parsed = parse(FEATURE);
  for (const std::string base : {"", "FEATURE_3", "Playlist"})  // "Playlist" stands on line 0
    EXPECT_FALSE(findPlaylistTitle(parsed.lines, base, parsed.codecs)) << base;
  const Parsed untitled = parse(MEDIA + "<Clip src=\"FEATURE_1.MAP\"/></Playlist>");
  EXPECT_FALSE(findPlaylistTitle(untitled.lines, "FEATURE_1", untitled.codecs));
}

TEST(PlaylistTitle, TitleTimes) {
  constexpr std::int64_t S = 1'000'000'000;
  const struct {
    const char* text;
    int fps;
    std::int64_t ns;
  } good[] = {
      {"00:12:40:05", 60, 760 * S + 83'333'333}, {"00:00:01:12", 24, 1 * S + S / 2},
      {"00:00:00:01", 24, 41'666'667},           {"00:00:00:25", 50, S / 2},
      {"00:00:00:29", 30, 966'666'667},          {"01:52:30:00", 60, (3600 + 52 * 60 + 30) * S},
      {"123:00:00:00", 24, 123 * 3600 * S},      {"9999:59:59:59", 60, 35'999'999 * S + 983'333'333},
  };
  for (const auto& c : good)
    EXPECT_EQ(titleTimeNs(c.text, c.fps), c.ns) << c.text << " at " << c.fps;

  const struct {
    const char* text;
    int fps;
  } bad[] = {
      {"1:2", 60},
      {"00:00:00:99", 24},
      {"00:00:00:24", 24},
      {"text", 60},
      {"", 60},
      {"00:60:00:00", 60},
      {"00:00:60:00", 60},
      {"00:00:00", 60},
      {"00:00:00:00:00", 60},
      {" 00:00:00:00", 60},
      {"00:00:00:0", 60},
      {"00:00:00:005", 60},
      {"00:00:-1:00", 60},
      {"0:00:00:00", 60},
      {"99999999999999999999:00:00:00", 60},
  };
  for (const auto& c : bad)
    EXPECT_FALSE(titleTimeNs(c.text, c.fps)) << c.text << " at " << c.fps;

  for (const auto& [text, rate] : std::vector<std::pair<std::string, int>>{
           {"60fps", 60}, {"50fps", 50}, {"30fps", 30}, {"24fps", 24}, {"", 60}, {"24FPS", 24}})
    EXPECT_EQ(timeBaseRate(text), rate) << text;
  for (const char* text : {"fps", "0fps", "-24fps", "24 fps", "24", "sixtyfps", "99999999999fps"})
    EXPECT_FALSE(timeBaseRate(text)) << text;
}

TEST(PlaylistTitle, XmlReferencesAndUtf8) {
  const std::pair<std::string, std::string> references[] = {
      {"A &amp; B", "A & B"},
      {"&lt;&gt;&quot;&apos;", "<>\"'"},
      {"Caf&#233; &#xE9;&#XE9;", "Caf\xC3\xA9 \xC3\xA9\xC3\xA9"},
      {"&#x1F600;", "\xF0\x9F\x98\x80"},
      {"&amp;amp;", "&amp;"},  // one level of decoding only
      {"line&#10;break&#9;tab", "line break tab"},
      {"&bogus; &amp &#; &#x; &#0; &#xD800; &#99999999;", "&bogus; &amp &#; &#x; &#0; &#xD800; &#99999999;"},
      {"plain \xC3\xA9", "plain \xC3\xA9"},
  };
  for (const auto& [in, out] : references)
    EXPECT_EQ(decodeXmlReferences(in), out) << in;

  const std::string REPLACEMENT = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> utf8[] = {
      {"abc", "abc"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"Caf\xE9", "Caf" + REPLACEMENT},                                             // Latin-1
      {"\xC0\xAF", REPLACEMENT + REPLACEMENT},                                      // overlong
      {"\xE2\x82", REPLACEMENT + REPLACEMENT},                                      // cut short
      {"\xED\xA0\x80", REPLACEMENT + REPLACEMENT + REPLACEMENT},                    // a surrogate
      {"\xF4\x90\x80\x80", REPLACEMENT + REPLACEMENT + REPLACEMENT + REPLACEMENT},  // above U+10FFFF
  };
  for (const auto& [in, out] : utf8)
    EXPECT_EQ(validUtf8(in), out);
}

TEST(PlaylistTitle, LanguageCodes) {
  const struct {
    const char* langcode;
    const char* code;
    const char* iso639_2;
  } cases[] = {
      {"en:00", "en", "eng"}, {"fr:01", "fr", "fre"}, {"de", "de", "ger"},    {"JA:00", "ja", "jpn"},
      {"zh", "zh", "chi"},    {"eng", "eng", "eng"},  {"qq:00", "qq", "und"}, {"", "", "und"},
      {"e", "", "und"},       {"1a:00", "", "und"},   {"engl", "", "und"},    {"*", "", "und"},
      {"qqq", "qqq", "und"},  {"xyz", "xyz", "und"},  {"deu", "deu", "deu"},  {"zz:00", "zz", "und"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(languageCode(c.langcode), c.code) << c.langcode;
    EXPECT_EQ(iso639_2(c.langcode), c.iso639_2) << c.langcode;
  }
}

}  // namespace
}  // namespace ardunex
