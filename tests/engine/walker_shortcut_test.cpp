// SPDX-License-Identifier: GPL-2.0-or-later
// The walker's shortcuts over packet headers and the bytes between packets must end exactly where its
// single-byte steps end: same files, log, slots and state, wherever the blocks are cut.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <ostream>
#include <set>
#include <string>

#include "engine/walker.h"
#include "support/engine_harness.h"
#include "support/fake_window.h"
#include "support/memory_files.h"
#include "support/ps_builder.h"

namespace ardunex {

// A walker state field by field, for the message when two states differ.
void PrintTo(const WalkerState& s, std::ostream* os) {
  *os << "{window " << std::hex << s.StartCodeWindow << std::dec << ", class " << int(s.streamClass) << ", remaining "
      << s.PacketRemaining << ", length " << int(s.LengthPending) << ", skip " << s.SkipRemaining << ", fixed "
      << int(s.FixedHeaderPending) << ", flags " << int(s.HeaderFlags) << ", header " << int(s.HeaderRemaining)
      << ", pts/dts " << int(s.PtsPending) << "/" << int(s.PtsDtsPending) << ", ext " << int(s.ExtFlagsPending) << "/"
      << int(s.ExtFlags) << "/" << int(s.PstdPending) << "/" << int(s.Ext2Pending) << ", sub "
      << int(s.SubHeaderPending) << ", lpcm/mlp " << int(s.LpcmHeaderPending) << "/" << int(s.MlpHeaderPending)
      << ", payload " << s.InPayload << ", numbers " << s.VideoNumber << "/" << s.AudioNumber << ", audio class "
      << int(s.audioClass) << ", last " << int(s.LastSubStreamId) << ", code " << s.PacketCode << ", pts " << s.Pts
      << " (" << s.PtsField << "), scrambled " << s.Scrambled << ", lpcm header " << int(s.LpcmHeader[0]) << " "
      << int(s.LpcmHeader[1]) << " " << int(s.LpcmHeader[2]) << ", subpicture " << s.SubpictureNumber
      << (s.ShortSubHeader ? " short" : "") << "}";
}

namespace test {
namespace {

struct Walked {
  std::array<Bytes, 34> outputs;  // video 0-1, audio 0-15, subpicture 0-15
  std::vector<std::string> log;
  std::vector<std::int32_t> slots;
  std::vector<WalkerState> states;  // after each block
  std::vector<StreamRecord> inventory;
};

Walked walk(const Bytes& data, std::size_t blockSize, Mode mode, bool byteWise, bool subpictures) {
  Walked walked;
  FakeWindow window;
  StreamSlotTable slots;
  PayloadRouter router(slots);
  for (int n = 0; n < 2; ++n)
    routeToMemory(router, {Route::By::VideoNumber, n}, videoBox(n), walked.outputs[n]);
  for (int n = 0; n < 16; ++n)
    routeToMemory(router, {Route::By::AudioNumber, n}, audioBox(n), walked.outputs[2 + n]);
  for (int n = 0; n < 16; ++n) {
    router.add({Route::By::SubpictureNumber, n}, subBox(n),
               std::make_unique<SupWriter>(std::make_unique<MemoryOutputFile>("s", walked.outputs[18 + n]), window, n));
    router.setTicked(subBox(n), true);
  }
  Walker walker(window, slots, router);
  StreamInventory inventory;
  router.setInventory(&inventory);
  router.begin(mode);
  walker.setByteWise(byteWise);
  walker.begin(mode, subpictures);
  for (std::size_t at = 0; at < data.size(); at += blockSize) {
    const Bytes block(data.begin() + at, data.begin() + std::min(data.size(), at + blockSize));
    walker.walk(block.data(), block.size());
    walked.states.push_back(walker.state());
  }
  router.finish(false);
  inventory.finish();
  walked.inventory = inventory.records();
  walked.log = window.logLines;
  for (int slot = 1; slot <= StreamSlotTable::SLOT_COUNT; ++slot)
    walked.slots.push_back(slots.Get(slot));
  return walked;
}

// Every kind of packet the shortcuts take or decline, with start-code look-alikes in payloads, 0x01 bytes
// in time stamps and pack headers, junk between packets and a truncated header at the end.
Bytes mixedStream() {
  PsBuilder ps;
  // Start codes completing inside headers: in the time stamp, and at the first further LPCM header byte.
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xBD, 0x00, 0x14, 0x81, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00,
               0x01, 0xA1, 0x00, 0x00, 0x01, 0xE0, 0x00, 0x05, 0x11, 0x22, 0x33, 0x44, 0x55});
  ps.padding(30);
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 0x10, 0x81, 0x80, 0x05, 0x00,
               0x00, 0x01, 0xE1, 0x00, 0x08, 0x81, 0x00, 0x00, 0xAB, 0xCD});
  ps.padding(30);
  for (int i = 0; i < 40; ++i) {
    ps.pack(i % 8 == 0).pes(0xE0, trickyPayload(300 + i, i), {.ptsDts = i % 2 == 0});
    ps.pack().privateStream1(0x80, payload(200 + i, i), {.pts = true, .stuffing = i % 3, .scrambling = i % 4});
    ps.pack().privateStream1(0xA1, payload(90, i));      // LPCM: three more header bytes
    ps.pack().privateStream1(0xB2, payload(70, i));      // MLP: one more header byte
    ps.pack().privateStream1(0xC9, payload(60, i), {});  // no time stamp
    ps.vc1(0x55, payload(150, i));                       // PES extension: byte-wise
    ps.pes(0xE2, payload(40, i), {.pts = true, .extension = true, .extFlags = 0x10, .pstd = true});
    ps.privateStream1(0x21, payload(30, i));  // subpicture, or audio-like with it off
    ps.pack().subpicture(i % 3, trickyPayload(120, i), {.pts = i % 2 == 0});
    ps.subpicture(0x13, payload(20, i), {.pts = true});              // sub-stream 0x33, discarded
    ps.pes(0xC0, payload(50, i), {.pts = true});                     // MPEG audio, never written
    ps.skipPacket(0xBF, Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 0x01});  // navigation with a look-alike
    ps.raw(Bytes{0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0xB9, 0x07});   // junk and an end code
    ps.padding(40 + i);
  }
  // Short audio packets, a header shorter than its time stamps, a packet overrunning its length.
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xBD, 0x00, 0x07, 0x81, 0x00, 0x00, 0x80, 0x01, 0x00, 0x01});
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xBD, 0x00, 0x06, 0x81, 0x00, 0x00, 0x22, 0x01, 0x02});  // short subpicture
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xBD, 0x00, 0x05, 0x81, 0x00, 0x00, 0x22, 0x00, 0x00, 0x01, 0xE0});
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 0x20, 0x81, 0xC0, 0x03, 0x31, 0x00, 0x01, 0xAA, 0xBB});
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xE1, 0x00, 0x02, 0x81, 0x00, 0x00, 0xCC, 0xDD, 0xEE});
  ps.raw(Bytes{0x00, 0x00, 0x01, 0xBD, 0x00, 0x40, 0x81, 0x80});  // cut inside its header
  return ps.bytes();
}

