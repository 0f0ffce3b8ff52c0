// SPDX-License-Identifier: GPL-2.0-or-later
// Payload routing: which bytes of which packets reach which output file, however the input is split.
#include <gtest/gtest.h>

#include "support/engine_harness.h"

namespace ardunex::test {
namespace {

// A stream with every codec, packs, system headers, navigation and padding, and payloads with
// start-code look-alikes; expected holds what each output file must receive.
struct MixedStream {
  Bytes bytes;
  std::array<Bytes, 2> video;
  std::array<Bytes, 16> audio;
};

MixedStream mixedStream() {
  MixedStream m;
  PsBuilder b;
  auto add = [](Bytes& to, const Bytes& p) { to.insert(to.end(), p.begin(), p.end()); };
  for (std::uint32_t round = 0; round < 6; ++round) {
    b.pack(round == 0);
    b.skipPacket(0xBF, trickyPayload(300, round));  // navigation data
    const Bytes v0 = trickyPayload(1500 + round * 7, 10 + round);
    b.vc1(0x55, v0);
    add(m.video[0], v0);
    const Bytes v1 = trickyPayload(700, 20 + round);
    b.pes(0xE1, v1, {.ptsDts = true, .stuffing = 3});
    add(m.video[1], v1);
    const Bytes ac3 = payload(640, 30 + round);
    b.privateStream1(0x80, ac3);
    add(m.audio[0], ac3);
    const Bytes ddp = trickyPayload(400, 40 + round);
    b.privateStream1(0xCA, ddp);
    add(m.audio[10], ddp);
    const Bytes lpcm = payload(960, 50 + round);
    b.privateStream1(0xA1, lpcm, {.pts = true, .stuffing = 2});
    add(m.audio[1], lpcm);
    const Bytes mlp = payload(333, 60 + round);
    b.privateStream1(0xB2, mlp, {});
    add(m.audio[2], mlp);
    const Bytes dts = payload(211, 70 + round);
    b.privateStream1(0x8B, dts);
    add(m.audio[3], dts);
    b.padding(100 + round);
    b.skipPacket(0xBE, {0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0x01, 0xBD});
  }
  m.bytes = b.bytes();
  return m;
}

TEST(Routing, EachFileHoldsExactlyThePayloadsOfItsStream) {
  const MixedStream m = mixedStream();
  EngineHarness h;
  h.setInput(m.bytes);
  h.openAllOutputs();
  h.demux();
  EXPECT_EQ(h.video, m.video);
  EXPECT_EQ(h.audio, m.audio);
  EXPECT_EQ(h.slots.Get(1), 0x55);
  EXPECT_EQ(h.slots.Get(2), 0xE1);
  EXPECT_EQ(h.slots.Get(27), 0xCA);
}

// The walker keeps its state from block to block: every split of the input gives the same result.
TEST(Routing, AnyBlockSplitGivesTheSameResult) {
  const MixedStream m = mixedStream();
  for (const std::size_t blockSize : {1u, 2u, 3u, 4u, 5u, 7u, 13u, 64u, 1001u, 65536u}) {
    SCOPED_TRACE(blockSize);
    FakeWindow window;
    StreamSlotTable slots;
    PayloadRouter router(slots);
    std::array<Bytes, 2> video;
    std::array<Bytes, 16> audio;
    routeEveryNumber(router, video, audio);
    for (const Mode mode : {Mode::Scan, Mode::Demux}) {
      Walker walker(window, slots, router);
      slots.Reset();
      walker.begin(mode);
      router.begin(mode);
      for (std::size_t at = 0; at < m.bytes.size(); at += blockSize)
        walker.walk(m.bytes.data() + at, std::min(blockSize, m.bytes.size() - at));
    }
    EXPECT_EQ(video, m.video);
    EXPECT_EQ(audio, m.audio);
    EXPECT_EQ(window.logLines.size(), 7u);  // the scan's lines: 2 video, 5 audio
  }
}

TEST(Routing, PayloadStraddlingABlockIsAppendedInTwoPieces) {
  const Bytes p = payload(100, 7);
  struct Case {
    std::size_t payloadStart;  // file offset of the payload's first byte
    int appends;
  };
  // Header 9 bytes (start code, length, fixed header), no header data.
  for (const Case c : {Case{65536 - 40, 2}, Case{65536, 1}, Case{65536 - 100, 1}, Case{65536 - 7, 2}}) {
    SCOPED_TRACE(c.payloadStart);
    const Bytes stream = PsBuilder().padding(c.payloadStart - 9).pes(0xE0, p).pes(0xE0, {0x42}).bytes();
    EngineHarness h;
    h.setInput(stream);
    h.openAllOutputs();
    h.demux();
    EXPECT_EQ(h.video[0], concat({p, {0x42}}));
    EXPECT_EQ(h.videoFile[0]->appends, c.appends + 1);
  }
}

TEST(Routing, StartCodeAndHeaderStraddlingBlocksAreRecognised) {
  const Bytes p = payload(300, 8);
  for (std::size_t packetStart = 65536 - 16; packetStart <= 65536; ++packetStart) {
    SCOPED_TRACE(packetStart);
    const Bytes stream = PsBuilder().padding(packetStart).privateStream1(0xA0, p).bytes();
    EngineHarness h;
    h.setInput(stream);
    h.openAllOutputs();
    h.demux();
    EXPECT_EQ(h.audio[0], p);
  }
}

TEST(Routing, CodecsSharingANumberNeverMix) {
  const Bytes ac3a = payload(90, 1), dts = payload(90, 2), ac3b = payload(90, 3);
  const Bytes mpeg2 = payload(90, 4), avc = payload(90, 5), vc1 = payload(90, 6);
  EngineHarness h;
  h.setInput(PsBuilder()
                 .privateStream1(0x80, ac3a)
                 .privateStream1(0x88, dts)
                 .privateStream1(0x80, ac3b)
                 .pes(0xE0, mpeg2)
                 .pes(0xE2, avc)
                 .vc1(0x55, vc1)
                 .bytes());
  h.openAllOutputs();
  h.demux();
  EXPECT_EQ(h.audio[0], concat({ac3a, ac3b}));
  EXPECT_EQ(h.video[0], mpeg2);
}

TEST(Routing, MpegAudioPacketsAreNeverWritten) {
  const Bytes ac3 = payload(90, 1);
  EngineHarness h;
  h.setInput(
      PsBuilder().privateStream1(0x80, ac3).pes(0xC0, payload(90, 2), {.pts = true}).pes(0xC8, payload(90, 3)).bytes());
  h.openAllOutputs();
  h.demux();
  EXPECT_EQ(h.audio[0], ac3);
  for (int n = 1; n < 16; ++n)
    EXPECT_TRUE(h.audio[n].empty()) << n;
}

TEST(Routing, NothingIsWrittenForUnwantedOrEmptyPayloads) {
  const Bytes ac3 = payload(50, 1);
  struct Case {
    const char* name;
    Bytes stream;
  };
  const Case cases[] = {
      {"subpicture", PsBuilder().privateStream1(0x21, payload(50, 2)).bytes()},
      {"vc1 0x57", PsBuilder().vc1(0x57, payload(50, 3)).bytes()},
      {"empty after sub-stream header", PsBuilder().privateStream1(0x81, {}).bytes()},
      {"empty video", PsBuilder().pes(0xE1, {}, {.pts = true}).bytes()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineHarness h;
    // The following AC-3 packet shows that the walker is back in step.
    h.setInput(concat({c.stream, PsBuilder().privateStream1(0x80, ac3).bytes()}));
    h.openAllOutputs();
    h.demux();
    EXPECT_EQ(h.audio[0], ac3);
    for (int n = 1; n < 16; ++n)
      EXPECT_TRUE(h.audio[n].empty()) << n;
    EXPECT_TRUE(h.video[0].empty());
    EXPECT_TRUE(h.video[1].empty());
  }
}

TEST(Routing, OnlyTickedBoxesWithOpenFilesAreWrittenAndOnlyInDemuxMode) {
  const Bytes v0 = payload(80, 1), v1 = payload(80, 2), a5 = payload(80, 3);
  const Bytes stream = PsBuilder().vc1(0x55, v0).vc1(0x56, v1).privateStream1(0xC5, a5).bytes();

  EngineHarness scan;
  scan.setInput(stream);
  scan.openAllOutputs();
  scan.scan();
  for (const MemoryOutputFile* file : scan.videoFile)
    EXPECT_EQ(file->appends, 0);
  for (const MemoryOutputFile* file : scan.audioFile)
    EXPECT_EQ(file->appends, 0);

  EngineHarness h;
  h.setInput(stream);
  PayloadRouter& router = h.engine.router();
  routeToMemory(router, {Route::By::VideoNumber, 0}, videoBox(0), h.video[0]);
  routeToMemory(router, {Route::By::VideoNumber, 1}, videoBox(1), h.video[1]);
  router.setTicked(videoBox(1), false);  // a file, its box unticked
  router.setTicked(audioBox(5), true);   // box ticked, no file
  h.demux();
  EXPECT_EQ(h.video[0], v0);
  EXPECT_TRUE(h.video[1].empty());
}

// Header layouts: where the payload begins after the optional fields.
TEST(Routing, PayloadStartsAfterEveryHeaderField) {
  const Bytes p = payload(77, 4);
  struct Case {
    const char* name;
    PesHeader header;
  };
  const Case cases[] = {
      {"none", {}},
      {"pts", {.pts = true}},
      {"pts dts stuffing", {.ptsDts = true, .stuffing = 5}},
      {"extension flags last", {.extension = true}},
      {"pts, extension flags last", {.pts = true, .extension = true, .extFlags = 0x0E}},
      {"pts, p-std", {.pts = true, .pstd = true}},
      {"p-std and vc1 extension", {.pstd = true, .streamIdExtension = 0x55}},
      {"pts dts, vc1 extension, stuffing", {.ptsDts = true, .stuffing = 4, .streamIdExtension = 0x55}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint8_t id = c.header.streamIdExtension >= 0 ? 0xFD : 0xE0;
    EngineHarness h;
    PsBuilder b;
    b.pes(id, p, c.header);
    if (id == 0xFD)
      b.vc1(0x55, {0x11, 0x22});
    else
      b.pes(0xE0, {0x11, 0x22});
    h.setInput(b.bytes());
    h.openAllOutputs();
    h.demux();
    EXPECT_EQ(h.video[0], concat({p, {0x11, 0x22}}));
  }
}

TEST(Routing, AudioPayloadStartsAfterItsCodecHeader) {
  for (const std::uint8_t id : {0x80, 0x8F, 0xA1, 0xB1, 0xC1, 0xCF}) {
    SCOPED_TRACE(int{id});
    const Bytes p = payload(123, id);
    EngineHarness h;
    h.setInput(PsBuilder().privateStream1(id, p).bytes());
    h.openAllOutputs();
    h.demux();
    const int number = id >= 0xC0 ? id & 15 : id & 7;
    EXPECT_EQ(h.audio[number], p);
  }
}

}  // namespace
}  // namespace ardunex::test

namespace ardunex::test {
namespace {

// Bytes between packets only matter where they complete a recognised start code.
TEST(Routing, JunkBetweenPacketsChangesNothing) {
  const Bytes junk{0xFF, 0x01, 0x01, 0x00, 0x00, 0x01, 0xBA, 0x44, 0x01, 0x00, 0x00, 0x01, 0xB9, 0x00, 0x00,
                   0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0xB3, 0x12, 0x00, 0x01, 0xE0, 0x01, 0x00, 0x00};
  PsBuilder b;
  Bytes expected;
  for (std::uint32_t k = 0; k < 40; ++k) {
    b.raw(Bytes(junk.begin(), junk.begin() + 1 + k % junk.size()));
    const Bytes p = payload(50 + k, k);
    b.privateStream1(0x83, p);
    expected.insert(expected.end(), p.begin(), p.end());
  }
  for (const std::size_t blockSize : {1u, 2u, 3u, 5u, 17u, 65536u}) {
    SCOPED_TRACE(blockSize);
    FakeWindow window;
    StreamSlotTable slots;
    PayloadRouter router(slots);
    Bytes audio;
    routeToMemory(router, {Route::By::AudioNumber, 3}, audioBox(3), audio);
    Walker walker(window, slots, router);
    walker.begin(Mode::Demux);
    router.begin(Mode::Demux);
    for (std::size_t at = 0; at < b.size(); at += blockSize)
      walker.walk(b.bytes().data() + at, std::min(blockSize, b.size() - at));
    EXPECT_EQ(audio, expected);
    EXPECT_EQ(slots.Get(20), 0x83);
  }
}

}  // namespace
}  // namespace ardunex::test
