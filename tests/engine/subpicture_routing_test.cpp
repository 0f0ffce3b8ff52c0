// Subpicture sub-streams: recognised only when the option is on, one slot per number, their payloads
// gathered into SUP units; with the option off, nothing changes.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_harness.h"

namespace ardunex::test {
namespace {

void add(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

// Two subtitle streams (numbers 0 and 5) interleaved with video and audio, units over several packets,
// payload of stream 5 before its first PTS, and sub-stream 0x32, which stays discarded.
struct SubStream {
  Bytes bytes;
  Bytes video, audio;
  std::array<Bytes, 16> sup;
};

SubStream subStream() {
  SubStream m;
  PsBuilder b;
  b.pack(true).subpicture(5, payload(77, 99));  // before its stream's first PTS (as is round 0's first)
  Bytes open5;                                  // stream 5's unit so far: it begins at a round's second packet
  std::uint32_t open5Pts = 0;
  for (std::uint32_t round = 0; round < 4; ++round) {
    const std::uint32_t pts0 = 90'000 + round * 45'000, pts5 = pts0 + 1'000;
    Bytes unit0;
    for (int part = 0; part < 3; ++part) {
      const Bytes v = trickyPayload(900 + part, round * 10 + part), a = payload(300, round * 10 + part);
      b.pack().pes(0xE0, v, {.pts = true});
      add(m.video, v);
      const Bytes s0 = trickyPayload(200 + round * 7 + part, 100 + round * 3 + part);
      b.pack().subpicture(0, s0, {.pts = part == 0, .ptsValue = part == 0 ? pts0 : -1});
      add(unit0, s0);
      b.pack().privateStream1(0x81, a);
      add(m.audio, a);
      const Bytes s5 = payload(150 + part, 200 + round * 3 + part);
      b.subpicture(5, s5, {.pts = part == 1, .stuffing = part, .ptsValue = part == 1 ? pts5 : -1});
      if (part == 1) {
        if (round > 0)
          add(m.sup[5], supUnit(open5Pts, open5));
        open5.clear();
        open5Pts = pts5;
      }
      if (round > 0 || part > 0)
        add(open5, s5);
      b.subpicture(0x12, payload(40, part), {.pts = true});  // sub-stream 0x32
      b.padding(20 + part);
    }
    add(m.sup[0], supUnit(pts0, unit0));
  }
  add(m.sup[5], supUnit(open5Pts, open5));
  m.bytes = b.bytes();
  return m;
}

TEST(Subpictures, DemuxWritesUnitsWhateverTheBlockSplit) {
  const SubStream m = subStream();
  for (const std::size_t blockSize : {1u, 3u, 7u, 100u, 2048u, 65536u}) {
    SCOPED_TRACE(blockSize);
    FakeWindow window;
    window.optionsOn[static_cast<std::size_t>(Option::Subpictures)] = true;
    StreamSlotTable slots;
    SlotFiles files;
    Bytes video, audio;
    std::array<Bytes, 16> sup;
    files.video[0] = std::make_unique<MemoryOutputFile>("v", video);
    files.audio[1] = std::make_unique<MemoryOutputFile>("a", audio);
    for (int n : {0, 5})
      files.subpicture[n] = std::make_unique<SupWriter>(std::make_unique<MemoryOutputFile>("s", sup[n]), window, n);
    for (auto& box : window.boxes)
      box.checked = true;
    Walker walker(window, slots, files);
    walker.begin(Mode::Demux);
    for (std::size_t at = 0; at < m.bytes.size(); at += blockSize)
      walker.walk(m.bytes.data() + at, std::min(blockSize, m.bytes.size() - at));
    files.finishSubpictures(false);
    EXPECT_EQ(video, m.video);
    EXPECT_EQ(audio, m.audio);
    EXPECT_EQ(sup, m.sup);
    EXPECT_EQ(window.logLines,
              std::vector<std::string>{"Subpicture stream number 5: 227 bytes before the first time stamp dropped."});
  }
}

TEST(Subpictures, ScanClaimsASlotPerNumberOnlyWithTheOptionOn) {
  const SubStream m = subStream();
  for (const bool on : {false, true}) {
    SCOPED_TRACE(on ? "on" : "off");
    EngineHarness h;
    h.window.optionsOn[static_cast<std::size_t>(Option::Subpictures)] = on;
    h.setInput(m.bytes);
    h.scan();
    std::vector<std::string> expected{"Subpicture stream number 5 found!", "MPEG-2 Video Stream found!",
                                      "Subpicture stream number 0 found!",
                                      "Dolby Digital Audio Stream number 1 found!"};
    if (!on)
      expected = {expected[1], expected[3]};
    EXPECT_EQ(h.window.logLines, expected);
    for (int n = 0; n < 16; ++n) {
      const int claimed = on && (n == 0 || n == 5) ? 0x20 + n : StreamSlotTable::EMPTY;
      EXPECT_EQ(h.slots.Get(StreamSlotTable::FIRST_SUB_SLOT + n), claimed) << n;
    }
  }
}

// With the option off, open SUP writers receive nothing and the other files are as with it on.
TEST(Subpictures, OptionOffWritesNothingNewAndChangesNothingElse) {
  const SubStream m = subStream();
  EngineHarness h;
  h.setInput(m.bytes);
  h.openAllOutputs();
  h.openSubpictureOutputs();
  h.window.optionsOn[static_cast<std::size_t>(Option::Subpictures)] = false;
  h.demux();
  h.engine.run().SlotFile.finishSubpictures(false);
  EXPECT_EQ(h.video[0], m.video);
  EXPECT_EQ(h.audio[1], m.audio);
  EXPECT_EQ(h.sub[0], Bytes());
  EXPECT_EQ(h.sub[5], Bytes());
}

// Short packets, ids 0x30-0x3F, and a box unticked during the run.
TEST(Subpictures, ShortPacketsOtherIdsAndUntickedBoxes) {
  const Bytes ac3 = payload(60, 1);
  // A PES packet without header data whose payload after the id is only bytes long.
  const auto bare = [](std::uint8_t id, const Bytes& bytes) {
    Bytes p{0x00, 0x00, 0x01, 0xBD, 0x00, static_cast<std::uint8_t>(3 + 1 + bytes.size()), 0x81, 0x00, 0x00, id};
    add(p, bytes);
    return p;
  };
  struct Case {
    const char* name;
    Bytes stream;
    Bytes sup0;
    bool untick = false;
  };
  const std::vector<Case> cases{
      {"short continuation packets",
       PsBuilder()
           .subpicture(0, {1, 2}, {.pts = true, .ptsValue = 7})
           .raw(bare(0x20, {3, 4, 5}))
           .raw(bare(0x20, {6}))
           .raw(bare(0x20, {}))
           .bytes(),
       supUnit(7, {1, 2, 3, 4, 5, 6})},
      {"ids 0x30-0x3F",
       PsBuilder().subpicture(0x10, {1}, {.pts = true}).subpicture(0x1F, {2}, {.pts = true}).bytes(),
       {}},
      {"box unticked", PsBuilder().subpicture(0, {1, 2}, {.pts = true, .ptsValue = 7}).bytes(), {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineHarness h;
    h.setInput(concat({c.stream, PsBuilder().privateStream1(0x80, ac3).bytes()}));
    h.openAllOutputs();
    h.openSubpictureOutputs();
    h.window.boxes[subBox(0)].checked = !c.untick;
    h.demux();
    h.engine.run().SlotFile.finishSubpictures(false);
    EXPECT_EQ(h.sub[0], c.sup0);
    EXPECT_EQ(h.audio[0], ac3);  // the walker is back in step
    for (int n = 1; n < 16; ++n)
      EXPECT_TRUE(h.sub[n].empty()) << n;
  }
}

}  // namespace
}  // namespace ardunex::test
