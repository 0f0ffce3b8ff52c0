// SPDX-License-Identifier: GPL-2.0-or-later
// The stream inventory: the sums, time stamps and parameters it keeps, and delays across the clock wrap.
#include "codecs/stream_inventory.h"

#include <gtest/gtest.h>

#include <array>

namespace ardunex {
namespace {

TEST(StreamInventory, SumsPacketsAndKeepsTheFirstTimeStampAndLpcmParameters) {
  StreamInventory inventory;
  const std::array<std::uint8_t, 3> lpcm{0x00, 0x81, 0x80};  // 24 bit, 48 kHz, 2 channels
  const std::uint8_t data[100] = {};
  inventory.payload(0x1A0, true, -1, false, lpcm.data(), data, 60);
  inventory.payload(0x1A0, false, -1, false, lpcm.data(), data, 40);  // the same packet, next block
  inventory.payload(0x1A0, true, 5000, true, lpcm.data(), data, 100);
  inventory.payload(0x1A0, true, 4000, true, lpcm.data(), data, 100);
  inventory.payload(0x190, true, 1, false, nullptr, data, 10);  // no stream the program knows
  inventory.finish();
  ASSERT_EQ(inventory.records().size(), 1u);
  const StreamRecord& record = inventory.records()[0];
  EXPECT_EQ(record.packets, 3);
  EXPECT_EQ(record.payloadBytes, 300);
  EXPECT_EQ(record.firstPts, 5000);
  EXPECT_EQ(record.scrambledPackets, 2);
  EXPECT_EQ(record.params.bits, 24);
  EXPECT_EQ(record.params.sampleRate, 48000);
  EXPECT_EQ(record.params.channels, 2);
  EXPECT_EQ(record.delayMs, std::nullopt);  // no video to measure against
  EXPECT_EQ(inventory.find(0x1A0), &record);
  EXPECT_EQ(inventory.find(0x190), nullptr);
  inventory.reset();
  EXPECT_TRUE(inventory.records().empty());
}

TEST(StreamInventory, DelayTakesTheShorterWayRoundTheClock) {
  constexpr std::int64_t WRAP = std::int64_t{1} << 33;
  const struct {
    std::int64_t pts;
    std::int64_t reference;
    int delay;
  } cases[] = {
      {90000 + 10800, 90000, 120},
      {90000, 90000 + 450, -5},
      {1800, WRAP - 900, 30},
      {WRAP - 900, 1800, -30},
      {45, 0, 1},
      {-45 + WRAP, 0, -1},
      {134, 0, 1},
      {WRAP / 2 - 90, 0, 47721858},
  };
  for (const auto& c : cases)
    EXPECT_EQ(delayMs(c.pts, c.reference), c.delay) << c.pts << " against " << c.reference;
}

}  // namespace
}  // namespace ardunex
