// SPDX-License-Identifier: GPL-2.0-or-later
// Attribute values found by text search in tag lines, and the integer conversion of attribute values.
#include "xpl/xpl_attr.h"

#include <gtest/gtest.h>

#include "base/errors.h"

namespace ardunex {
namespace {

TEST(XPLattr, FindsValuesByTheRules) {
  struct Case {
    const char* tag;
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {R"(<Video track="1" mediaAttr="2"/>)", "track", "1"},
      {R"(<Video track="1" mediaAttr="2"/>)", "mediaAttr", "2"},
      {R"(<Video track="1" mediaAttr="2"/>)", "TRACK", "1"},
      {R"(<Audio track = "3" streamNumber="3"/>)", "track", "3"},
      // The name is found first inside the longer attribute name.
      {R"(<Audio subtrack="9" track="2"/>)", "track", "9"},
      {R"(<Chapter titleTimeBegin="00:00:00:00"/>)", "displayName", ""},
      // Single quotes do not delimit: the next double-quoted value is taken.
      {R"(<Video track='1' mediaAttr="2"/>)", "track", "2"},
      {R"(<Video track "5"/>)", "track", "5"},
      {R"(<Title displayName="abc/>)", "displayName", ""},
      {R"(    <Video track="4"/>)", "track", "4"},
      // No decoding of references, no trimming.
      {R"(<Audio description=" A &amp; B "/>)", "description", " A &amp; B "},
      {R"(<Video track=1 mediaAttr="2"/>)", "track", "2"},
      {R"(<Video track="1/>)", "track", ""},
      {"", "track", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(XPLattr(c.tag, c.name), c.expected) << c.tag << " / " << c.name;
}

TEST(XPLattr, FoldsOnlyAsciiAndKeepsBytes) {
  // "é" in UTF-8 is C3 A9; folding must leave it alone so that the value comes back byte for byte.
  const std::string value =
      "Fran\xC3\xA7"
      "ais \xC3\xA9t\xC3\xA9";
  EXPECT_EQ(XPLattr("<Audio description=\"" + value + "\"/>", "description"), value);
  // E9 (é in Latin-1) must not match "É" (C9) nor be treated as a letter.
  EXPECT_EQ(XPLattr("<A \xE9t\xE9=\"1\" \xC9T\xC9=\"2\"/>", "\xC9T\xC9"), "2");
}

TEST(XPLattr, ReachesAtMost255CharactersAfterTheName) {
  for (const std::size_t length : {std::size_t{252}, std::size_t{253}}) {
    const std::string value(length, 'x');
    const std::string tag = "<Audio description=\"" + value + "\" track=\"1\"/>";
    EXPECT_EQ(XPLattr(tag, "description"), length == 252 ? value : "") << length;
  }
}

TEST(ParseInt32, AcceptsIntegersInDecimalAndHex) {
  struct Case {
    const char* text;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"1", 1},
      {"  42", 42},
      {"-7", -7},
      {"+8", 8},
      {"007", 7},
      {"$1F", 31},
      {"0x10", 16},
      {"0XfF", 255},
      {"-$10", -16},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"$7FFFFFFF", 2147483647},
  };
  for (const Case& c : cases)
    EXPECT_EQ(parseInt32(c.text), c.expected) << c.text;
}

TEST(ParseInt32, RejectsEverythingElseWithTheText) {
  for (const char* text : {"", " ", "1 ", "1a", "a1", "+", "-", "$", "0x", "1.5", "2147483648", "-2147483649",
                           "$80000000", "99999999999999999999", "\t1", "1e3", "0x-1", "--1"}) {
    try {
      parseInt32(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const ConvertError& e) {
      EXPECT_EQ(e.what(), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

}  // namespace
}  // namespace ardunex
