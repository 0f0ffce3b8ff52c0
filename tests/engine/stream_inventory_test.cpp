// The stream inventory: what each code stands for, and the sums, time stamps and parameters it keeps.
#include "engine/stream_inventory.h"

#include <gtest/gtest.h>

#include <array>

namespace ardunex {
namespace {

TEST(StreamInventory, KnowsTheStreamOfEachCode) {
  const struct {
    int code;
    int streamId;
    StreamKind kind;
    const char* codec;
    const char* logName;
    int number;
  } cases[] = {
      {0xE1, 0xE1, StreamKind::Video, "MPEG-2", "MPEG-2", 1},
      {0xE2, 0xE2, StreamKind::Video, "AVC", "H.264", 0},
      {0x56, 0xFD, StreamKind::Video, "VC-1", "VC-1", 1},
      {0x187, 0xBD, StreamKind::Audio, "DD", "Dolby Digital", 7},
      {0x18A, 0xBD, StreamKind::Audio, "DTSHD", "DTS HD", 2},
      {0x1A3, 0xBD, StreamKind::Audio, "LPCM", "LPCM", 3},
      {0x1B1, 0xBD, StreamKind::Audio, "MLP", "MLP", 1},
      {0x1C0, 0xBD, StreamKind::Audio, "DD+", "DDplus", 0},
      {0x1CF, 0xBD, StreamKind::Audio, "DD+", "DDplus", 15},
      {0xC0, 0xC0, StreamKind::Audio, "MPA", "MPEG audio", 0},  // the stream_id, not the sub-stream
      {0xDF, 0xDF, StreamKind::Audio, "MPA", "MPEG audio", 31},
      {0x120, 0xBD, StreamKind::Subpicture, "Subpicture", "Subpicture", 0},
      {0x13F, 0xBD, StreamKind::Subpicture, "Subpicture", "Subpicture", 31},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    const std::optional<StreamRecord> record = describeStream(c.code);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->streamId, c.streamId);
    EXPECT_EQ(record->kind, c.kind);
    EXPECT_EQ(record->codec, c.codec);
    EXPECT_EQ(record->logName, c.logName);
    EXPECT_EQ(record->number, c.number);
    EXPECT_EQ(record->fileCode(), c.code & 0xFF);
  }
  for (int code : {0x00, 0x57, 0xBD, 0xE4, 0xFD, 0x11F, 0x140, 0x190, 0x1A8, 0x1B8, 0x1D0})
    EXPECT_FALSE(describeStream(code)) << code;
}

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
