// SPDX-License-Identifier: GPL-2.0-or-later
// The reader's byte rules: tag lines, indentation, control bytes and the codec tables.
#include "xpl/xpl_reader.h"

#include <gtest/gtest.h>

#include "base/errors.h"

namespace ardunex {
namespace {

using Lines = std::vector<std::string>;

Lines readText(const std::string& text, CodecTables& codecs, std::size_t block) {
  Lines lines;
  XplReader reader(lines, codecs);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  for (std::size_t at = 0; at < text.size(); at += block)
    reader.feed(bytes + at, std::min(block, text.size() - at));
  return lines;
}

TEST(XplReader, TagLinesDoNotDependOnHowTheTextIsCut) {
  struct Case {
    const char* name;
    std::string text;
    Lines expected;
  };
  const Case cases[] = {
      {"nesting",
       "<?xml version=\"1.0\"?>\n<Playlist>\n <MediaAttributeList>\n  <VideoAttributeItem index=\"1\"/>\n "
       "</MediaAttributeList>\n"
       "</Playlist>\n",
       {"<?xml version=\"1.0\"?>", "<Playlist>", "  <MediaAttributeList>", "    <VideoAttributeItem index=\"1\"/>",
        "  </MediaAttributeList>", "</Playlist>"}},
      {"tag over two physical lines", "<Title\r\n  displayName=\"x\">", {"<Title   displayName=\"x\">"}},
      {"control bytes collapse only against a space", "<A\t\tb\r\nc \n>", {"<A b c >"}},
      {"element content is dropped", "<a><b>text here</b></a>", {"<a>", "  <b>", "  </b>", "</a>"}},
      {"a > in element content", "<a>x > y</a>", {"<a>", "  ", "</a>"}},
      {"a > at depth 0", "a > b", {""}},
      {"comment keeps the indentation", "<a><!-- note --><b/></a>", {"<a>", "  <!-- note -->", "  <b/>", "</a>"}},
      {"processing instruction keeps the indentation", "<a><?pi x?><b/></a>", {"<a>", "  <?pi x?>", "  <b/>", "</a>"}},
      {"doctype deepens what follows",
       "<!DOCTYPE Playlist><Playlist></Playlist>",
       {"<!DOCTYPE Playlist>", "  <Playlist>", "  </Playlist>"}},
      {"8-bit and UTF-8 bytes stay", "<a d=\"\xC3\xA9\xE9\x80\"/>", {"<a d=\"\xC3\xA9\xE9\x80\"/>"}},
      // More closing than opening tags: no indentation, and the closing tag stays whole.
      {"negative depth", "</a></b><c>", {"</a>", "</b>", "<c>"}},
  };
  for (const Case& c : cases) {
    for (const std::size_t block : {std::size_t{1}, std::size_t{2}, std::size_t{7}, c.text.size()}) {
      CodecTables codecs;
      EXPECT_EQ(readText(c.text, codecs, block), c.expected) << c.name << ", blocks of " << block;
    }
  }
}

TEST(XplReader, IndentationIsBoundedOnUnclosedTags) {
  std::string text;
  for (int i = 0; i < 1000; ++i)
    text += "<a>";
  text += "<b/>";
  CodecTables codecs;
  const Lines lines = readText(text, codecs, text.size());
  ASSERT_EQ(lines.size(), 1001u);
  EXPECT_EQ(lines[10], std::string(20, ' ') + "<a>");
  EXPECT_EQ(lines.back(), std::string(2 * XPL_MAX_INDENT_DEPTH, ' ') + "<b/>");
}

TEST(XplReader, CollectsCodecsOfAttributeItems) {
  CodecTables codecs;
  codecs.AudioCodecTable[3] = "kept";
  const std::string text =
      "<MediaAttributeList>\n"
      "<VideoAttributeItem index=\"2\" codec=\"MPEG-2\"/>\n"
      "<VideoAttributeItem index=\"2\" codec=\"VC-1\"/>\n"
      "<AudioAttributeItem index=\"1\" codec=\"DD+\"/>\n"
      "<AudioAttributeItem index=\"8\" codec=\"MLP\"/>\n"
      "<AudioAttributeItem index=\"0\" codec=\"zero\"/>\n"
      "<AudioAttributeItem index=\"9\" codec=\"nine\"/>\n"
      "<AudioAttributeItem index=\"-1\" codec=\"minus\"/>\n"
      "<SubpictureAttributeItem index=\"$3\" codec=\"8bitRLE\"/>\n"
      "<videoattributeitem index=\"5\" codec=\"lower case\"/>\n"
      "</MediaAttributeList>\n";
  readText(text, codecs, 5);
  const CodecTables expected{
      {"", "VC-1", "", "", "", "", "", ""},
      {"DD+", "", "", "kept", "", "", "", "MLP"},
      {"", "", "8bitRLE", "", "", "", "", ""},
  };
  EXPECT_EQ(codecs.VideoCodecTable, expected.VideoCodecTable);
  EXPECT_EQ(codecs.AudioCodecTable, expected.AudioCodecTable);
  EXPECT_EQ(codecs.SubpictureCodecTable, expected.SubpictureCodecTable);
}

TEST(XplReader, ItemWithoutIndexFailsAfterItsLine) {
  CodecTables codecs;
  Lines lines;
  XplReader reader(lines, codecs);
  const std::string text =
      "<a><AudioAttributeItem index=\"1\" codec=\"DD\"/><AudioAttributeItem codec=\"DTS\"/><b/></a>";
  try {
    reader.feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    FAIL() << "no failure";
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'' is not a valid integer value");
  }
  EXPECT_EQ(lines, (Lines{"<a>", "  <AudioAttributeItem index=\"1\" codec=\"DD\"/>",
                          "  <AudioAttributeItem codec=\"DTS\"/>"}));
  EXPECT_EQ(codecs.AudioCodecTable[0], "DD");
}

TEST(XplReader, Utf16TextIsNotRecognised) {
  const std::string ascii = "<Playlist><VideoAttributeItem index=\"1\" codec=\"VC-1\"/></Playlist>";
  std::string text = "\xFF\xFE";  // byte order mark, outside any tag
  for (const char c : ascii) {
    text += c;
    text += '\0';
  }
  CodecTables codecs;
  const Lines lines = readText(text, codecs, text.size());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "< P l a y l i s t >");
  EXPECT_EQ(codecs.VideoCodecTable[0], "");
}

}  // namespace
}  // namespace ardunex
