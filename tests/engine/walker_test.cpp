// SPDX-License-Identifier: GPL-2.0-or-later
// The stream slot table and the program stream walker: classification, slots, log lines, header steps.
#include <gtest/gtest.h>

#include "support/engine_harness.h"

namespace ardunex::test {
namespace {

TEST(StreamSlotTable, FirstClaimWinsUntilReset) {
  StreamSlotTable table;
  for (int slot = 1; slot <= StreamSlotTable::SLOT_COUNT; ++slot)
    EXPECT_EQ(table.Get(slot), -1);
  EXPECT_TRUE(table.Claim(17, 0x80));
  EXPECT_FALSE(table.Claim(17, 0x88));
  EXPECT_EQ(table.Get(17), 0x80);
  EXPECT_TRUE(table.present(17));
  // Nothing outside 1-48 is stored or read.
  EXPECT_FALSE(table.Claim(0, 0xE0));
  EXPECT_FALSE(table.Claim(49, 0xE0));
  EXPECT_EQ(table.Get(49), -1);
  table.Reset();
  EXPECT_EQ(table.Get(17), -1);
}

// One stream of each kind: where it lands and what a scan logs for it.
TEST(Walker, ScanClaimsSlotsAndLogsEachCodec) {
  struct Case {
    const char* name;
    Bytes stream;
    int slot;
    int code;
    const char* logLine;
  };
  const Bytes p = payload(50, 1);
  const Case cases[] = {
      {"mpeg2", PsBuilder().pes(0xE0, p, {.pts = true}).bytes(), 1, 0xE0, "MPEG-2 Video Stream found!"},
      {"mpeg2 number 1", PsBuilder().pes(0xE1, p).bytes(), 2, 0xE1, "MPEG-2 Video Stream found!"},
      {"avc", PsBuilder().pes(0xE3, p, {.ptsDts = true}).bytes(), 2, 0xE3, "H.264 Video Stream found!"},
      {"vc1 0x55", PsBuilder().vc1(0x55, p).bytes(), 1, 0x55, "VC-1 video stream number 0 found!"},
      {"vc1 0x56", PsBuilder().vc1(0x56, p, false).bytes(), 2, 0x56, "VC-1 video stream number 1 found!"},
      {"ac3", PsBuilder().privateStream1(0x80, p).bytes(), 17, 0x80, "Dolby Digital Audio Stream number 0 found!"},
      {"dts", PsBuilder().privateStream1(0x8B, p).bytes(), 20, 0x8B, "DTS HD Audio Stream number 3 found!"},
      {"ddplus", PsBuilder().privateStream1(0xC9, p).bytes(), 26, 0xC9, "DDplus Audio Stream number 9 found!"},
      {"lpcm", PsBuilder().privateStream1(0xA2, p).bytes(), 19, 0xA2, "LPCM Audio Stream number 2 found!"},
      {"mlp", PsBuilder().privateStream1(0xB7, p).bytes(), 24, 0xB7, "MLP Audio Stream number 7 found!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineHarness h;
    h.setInput(concat({PsBuilder().pack(true).bytes(), c.stream}));
    h.scan();
    EXPECT_EQ(h.slots.Get(c.slot), c.code);
    for (int slot = 1; slot <= StreamSlotTable::SLOT_COUNT; ++slot) {
      if (slot != c.slot) {
        EXPECT_EQ(h.slots.Get(slot), -1) << slot;
      }
    }
    EXPECT_EQ(h.window.logLines, std::vector<std::string>{c.logLine});
  }
}

// What later stages read of each packet: its PTS, whether it is scrambled, its further LPCM header bytes;
// the same on the header shortcuts and the single-byte steps, wherever the blocks are cut.
TEST(Walker, KeepsTheTimeStampScramblingAndLpcmHeaderOfThePacket) {
  struct Case {
    const char* name;
    Bytes stream;
    std::int64_t pts;
    bool scrambled;
    std::array<std::uint8_t, 3> lpcmHeader;
  };
  const Bytes p = payload(40, 1);
  const Case cases[] = {
      {"no time stamp", PsBuilder().pes(0xE0, p).bytes(), -1, false, {}},
      {"largest PTS", PsBuilder().pes(0xE0, p, {.pts = true, .ptsValue = 0x1FFFFFFFF}).bytes(), 0x1FFFFFFFF, false, {}},
      {"PTS and DTS",
       PsBuilder().pes(0xE2, p, {.ptsDts = true, .ptsValue = 0x123456789}).bytes(),
       0x123456789,
       false,
       {}},
      {"scrambled AC-3",
       PsBuilder().privateStream1(0x80, p, {.pts = true, .scrambling = 1, .ptsValue = 90000}).bytes(),
       90000,
       true,
       {}},
      {"scrambled VC-1",
       PsBuilder().pes(0xFD, p, {.pts = true, .streamIdExtension = 0x55, .scrambling = 2, .ptsValue = 3}).bytes(),
       3,
       true,
       {}},
      {"scrambled MPEG audio",
       PsBuilder().pes(0xC0, p, {.pts = true, .scrambling = 3, .ptsValue = 7}).bytes(),
       7,
       true,
       {}},
      {"LPCM", PsBuilder().privateStream1(0xA1, p, {.pts = true, .ptsValue = 5}).bytes(), 5, false, {0x00, 0x11, 0x80}},
      {"a packet after one with all three",
       concat({PsBuilder().privateStream1(0xA1, p, {.pts = true, .scrambling = 1}).bytes(),
               PsBuilder().pes(0xE0, p).bytes()}),
       -1,
       false,
       {}},
  };
  for (const Case& c : cases) {
    const Bytes stream = concat({PsBuilder().pack().bytes(), c.stream});
    for (bool byteWise : {false, true}) {
      for (std::size_t blockSize : {std::size_t{1}, std::size_t{7}, stream.size()}) {
        SCOPED_TRACE(std::string(c.name) + (byteWise ? ", byte-wise, " : ", ") + std::to_string(blockSize));
        FakeWindow window;
        StreamSlotTable slots;
        PayloadRouter router(slots);
        Walker walker(window, slots, router);
        walker.setByteWise(byteWise);
        walker.begin(Mode::Scan);
        for (std::size_t at = 0; at < stream.size(); at += blockSize)
          walker.walk(stream.data() + at, std::min(blockSize, stream.size() - at));
        EXPECT_EQ(walker.state().Pts, c.pts);
        EXPECT_EQ(walker.state().Scrambled, c.scrambled);
        EXPECT_EQ(walker.state().LpcmHeader, c.lpcmHeader);
      }
    }
  }
}

TEST(Walker, FirstStreamOfANumberKeepsTheSlotAndIsLoggedOnce) {
  EngineHarness h;
  h.setInput(PsBuilder()
                 .pes(0xE2, payload(20, 1))
                 .pes(0xE0, payload(20, 2))
                 .privateStream1(0x80, payload(20, 3))
                 .privateStream1(0x88, payload(20, 4))
                 .privateStream1(0x80, payload(20, 5))
                 .vc1(0x55, payload(20, 6))
                 .bytes());
  h.scan();
  EXPECT_EQ(h.slots.Get(1), 0xE2);
  EXPECT_EQ(h.slots.Get(17), 0x80);
  EXPECT_EQ(h.window.logLines,
            (std::vector<std::string>{"H.264 Video Stream found!", "Dolby Digital Audio Stream number 0 found!"}));
}

TEST(Walker, DemuxModeClaimsSlotsWithoutLogging) {
  EngineHarness h;
  h.setInput(PsBuilder().pes(0xE0, payload(20, 1)).privateStream1(0xC1, payload(20, 2)).bytes());
  h.demux();
  EXPECT_EQ(h.slots.Get(1), 0xE0);
  EXPECT_EQ(h.slots.Get(18), 0xC1);
  EXPECT_TRUE(h.window.logLines.empty());
}

TEST(Walker, UnusableStreamsClaimNothing) {
  const Bytes p = payload(40, 9);
  const Bytes streams[] = {
      PsBuilder().vc1(0x57, p).bytes(),                 // extension id other than VC-1
      PsBuilder().privateStream1(0x21, p).bytes(),      // subpicture
      PsBuilder().pes(0xC0, p, {.pts = true}).bytes(),  // MPEG audio
      PsBuilder().padding(2000).bytes(),
      PsBuilder().skipPacket(0xBF, trickyPayload(1000, 3)).bytes(),  // navigation data with start-code look-alikes
      PsBuilder().skipPacket(0xBE, concat({{0x00, 0x00, 0x01, 0xE0, 0x00, 0x10}, payload(100, 4)})).bytes(),
      PsBuilder().pack(true).pack().raw({0x00, 0x00, 0x01, 0xB9}).bytes(),  // packs, system header, end code
  };
  for (const Bytes& s : streams) {
    EngineHarness h;
    h.setInput(s);
    h.scan();
    for (int slot = 1; slot <= StreamSlotTable::SLOT_COUNT; ++slot)
      EXPECT_EQ(h.slots.Get(slot), -1) << "slot " << slot;
    EXPECT_TRUE(h.window.logLines.empty());
  }
}

TEST(Walker, VideoSlotClaimedAtStartCodeEvenIfPacketIsLaterDiscarded) {
  // An 0xE0 packet whose extension carries a foreign stream_id_extension is discarded, yet keeps its claim.
  EngineHarness h;
  h.setInput(PsBuilder().pes(0xE0, payload(30, 1), {.streamIdExtension = 0x57}).bytes());
  h.openAllOutputs();
  h.demux();
  EXPECT_EQ(h.slots.Get(1), 0xE0);
  EXPECT_TRUE(h.video[0].empty());
}

TEST(Walker, ShortAudioPacketIsLoggedInScanModeAndPassedOver) {
  // private_stream_1 without header data and only four bytes after the fixed header.
  const Bytes shortPacket{0x00, 0x00, 0x01, 0xBD, 0x00, 0x07, 0x81, 0x00, 0x00, 0x80, 0x01, 0x00, 0x01};
  const Bytes p = payload(64, 5);
  const Bytes stream = concat({shortPacket, PsBuilder().privateStream1(0x81, p).bytes()});

  EngineHarness h;
  h.setInput(stream);
  h.scan();
  EXPECT_EQ(h.window.logLines,
            (std::vector<std::string>{"short audio packet", "Dolby Digital Audio Stream number 1 found!"}));
  EXPECT_EQ(h.slots.Get(17), -1);

  h.window.logLines.clear();
  h.setInput(stream);
  h.openAllOutputs();
  h.demux();
  EXPECT_TRUE(h.window.logLines.empty());
  EXPECT_TRUE(h.audio[0].empty());
  EXPECT_EQ(h.audio[1], p);
}

TEST(Walker, UnrecognisedSubStreamAcceptedAfterMlpClaimsNoSlotAndIsNotWritten) {
  const Bytes mlp = payload(100, 1);
  EngineHarness h;
  h.setInput(PsBuilder().privateStream1(0xB0, mlp).privateStream1(0xB8, payload(100, 2)).bytes());
  h.openAllOutputs();
  h.demux();
  // Accepted (still audio, not discarded) as number 8, whose slot it never claimed.
  EXPECT_EQ(h.engine.walkerState().streamClass, StreamClass::PrivateAudio);
  EXPECT_EQ(h.engine.walkerState().AudioNumber, 8);
  EXPECT_EQ(h.slots.Get(25), -1);
  EXPECT_EQ(h.audio[0], mlp);
  for (int n = 1; n < 16; ++n)
    EXPECT_TRUE(h.audio[n].empty()) << n;
}

}  // namespace
}  // namespace ardunex::test
