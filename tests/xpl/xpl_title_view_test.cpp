// SPDX-License-Identifier: GPL-2.0-or-later
// The title view: choosing the title by the EVO file's base name, trimming, the tree, labels and slots.
#include "xpl/xpl_title_view.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "support/fake_window.h"

namespace ardunex {
namespace {

using Lines = std::vector<std::string>;

struct TitleViewTest : ::testing::Test {
  FakeWindow window;
  StreamSlotTable slots;
  CodecTables codecs;

  void SetUp() override {
    codecs.VideoCodecTable[0] = "VC-1";
    codecs.AudioCodecTable[0] = "DD";
    codecs.AudioCodecTable[1] = "DDP";
    codecs.SubpictureCodecTable[0] = "X";
    window.xplTree = {{"Video", {}}, {"Audio", {}}, {"Subpicture", {}}, {"Chapter", {}}};
  }

  const TreeNode& root(const char* name) const {
    for (const TreeNode& node : window.xplTree)
      if (node.text == name)
        return node;
    static const TreeNode none{"missing", {}};
    return none;
  }

  static std::vector<std::string> texts(const TreeNode& node) {
    std::vector<std::string> result;
    for (const TreeNode& child : node.children)
      result.push_back(child.text);
    return result;
  }

  int enabledBoxes() const {
    int count = 0;
    for (const auto& box : window.boxes)
      count += box.enabled ? 1 : 0;
    return count;
  }
};

Lines threeTitles() {
  return {
      "<Playlist>",
      "  <TitleSet>",
      "    <Title id=\"T1\" displayName=\"Logo\" titleDuration=\"00:00:10:00\">",
      "      <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/LOGO.MAP\">",
      "      </PrimaryAudioVideoClip>",
      "    </Title>",
      "    <Title id=\"T2\" displayName=\"Feature\" titleDuration=\"01:30:00:00\">",
      "      <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\">",
      "        <Video track=\"1\" mediaAttr=\"1\"/>",
      "      </PrimaryAudioVideoClip>",
      "    </Title>",
      "    <Title id=\"T3\" displayName=\"Extras\" titleDuration=\"00:20:00:00\">",
      "      <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\">",
      "      </PrimaryAudioVideoClip>",
      "    </Title>",
      "  </TitleSet>",
      "</Playlist>",
  };
}

TEST_F(TitleViewTest, ShowsTheTitleAboveTheFirstLineNamingTheEvoFile) {
  Lines lines = threeTitles();
  showXplTitle(lines, codecs, "FEATURE_1", slots, window);
  const Lines full = threeTitles();
  EXPECT_EQ(lines, Lines(full.begin() + 6, full.begin() + 11));
  ASSERT_EQ(window.xplTree.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i)
    EXPECT_EQ(window.xplTree[i].text, XPL_TREE_ROOTS[i]);
  EXPECT_EQ(texts(root("Info")), (Lines{"Name: Feature", "Duration: 01:30:00:00"}));
  EXPECT_EQ(texts(root("Video")), Lines{"VC-1.stream.0"});

  // A longer name that contains the base name counts: FEATURE_10 stands first, so its title is shown.
  Lines changed = threeTitles();
  changed[3] = "      <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_10.MAP\">";
  lines = changed;
  showXplTitle(lines, codecs, "FEATURE_1", slots, window);
  EXPECT_EQ(lines, Lines(changed.begin() + 2, changed.begin() + 6));
  EXPECT_EQ(texts(root("Info")), (Lines{"Name: Logo", "Duration: 00:00:10:00"}));
}

TEST_F(TitleViewTest, WithoutAnAnchorNothingIsShown) {
  for (const std::string& evoBase : {std::string(), std::string("MISSING"), std::string("Playlist")}) {
    Lines lines = threeTitles();
    slots.Claim(17, 0xC0);
    showXplTitle(lines, codecs, evoBase, slots, window);
    EXPECT_EQ(lines, threeTitles()) << evoBase;
    EXPECT_EQ(window.xplTree.size(), 4u) << evoBase;
    EXPECT_EQ(enabledBoxes(), 0) << evoBase;
    EXPECT_FALSE(slots.present(17)) << evoBase;
    EXPECT_TRUE(window.logLines.empty());
  }
}

TEST_F(TitleViewTest, TrimsToTheNearestEndTag) {
  // The title's own end tag is missing: the title set's end tag ends it.
  Lines lines = {"<TitleSet>", "  <Title displayName=\"A\">", "    <Clip src=\"FEATURE_1.MAP\"/>", "  </TitleSet>",
                 "<Other/>"};
  showXplTitle(lines, codecs, "FEATURE_1", slots, window);
  EXPECT_EQ(lines, (Lines{"  <Title displayName=\"A\">", "    <Clip src=\"FEATURE_1.MAP\"/>", "  </TitleSet>"}));

  // No end tag at all, and the title on line 0: every line stays, to the end of the file.
  lines = {"<Title displayName=\"A\">", "  <Clip src=\"FEATURE_1.MAP\"/>",
           "  <Chapter titleTimeBegin=\"1\" displayName=\"c\"/>"};
  const Lines whole = lines;
  showXplTitle(lines, codecs, "FEATURE_1", slots, window);
  EXPECT_EQ(lines, whole);
  EXPECT_EQ(texts(root("Chapter")), Lines{"1: c"});
}

TEST_F(TitleViewTest, LabelsTracksAndListsEachNumberOnce) {
  Lines lines = {
      "<Title displayName=\"Main\" titleDuration=\"01:00:00:00\">",
      "  <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\">",
      "    <Video track=\"1\" mediaAttr=\"1\"/>",
      "    <Video track=\"2\" mediaAttr=\"1\"/>",
      "    <Audio track=\"1\" streamNumber=\"3\" mediaAttr=\"2\" description=\"English\"/>",
      "    <Audio track=\"2\" streamNumber=\"3\" mediaAttr=\"1\" description=\"Again\"/>",
      "    <Subtitle track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" description=\"English\"/>",
      "  </PrimaryAudioVideoClip>",
      "  <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_2.MAP\">",
      "    <Video track=\"1\" mediaAttr=\"1\"/>",
      "    <Audio track=\"1\" streamNumber=\"16\" mediaAttr=\"4\" description=\"Empty entry\"/>",
      "    <Subtitle track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" description=\"Repeated\"/>",
      "  </PrimaryAudioVideoClip>",
      "  <ChapterList>",
      "    <Chapter displayName=\"Chapter 2\" titleTimeBegin=\"00:05:12:00\"/>",
      "  </ChapterList>",
      "</Title>",
  };
  showXplTitle(lines, codecs, "FEATURE_1", slots, window);

  EXPECT_EQ(texts(root("Video")), (Lines{"VC-1.stream.0", "VC-1.stream.0"}));
  EXPECT_EQ(texts(root("Audio")), (Lines{"Stream 2: English.DDP", "Stream 15: Empty entry."}));
  EXPECT_EQ(texts(root("Subtitle")), Lines{"Stream 0: English.X"});
  EXPECT_EQ(texts(root("Chapter")), Lines{"00:05:12:00: Chapter 2"});
  EXPECT_EQ(window.logLines, (Lines{"VC-1.stream.0", "VC-1.stream.0", "DDP.stream.2.English", "Stream 0: English.X",
                                    ".stream.15.Empty entry"}));

  struct Box {
    int box;
    const char* caption;
  };
  for (const Box& b : {Box{videoBox(0), "VC-1.stream.0"}, Box{audioBox(2), "DDP.stream.2.English"},
                       Box{audioBox(15), ".stream.15.Empty entry"}, Box{subBox(0), "Stream 0: English.X"}}) {
    EXPECT_TRUE(window.boxes[b.box].enabled) << b.caption;
    EXPECT_TRUE(window.boxes[b.box].checked) << b.caption;
    EXPECT_EQ(window.boxes[b.box].caption, b.caption);
  }
  EXPECT_EQ(enabledBoxes(), 4);  // the second video track changes no box

  std::vector<int> marked;
  for (int slot = 1; slot <= StreamSlotTable::SLOT_COUNT; ++slot)
    if (slots.Get(slot) != StreamSlotTable::EMPTY)
      marked.push_back(slot);
  EXPECT_EQ(marked, (std::vector<int>{1, 2, 19, 32, 33}));
  EXPECT_EQ(slots.Get(19), StreamSlotTable::PRESENT);
}

TEST_F(TitleViewTest, NumbersOutsideTheTablesTouchNothing) {
  Lines lines = {
      "<Title displayName=\"Main\">",
      "  <Clip src=\"FEATURE_1.MAP\"/>",
      "  <Video track=\"0\" mediaAttr=\"1\"/>",
      "  <Video track=\"17\" mediaAttr=\"bad\"/>",
      "  <Audio streamNumber=\"17\" mediaAttr=\"1\" description=\"Too high\"/>",
      "  <Audio streamNumber=\"-2147483648\" mediaAttr=\"1\" description=\"Negative\"/>",
      "  <Subtitle streamNumber=\"0\" mediaAttr=\"1\" description=\"Zero\"/>",
      "  <Audio streamNumber=\"1\" mediaAttr=\"9\" description=\"Beyond the codecs\"/>",
      "  <Subtitle streamNumber=\"2\" mediaAttr=\"0\" description=\"Before the codecs\"/>",
      "</Title>",
  };
  showXplTitle(lines, codecs, "FEATURE_1", slots, window);
  EXPECT_TRUE(texts(root("Video")).empty());
  EXPECT_EQ(texts(root("Audio")), Lines{"Stream 0: Beyond the codecs."});
  EXPECT_EQ(texts(root("Subtitle")), Lines{"Stream 1: Before the codecs."});
  EXPECT_EQ(window.boxes[audioBox(0)].caption, ".stream.0.Beyond the codecs");
  EXPECT_EQ(enabledBoxes(), 2);
}

TEST_F(TitleViewTest, AFailedNumberKeepsWhatWasShown) {
  struct Case {
    const char* badLine;
    bool slotMarked;
  };
  // A bad track number fails before its slot is marked; a bad media attribute after.
  for (const Case& c : {Case{"  <Audio streamNumber=\"x3\" mediaAttr=\"1\"/>", false},
                        Case{"  <Audio streamNumber=\"3\" mediaAttr=\"\"/>", true}}) {
    FakeWindow fresh;
    window = fresh;
    Lines lines = {"<Title displayName=\"Main\">",
                   "  <Clip src=\"FEATURE_1.MAP\"/>",
                   "  <Audio streamNumber=\"1\" mediaAttr=\"2\" description=\"English\"/>",
                   c.badLine,
                   "  <Chapter displayName=\"never\"/>",
                   "</Title>",
                   "<After/>"};
    EXPECT_THROW(showXplTitle(lines, codecs, "FEATURE_1", slots, window), ConvertError);
    EXPECT_EQ(lines.size(), 6u);
    EXPECT_EQ(texts(root("Audio")), Lines{"Stream 0: English.DDP"});
    EXPECT_TRUE(texts(root("Chapter")).empty());
    EXPECT_TRUE(window.boxes[audioBox(0)].checked);
    EXPECT_EQ(slots.present(19), c.slotMarked) << c.badLine;
  }
}

}  // namespace
}  // namespace ardunex
