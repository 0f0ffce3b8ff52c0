// SPDX-License-Identifier: GPL-2.0-or-later
// The ASCII text helpers: folding leaves every byte but a to z alone, hex digits round-trip, two digits pad.
#include "base/ascii_text.h"

#include <gtest/gtest.h>

#include <cctype>

namespace ardunex {
namespace {

TEST(AsciiText, FoldsOnlyTheAsciiLetters) {
  EXPECT_EQ(asciiUpper("feature_1.evo"), "FEATURE_1.EVO");
  EXPECT_EQ(asciiUpper("`az{@AZ["), "`AZ{@AZ[");
  // Bytes of 128 and above (Latin-1 and UTF-8 letters among them) stay as they are.
  const std::string high = "\xE9\xFF\xC3\xA9\x80";
  EXPECT_EQ(asciiUpper(high), high);
  EXPECT_EQ(asciiUpper(std::string_view("a\0b", 3)), std::string("A\0B", 3));
}

TEST(AsciiText, HexDigitsRoundTripAndRejectTheirNeighbours) {
  for (int value = 0; value < 16; ++value) {
    EXPECT_EQ(hexDigitValue(HEX_DIGITS[value]), value);
    EXPECT_EQ(hexDigitValue(static_cast<char>(std::toupper(HEX_DIGITS[value]))), value);
  }
  for (char c : {'/', ':', '@', 'G', '`', 'g', ' ', 'x', '\0', '\xB0'})
    EXPECT_EQ(hexDigitValue(c), -1) << static_cast<int>(c);
}

TEST(AsciiText, TwoDigitsPadsWithAZero) {
  const std::pair<int, const char*> cases[] = {{0, "00"}, {7, "07"}, {10, "10"}, {15, "15"}, {99, "99"}};
  for (const auto& [n, text] : cases)
    EXPECT_EQ(twoDigits(n), text) << n;
}

}  // namespace
}  // namespace ardunex
