// SPDX-License-Identifier: GPL-2.0-or-later
// The selection rule: "Demux" is available exactly when some stream box is ticked, enabled or not.
#include <gtest/gtest.h>

#include "jobs/session.h"
#include "support/fake_window.h"

namespace ardunex {
namespace {

class SelectionRule : public testing::Test {
 protected:
  SelectionRule() {
    fake.session = &session;
    for (auto& box : fake.boxes)
      box.enabled = true;
  }

  bool demuxEnabled() const { return fake.buttonEnabled(Button::Demux); }

  FakeWindow fake;
  Session session{fake};
};

TEST_F(SelectionRule, AnyTickedBoxOfAnyGroupEnablesDemux) {
  for (int box = 0; box < BOX_COUNT; ++box) {
    SCOPED_TRACE(box);
    fake.click(box);
    EXPECT_TRUE(demuxEnabled());
    fake.click(box);
    EXPECT_FALSE(demuxEnabled());
  }
}

TEST_F(SelectionRule, UntickingTheLastTickedBoxDisablesDemux) {
  fake.click(videoBox(0));
  fake.click(videoBox(1));
  for (int k = 0; k < AUDIO_BOX_COUNT; ++k)
    fake.click(audioBox(k));
  EXPECT_TRUE(demuxEnabled());
  fake.click(videoBox(1));
  fake.click(videoBox(0));
  for (int k = 0; k < AUDIO_BOX_COUNT - 1; ++k)
    fake.click(audioBox(k));
  EXPECT_TRUE(demuxEnabled());
  fake.click(audioBox(AUDIO_BOX_COUNT - 1));
  EXPECT_FALSE(demuxEnabled());
}

TEST_F(SelectionRule, ResetBoxesAreUntickedAndTakeNoClick) {
  fake.click(subBox(5));
  fake.click(audioBox(2));
  ASSERT_TRUE(demuxEnabled());
  session.Resetcbs();
  EXPECT_FALSE(fake.boxes[subBox(5)].enabled);
  EXPECT_FALSE(fake.boxes[subBox(5)].checked);
  EXPECT_EQ(fake.boxes[subBox(5)].caption, "No subpicture");
  EXPECT_EQ(fake.boxes[audioBox(2)].caption, "No audio stream");
  EXPECT_EQ(fake.boxes[videoBox(7)].caption, "No video stream");
  EXPECT_FALSE(demuxEnabled());  // no box is left ticked

  fake.click(subBox(5));  // a disabled box takes no click
  EXPECT_FALSE(fake.boxes[subBox(5)].checked);
  EXPECT_FALSE(demuxEnabled());
}

}  // namespace
}  // namespace ardunex