// Builds 2048-byte packs as a video object lays them out, and packs that only look like them.
class PackStream {
 public:
  static constexpr std::size_t PACK = 2048;

  PackStream& packHeader(int stuffing = 0) {
    m_bytes.insert(m_bytes.end(), {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x04, 0x9D, 0x43});
    m_bytes.push_back(static_cast<std::uint8_t>(0xF8 | stuffing));
    m_bytes.insert(m_bytes.end(), static_cast<std::size_t>(stuffing), 0xFF);
    return *this;
  }
  PackStream& raw(const Bytes& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
  }
  // A packet running to packEnd (the end of the pack begun last, unless given): its header bytes after
  // PES_packet_length, then payload, or 0xFF for padding.
  PackStream& packet(std::uint8_t id, const Bytes& header, std::size_t packEnd = 0) {
    if (packEnd == 0)
      packEnd = m_bytes.size() - m_bytes.size() % PACK + PACK;
    const std::size_t length = packEnd - m_bytes.size() - 6;
    raw({0x00, 0x00, 0x01, id, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
    raw(header);
    const std::size_t rest = packEnd - m_bytes.size();
    // Payloads and navigation data hold start code look-alikes, which only the packet's length passes over.
    return raw(id == 0xBE ? Bytes(rest, 0xFF) : trickyPayload(rest, m_seed++));
  }
  // An ordinary video pack with PTS and DTS.
  PackStream& videoPack() {
    return packHeader().packet(0xE0, {0x81, 0xC0, 0x0A, 0x31, 0x00, 0x01, 0x00, 0x01, 0x11, 0x00, 0x01, 0x00, 0x01});
  }
  Bytes bytes() const { return m_bytes; }

 private:
  Bytes m_bytes;
  std::uint32_t m_seed = 1;
};

// Each stream holds one kind of pack between ordinary ones: stuffing, system headers, LPCM and MLP,
// start codes completing in pack fields, time stamps, sub-stream and LPCM header bytes, empty payloads,
// short padding, headers too long to take at once, packs of other sizes. A start code inside a header
// throws the rest of a stream out of step, so every such pack has a stream of its own.
std::vector<Bytes> packStreams() {
  const Bytes pts{0x81, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00, 0x01};
  const Bytes system{0x00, 0x00, 0x01, 0xBB, 0x00, 0x0C, 0x80, 0xC4, 0xE1,
                     0x04, 0xE1, 0x7F, 0xE0, 0xE0, 0xE8, 0xBD, 0xE0, 0x3A};
  const auto audio = [&pts](const Bytes& subHeader) {
    Bytes header = pts;
    header.insert(header.end(), subHeader.begin(), subHeader.end());
    return header;
  };
  std::vector<Bytes> streams;
  const auto add = [&streams](PackStream& stream) { streams.push_back(stream.videoPack().bytes()); };

  PackStream ordinary;
  ordinary.videoPack();
  for (int stuffing = 0; stuffing < 8; ++stuffing)
    ordinary.packHeader(stuffing).packet(0xE0, pts);
  ordinary.packHeader().raw(system).packet(0xBF, {});  // a navigation pack
  ordinary.packHeader().packet(0xBE, {});
  for (std::uint8_t lpcm = 0xA0; lpcm < 0xA3; ++lpcm)
    ordinary.packHeader().packet(0xBD, audio({lpcm, 0x01, 0x00, 0x01, 0x00, 0x11, 0x80}));
  ordinary.packHeader().packet(0xBD, audio({0xB1, 0x01, 0x00, 0x01, 0x00}));  // MLP: one more header byte
  ordinary.packHeader().packet(0xBD, audio({0x80, 0x01, 0x00, 0x01}));
  ordinary.packHeader().packet(0xE0, {0xB1, 0x00, 0x00});  // PES_scrambling_control '11'
  ordinary.packHeader().packet(0xBD, audio({0xC3, 0x01, 0x00, 0x01}));
  ordinary.packHeader().packet(0xC0, pts);                       // MPEG audio
  ordinary.packHeader().packet(0xBD, audio({0x2E}));             // a subpicture unit's first pack
  ordinary.packHeader().packet(0xBD, {0x81, 0x00, 0x00, 0x2E});  // and one continuing it
  ordinary.packHeader().packet(0xBD, audio({0x3E}));
  add(ordinary);

  const std::vector<std::function<void(PackStream&)>> odd{
      // A start code completing in a pack field, a time stamp's middle and its last byte, a sub-stream
      // header's last byte, the first further LPCM byte, and a system header.
      [](PackStream& s) {
        s.raw({0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x00, 0x01, 0xE1, 0x01, 0x04, 0x9D, 0x43, 0xF8})
            .packet(0xE0, {0x81, 0x00, 0x00});
      },
      [](PackStream& s) {
        s.packHeader().packet(0xE0, {0x81, 0x80, 0x05, 0x00, 0x00, 0x01, 0xBD, 0x01});
      },
      [](PackStream& s) {
        s.packHeader().packet(0xE0, {0x81, 0x80, 0x05, 0x21, 0x00, 0x00, 0x01, 0xE1});
      },
      [](PackStream& s) {
        // ... in the 34th byte of the pack, the first after the 32 most headers fit in.
        s.packHeader().packet(0xE0,
                              {0x81, 0xC0, 0x0B, 0x31, 0x00, 0x01, 0x00, 0x01, 0x11, 0x00, 0x00, 0x00, 0x01, 0xE1});
      },
      [&](PackStream& s) {
        s.packHeader().packet(0xBD, audio({0x81, 0x00, 0x00, 0x01}));
      },
      [&](PackStream& s) {
        s.packHeader().packet(0xBD, audio({0xA1, 0x00, 0x00, 0x01, 0xE0, 0x11, 0x80}));
      },
      [&](PackStream& s) {
        s.packHeader().packet(0xBD, audio({0xA1, 0x01, 0x00, 0x00, 0x00, 0x01, 0xE0}));
      },
      [&](PackStream& s) {
        s.packHeader().raw({0x00, 0x00, 0x01, 0xBB, 0x00, 0x04, 0x00, 0x00, 0x01, 0xC0}).packet(0xE0, pts);
      },
      // A system header that leaves no room to take the packet's header at once.
      [&](PackStream& s) {
        s.packHeader(7).raw(system).packet(
            0xE0, {0x81, 0xC0, 0x0A, 0x31, 0x00, 0x01, 0x00, 0x01, 0x11, 0x00, 0x01, 0x00, 0x01});
      },
      // An empty payload, then padding packets of 0 to 3 bytes in one pack.
      [](PackStream& s) {
        s.packHeader().raw({0x00, 0x00, 0x01, 0xE0, 0x00, 0x03, 0x81, 0x00, 0x00});
        for (std::uint8_t n = 0; n < 4; ++n)
          s.raw({0x00, 0x00, 0x01, 0xBE, 0x00, n}).raw(Bytes(n, 0x00));
        s.packet(0xBE, {});
      },
      // An empty payload followed by bytes that make a start code only if its first byte were counted.
      [](PackStream& s) {
        s.packHeader().raw({0x00, 0x00, 0x01, 0xE0, 0x00, 0x08, 0x81, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00, 0x01});
        s.raw({0x00, 0x01, 0xE1, 0x00, 0x05, 0x81, 0x00, 0x00, 0xAB, 0xCD});
      },
      // Further LPCM header bytes beyond the bytes taken at once, one of them completing a start code.
      [](PackStream& s) {
        s.packHeader(7).packet(0xBD, {0x81, 0x80, 0x0E, 0x21, 0x00, 0x01, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF,
                                      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA0, 0x01, 0x00, 0x00, 0x00, 0x01, 0xE0});
      },
      // A VC-1 stream on the extended stream_id, named by its PES extension.
      [](PackStream& s) {
        s.packHeader().packet(0xFD, {0x81, 0x81, 0x08, 0x21, 0x00, 0x01, 0x00, 0x01, 0x01, 0x81, 0x55});
      },
      // PES extensions: P-STD buffer and stream_id_extension fields as the steps read them, for video
      // only after time stamps; flags bytes outside the header or fields running past it.
      [&](PackStream& s) {
        s.packHeader().packet(0xBD, audio({0x10, 0x60, 0x04, 0xFF, 0x80, 0x01, 0x00, 0x01}));
      },
      [](PackStream& s) {
        s.packHeader().packet(0xE0, {0x81, 0xC1, 0x0E, 0x31, 0x00, 0x01, 0x00, 0x01, 0x11, 0x00, 0x01, 0x00, 0x01, 0x10,
                                     0x60, 0x04, 0xFF});
      },
      [](PackStream& s) {
        s.packHeader().packet(
            0xFD, {0x81, 0x81, 0x0C, 0x21, 0x00, 0x01, 0x00, 0x01, 0x11, 0x60, 0x04, 0x81, 0x56, 0xFF, 0xFF});
      },
      [](PackStream& s) {
        s.packHeader().packet(0xFD, {0x81, 0x81, 0x08, 0x21, 0x00, 0x01, 0x00, 0x01, 0x01, 0x81, 0x71});
      },
      [](PackStream& s) {
        s.packHeader().packet(0xE0, {0x81, 0x01, 0x03, 0x10, 0x60, 0x04});
      },
      [](PackStream& s) {
        // PTS_DTS_flags '01': neither time stamps nor the extension are read.
        s.packHeader().packet(0xFD, {0x81, 0x41, 0x03, 0x01, 0x81, 0x55});
      },
      [](PackStream& s) {
        // The counter left running reads the byte after the payload as extension flags.
        s.packHeader().raw({0x00, 0x00, 0x01, 0xE0, 0x00, 0x05, 0x81, 0x01, 0x00, 0xAA, 0xBB, 0x01, 0x81, 0x56});
      },
      [](PackStream& s) {
        s.packHeader().packet(0xBD, {0x81, 0x01, 0x03, 0x10, 0x60, 0x04, 0x80, 0x01, 0x00, 0x01});
      },
      [](PackStream& s) {
        s.packHeader().packet(0xE0, {0x81, 0x81, 0x05, 0x21, 0x00, 0x01, 0x00, 0x01});
      },
      [](PackStream& s) {
        s.packHeader().packet(0xE0, {0x81, 0x81, 0x07, 0x21, 0x00, 0x01, 0x00, 0x01, 0x10, 0x60});
      },
      [](PackStream& s) {
        s.packHeader().packet(0xE0, {0x81, 0x81, 0x06, 0x21, 0x00, 0x01, 0x00, 0x01, 0x00});
      },
      // A one-byte payload that makes a start code with the bytes after it.
      [](PackStream& s) {
        s.packHeader().raw({0x00, 0x00, 0x01, 0xE0, 0x00, 0x09, 0x81, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00, 0x01, 0x00});
        s.raw({0x00, 0x01, 0xE1, 0x00, 0x05, 0x81, 0x00, 0x00, 0xAB, 0xCD});
      },
      // A time stamp shorter than its flags say, a PES extension, a short audio packet.
      [](PackStream& s) {
        s.packHeader().packet(0xE0, {0x81, 0xC0, 0x05, 0x31, 0x00, 0x01, 0x00, 0x01});
      },
      [](PackStream& s) {
        s.packHeader().packet(0xE0, {0x81, 0x81, 0x06, 0x21, 0x00, 0x01, 0x00, 0x01, 0x00});
      },
      [](PackStream& s) {
        s.packHeader().raw({0x00, 0x00, 0x01, 0xBD, 0x00, 0x07, 0x81, 0x00, 0x00, 0x80, 0x01, 0x00, 0x01});
      },
      // Packs of 2000 bytes, and a pack header with nothing recognised after it.
      [&](PackStream& s) {
        for (int n = 0; n < 3; ++n)
          s.packHeader().packet(0xE0, pts, s.bytes().size() + 2000 - 14);
      },
      [](PackStream& s) {
        s.packHeader().raw({0x00, 0x00, 0x01, 0xB9});
      },
      // A subpicture id right before bytes that complete a start code, with and without a time stamp.
      [&](PackStream& s) {
        s.packHeader().packet(0xBD, audio({0x21, 0x00, 0x00, 0x01, 0xE0}));
      },
      [](PackStream& s) {
        s.packHeader().packet(0xBD, {0x81, 0x00, 0x00, 0x2F, 0x00, 0x01, 0xBD});
      },
  };
  for (const auto& pack : odd) {
    PackStream stream;
    stream.packHeader().packet(0xBD, audio({0x80, 0x01, 0x00, 0x01}));  // leaves the video numbers unclaimed
    pack(stream);
    add(stream);
  }
  return streams;
}

TEST(WalkerShortcuts, EndWhereTheSingleByteStepsEnd) {
  std::vector<Bytes> streams = packStreams();
  streams.push_back(mixedStream());
  for (const Bytes& data : streams) {
    SCOPED_TRACE(data.size());
    for (std::size_t blockSize : {std::size_t{1}, std::size_t{5}, std::size_t{17}, std::size_t{64}, std::size_t{777},
                                  std::size_t{2048}, std::size_t{65536}}) {
      for (const bool subpictures : {false, true}) {
        for (Mode mode : {Mode::Scan, Mode::Demux}) {
          SCOPED_TRACE("block size " + std::to_string(blockSize) + (mode == Mode::Scan ? ", scan" : ", demux") +
                       (subpictures ? ", subpictures" : ""));
          const Walked fast = walk(data, blockSize, mode, false, subpictures);
          const Walked reference = walk(data, blockSize, mode, true, subpictures);
          EXPECT_EQ(reference.outputs, fast.outputs);
          EXPECT_EQ(reference.log, fast.log);
          EXPECT_EQ(reference.slots, fast.slots);
          EXPECT_TRUE(reference.inventory == fast.inventory);
          ASSERT_EQ(reference.states.size(), fast.states.size());
          for (std::size_t k = 0; k < reference.states.size(); ++k) {
            if (reference.states[k] != fast.states[k]) {
              EXPECT_EQ(reference.states[k], fast.states[k]) << "after block " << k;
              break;
            }
          }
        }
      }
    }
  }
  // The stream really exercises what it claims to: found lines, the short packet and written payloads.
  const Bytes data = mixedStream();
  const Walked scanned = walk(data, 65536, Mode::Scan, false, false);
  EXPECT_NE(std::find(scanned.log.begin(), scanned.log.end(), "short audio packet"), scanned.log.end());
  EXPECT_NE(std::find(scanned.log.begin(), scanned.log.end(), "LPCM Audio Stream number 1 found!"), scanned.log.end());
  // ... and the inventory: scrambled packets, time stamps, subpictures and MPEG audio among its streams.
  std::set<int> codes;
  for (const StreamRecord& record : scanned.inventory) {
    codes.insert(record.code);
    if (record.code == 0x180) {
      EXPECT_EQ(record.packets, 40);
      EXPECT_EQ(record.scrambledPackets, 30);
      EXPECT_TRUE(record.firstPts.has_value());
    }
  }
  EXPECT_EQ(codes,
            (std::set<int>{0xE0, 0xE1, 0x180, 0x1A1, 0x1B2, 0x1C9, 0x55, 0xE2, 0x120, 0x121, 0x122, 0x133, 0xC0}));
  const Walked demuxed = walk(data, 65536, Mode::Demux, false, false);
  EXPECT_FALSE(demuxed.outputs[0].empty());
  EXPECT_FALSE(demuxed.outputs[2 + 1].empty());
  EXPECT_FALSE(demuxed.outputs[2 + 2].empty());
  EXPECT_TRUE(demuxed.outputs[18].empty());
  const Walked withSubpictures = walk(data, 65536, Mode::Demux, false, true);
  for (int n : {0, 1, 2})
    EXPECT_FALSE(withSubpictures.outputs[18 + n].empty()) << n;
  EXPECT_EQ(withSubpictures.outputs[0], demuxed.outputs[0]);
}

}  // namespace
}  // namespace test
}  // namespace ardunex
