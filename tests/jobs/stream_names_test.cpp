// SPDX-License-Identifier: GPL-2.0-or-later
// The stream names behind the scan labels, over every code and the unnamed gaps between the ranges.
#include "jobs/stream_names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace ardunex {
namespace {

struct CodeRange {
  std::int32_t first;
  std::int32_t last;
  const char* name;
};

/// Checks every code from -2 to 300 against the ranges; codes in no range must give the empty text.
void expectNames(std::string (*nameOf)(std::int32_t), std::initializer_list<CodeRange> ranges) {
  for (std::int32_t code = -2; code <= 300; ++code) {
    std::string expected;
    for (const CodeRange& range : ranges)
      if (code >= range.first && code <= range.last)
        expected = range.name;
    EXPECT_EQ(nameOf(code), expected) << "code " << code;
  }
}

TEST(StreamNames, VideoCodes) {
  expectNames(VideoStreamName, {{-1, -1, "No video stream"},
                                {0x55, 0x56, "VC-1.stream"},
                                {0xE0, 0xE1, "MPEG-2.stream"},
                                {0xE2, 0xE3, "AVC.stream"}});
  EXPECT_EQ(VideoStreamName(0xFD), "");  // the extended stream_id itself is no code of a slot
}

TEST(StreamNames, AudioCodes) {
  // 0x90-0x9F, 0xA8-0xAF and 0xB8-0xBF lie between the ranges and have no name.
  expectNames(AudioStreamName, {{-1, -1, "No audio stream"},
                                {0x80, 0x87, "DD.stream"},
                                {0x88, 0x8F, "DTSHD.stream"},
                                {0xA0, 0xA7, "LPCM.stream"},
                                {0xB0, 0xB7, "MLP.stream"},
                                {0xC0, 0xCF, "DD+.stream"}});
}

TEST(StreamNames, ScanLabelHasTwoDigitIndex) {
  const struct {
    const char* name;
    int index;
    const char* label;
  } cases[] = {
      {"AVC.stream", 0, "AVC.stream.00"},  {"VC-1.stream", 1, "VC-1.stream.01"}, {"DD+.stream", 3, "DD+.stream.03"},
      {"DD+.stream", 10, "DD+.stream.10"}, {"DD+.stream", 15, "DD+.stream.15"},  {"", 7, ".07"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(scanLabel(c.name, c.index), c.label);
}

}  // namespace
}  // namespace ardunex
