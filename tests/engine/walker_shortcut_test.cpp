// The walker's shortcuts over packet headers and the bytes between packets must end exactly where its
// single-byte steps end: same files, log, slots and state, wherever the blocks are cut.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "engine/walker.h"
#include "support/fake_window.h"
#include "support/memory_files.h"
#include "support/ps_builder.h"

namespace ardunex::test {
namespace {

struct Walked {
  std::array<Bytes, 18> outputs;
  std::vector<std::string> log;
  std::vector<std::int32_t> slots;
  WalkerState state;
};

Walked walk(const Bytes& data, std::size_t blockSize, Mode mode, bool byteWise) {
  Walked walked;
  FakeWindow window;
  for (auto& box : window.boxes)
    box.checked = true;
  StreamSlotTable slots;
  SlotFiles files;
  for (int n = 0; n < 2; ++n)
    files.video[n] = std::make_unique<MemoryOutputFile>("v", walked.outputs[n]);
  for (int n = 0; n < 16; ++n)
    files.audio[n] = std::make_unique<MemoryOutputFile>("a", walked.outputs[2 + n]);
  Walker walker(window, slots, files);
  walker.setByteWise(byteWise);
  walker.begin(mode);
  for (std::size_t at = 0; at < data.size(); at += blockSize) {
    const Bytes block(data.begin() + at, data.begin() + std::min(data.size(), at + blockSize));
    walker.walk(block.data(), block.size());
  }
  walked.log = window.logLines;
  for (int slot = 1; slot <= StreamSlotTable::SLOT_COUNT; ++slot)
    walked.slots.push_back(slots.Get(slot));
  walked.state = walker.state();
  return walked;
}

void expectSameState(const WalkerState& a, const WalkerState& b) {
  EXPECT_EQ(a.StartCodeWindow, b.StartCodeWindow);
  EXPECT_EQ(a.streamClass, b.streamClass);
  EXPECT_EQ(a.PacketRemaining, b.PacketRemaining);
  EXPECT_EQ(a.HeaderFlags, b.HeaderFlags);
  EXPECT_EQ(a.HeaderRemaining, b.HeaderRemaining);
  EXPECT_EQ(a.SkipRemaining, b.SkipRemaining);
  EXPECT_EQ(a.InPayload, b.InPayload);
  EXPECT_EQ(a.LpcmHeaderPending, b.LpcmHeaderPending);
  EXPECT_EQ(a.MlpHeaderPending, b.MlpHeaderPending);
  EXPECT_EQ(a.VideoNumber, b.VideoNumber);
  EXPECT_EQ(a.AudioNumber, b.AudioNumber);
  EXPECT_EQ(a.LastSubStreamId, b.LastSubStreamId);
  EXPECT_EQ(a.PacketCode, b.PacketCode);
}

// Every kind of packet the shortcuts take or decline, with start-code look-alikes in payloads, 0x01 bytes
// in time stamps and pack headers, junk between packets and a truncated header at the end.
Bytes mixedStream() {
  PsBuilder ps;
  // Start codes completing inside headers: in the time stamp, and at the first further LPCM header byte.
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xBD, 0x00, 0x14, 0x81, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00, 0x01, 0xA1, 0x00,
               0x00, 0x01, 0xE0, 0x00, 0x05, 0x11, 0x22, 0x33, 0x44, 0x55});
  ps.padding(30);
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 0x10, 0x81, 0x80, 0x05, 0x00, 0x00, 0x01, 0xE1, 0x00, 0x08,
               0x81, 0x00, 0x00, 0xAB, 0xCD});
  ps.padding(30);
  for (int i = 0; i < 40; ++i) {
    ps.pack(i % 8 == 0).pes(0xE0, trickyPayload(300 + i, i), {.ptsDts = i % 2 == 0});
    ps.pack().privateStream1(0x80, payload(200 + i, i), {.pts = true, .stuffing = i % 3});
    ps.pack().privateStream1(0xA1, payload(90, i));                   // LPCM: three more header bytes
    ps.pack().privateStream1(0xB2, payload(70, i));                   // MLP: one more header byte
    ps.pack().privateStream1(0xC9, payload(60, i), {});               // no time stamp
    ps.vc1(0x55, payload(150, i));                                    // PES extension: byte-wise
    ps.pes(0xE2, payload(40, i), {.pts = true, .extension = true, .extFlags = 0x10, .pstd = true});
    ps.privateStream1(0x21, payload(30, i));                          // subpicture, discarded
    ps.pes(0xC0, payload(50, i), {.pts = true});                      // MPEG audio, never written
    ps.skipPacket(0xBF, Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 0x01});   // navigation with a look-alike
    ps.raw(Bytes{0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0xB9, 0x07});    // junk and an end code
    ps.padding(40 + i);
  }
  // Short audio packets, a header shorter than its time stamps, a packet overrunning its length.
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xBD, 0x00, 0x07, 0x81, 0x00, 0x00, 0x80, 0x01, 0x00, 0x01});
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 0x20, 0x81, 0xC0, 0x03, 0x31, 0x00, 0x01, 0xAA, 0xBB});
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xE1, 0x00, 0x02, 0x81, 0x00, 0x00, 0xCC, 0xDD, 0xEE});
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xBD, 0x00, 0x40, 0x81, 0x80});  // cut inside its header
  return ps.bytes();
}

TEST(WalkerShortcuts, EndWhereTheSingleByteStepsEnd) {
  const Bytes data = mixedStream();
  for (std::size_t blockSize : {std::size_t{1}, std::size_t{5}, std::size_t{17}, std::size_t{64}, std::size_t{777},
                                std::size_t{2048}, std::size_t{65536}}) {
    for (Mode mode : {Mode::Scan, Mode::Demux}) {
      SCOPED_TRACE("block size " + std::to_string(blockSize) + (mode == Mode::Scan ? ", scan" : ", demux"));
      const Walked fast = walk(data, blockSize, mode, false);
      const Walked reference = walk(data, blockSize, mode, true);
      EXPECT_EQ(reference.outputs, fast.outputs);
      EXPECT_EQ(reference.log, fast.log);
      EXPECT_EQ(reference.slots, fast.slots);
      expectSameState(reference.state, fast.state);
    }
  }
  // The stream really exercises what it claims to: found lines, the short packet and written payloads.
  const Walked scanned = walk(data, 65536, Mode::Scan, false);
  EXPECT_NE(std::find(scanned.log.begin(), scanned.log.end(), "short audio packet"), scanned.log.end());
  EXPECT_NE(std::find(scanned.log.begin(), scanned.log.end(), "LPCM Audio Stream number 1 found!"),
            scanned.log.end());
  const Walked demuxed = walk(data, 65536, Mode::Demux, false);
  EXPECT_FALSE(demuxed.outputs[0].empty());
  EXPECT_FALSE(demuxed.outputs[2 + 1].empty());
  EXPECT_FALSE(demuxed.outputs[2 + 2].empty());
}

}  // namespace
}  // namespace ardunex::test
