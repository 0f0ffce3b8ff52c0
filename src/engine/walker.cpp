// SPDX-License-Identifier: GPL-2.0-or-later
// The walker's per-byte steps and its shortcuts over packet headers and whole packs.
#include "engine/walker.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/errors.h"
#include "base/run_observer.h"
#include "engine/always_inline.h"
#include "engine/mpeg_ps.h"
#include "engine/pes_header.h"
#include "engine/start_code_scan.h"

namespace ardunex {
namespace {

using namespace mpeg;

// What a private_stream_1 sub-stream id stands for; name is null for ids of no known codec.
struct SubStream {
  const char* name = nullptr;
  AudioClass audioClass = AudioClass::DolbyDigital;
  std::uint8_t number = 0;
};

constexpr std::array<SubStream, 256> makeSubStreams() {
  std::array<SubStream, 256> subs{};
  for (int m = AC3_FIRST; m <= AC3_FIRST + 7; ++m)
    subs[m] = {"Dolby Digital Audio Stream number ", AudioClass::DolbyDigital, static_cast<std::uint8_t>(m & 7)};
  for (int m = DTSHD_FIRST; m <= DTSHD_FIRST + 7; ++m)
    subs[m] = {"DTS HD Audio Stream number ", AudioClass::DtsHd, static_cast<std::uint8_t>(m & 7)};
  for (int m = DDPLUS_FIRST; m <= DDPLUS_FIRST + 15; ++m)
    subs[m] = {"DDplus Audio Stream number ", AudioClass::DolbyDigitalPlus, static_cast<std::uint8_t>(m & 15)};
  for (int m = LPCM_FIRST; m <= LPCM_FIRST + 7; ++m)
    subs[m] = {"LPCM Audio Stream number ", AudioClass::Lpcm, static_cast<std::uint8_t>(m & 7)};
  for (int m = MLP_FIRST; m <= MLP_FIRST + 7; ++m)
    subs[m] = {"MLP Audio Stream number ", AudioClass::Mlp, static_cast<std::uint8_t>(m & 7)};
  return subs;
}

constexpr auto SUB_STREAMS = makeSubStreams();

// No header counter is running (a start code just met sets only LengthPending).
bool headerCountersIdle(const WalkerState& s) {
  return (s.FixedHeaderPending | s.PtsPending | s.PtsDtsPending | s.ExtFlagsPending | s.PstdPending | s.Ext2Pending |
          s.HeaderRemaining | s.SubHeaderPending | s.LpcmHeaderPending | s.MlpHeaderPending) == 0 &&
         !s.InPayload && s.SkipRemaining <= 0;
}

bool betweenPackets(const WalkerState& s) { return s.LengthPending == 0 && headerCountersIdle(s); }

// Whether the single-byte steps read the PES extension of a packet whose flags byte has the PES
// extension flag, or whether the packet is better left to them.
enum class ExtensionRead : std::uint8_t { No, Yes, Declined };

NOINLINE ExtensionRead readsExtension(StreamClass streamClass, const PesHeaderBytes& header, std::size_t packetAt) {
  const std::uint8_t timeStamps = header.flags() & PTS_DTS_FLAGS_MASK;
  const int timeStampBytes = header.timeStampBytes();
  const std::uint8_t headerLength = header.headerDataLength();
  // The steps read the extension flags byte after the time stamps of a video packet, and right after
  // the fixed header of any packet whose PTS_DTS_flags are '00'; otherwise it is plain header data.
  if (timeStamps != 0 && timeStampBytes == 0)
    return ExtensionRead::No;  // the forbidden '01': neither time stamps nor extension
  if (timeStamps == 0 && headerLength == 0)
    return ExtensionRead::Declined;  // a flags byte outside the header: its counter outlives the packet
  if (headerLength == timeStampBytes || (timeStamps != 0 && streamClass != StreamClass::Video))
    return ExtensionRead::No;
  const std::size_t flagsAt = packetAt + FIXED_PES_BYTES + static_cast<std::size_t>(timeStampBytes);
  if (streamClass != StreamClass::Video || flagsAt >= HEADERS_SPAN)
    return ExtensionRead::Declined;
  const std::uint8_t extensionFlags = header.headerData()[timeStampBytes];
  const int fields = 1 + ((extensionFlags & P_STD_BUFFER_FLAG) ? P_STD_BYTES : 0) +
                     ((extensionFlags & PES_EXTENSION_FLAG_2) ? EXTENSION_2_BYTES : 0);
  if (timeStampBytes + fields > headerLength)
    return ExtensionRead::Declined;  // fields running past the header data
  return ExtensionRead::Yes;
}

// A pack's packet as the pack shortcut finds it: where its start code stands from the pack's start, and
// the prefix ends of the start codes the pack itself holds (the system header's and the packet's).
struct PackedPacket {
  std::size_t at = 0;
  std::uint64_t prefixEnds = 0;
};

// Finds the packet of the pack at pack: a pack header, maybe a system header, then a recognised start
// code. False when the bytes are laid out otherwise.
ALWAYS_INLINE bool findPackedPacket(const std::uint8_t* pack, PackedPacket& found) {
  constexpr std::uint32_t PACK_START = (START_CODE_PREFIX << 8) | PACK_START_CODE;
  constexpr std::uint32_t SYSTEM_HEADER_START = (START_CODE_PREFIX << 8) | SYSTEM_HEADER_CODE;
  constexpr std::size_t STUFFING_AT = START_CODE_BYTES + PACK_HEADER_BYTES - 1;  // pack_stuffing_length
  if (loadBigEndian32(pack) != PACK_START)
    return false;
  std::size_t at = START_CODE_BYTES + PACK_HEADER_BYTES + (pack[STUFFING_AT] & PACK_STUFFING_LENGTH_MASK);
  std::uint32_t code = loadBigEndian32(pack + at);
  std::uint64_t expected = 0;
  if (code == SYSTEM_HEADER_START) {
    // A system header (as navigation packs have) passes through the window like the pack header.
    expected = prefixEndBit(at);
    const std::uint8_t* headerLength = pack + at + START_CODE_BYTES;  // header_length
    at += START_CODE_BYTES + LENGTH_BYTES + ((headerLength[0] << 8) | headerLength[1]);
    if (at + FIXED_PES_BYTES > HEADERS_SPAN)
      return false;
    code = loadBigEndian32(pack + at);
  }
  if ((code >> 8) != START_CODE_PREFIX || START_CODE_CLASSES[code & 0xFF] == StreamClass::None)
    return false;
  found = {at, expected | prefixEndBit(at)};
  return true;
}

// Bytes from the PES_packet_length field of a packed packet to the end of the headers the pack shortcut
// takes with it, or 0 when the single-byte steps are to read them. extension tells whether the steps
// would read a PES extension there.
ALWAYS_INLINE std::size_t packedHeaderBytes(StreamClass streamClass, const PesHeaderBytes& header, std::size_t packetAt,
                                            bool& extension) {
  if (streamClass == StreamClass::SkipWhole)
    return LENGTH_BYTES;
  if (header.headerDataLength() < header.timeStampBytes())
    return 0;
  if (header.flags() & PES_EXTENSION_FLAG) {
    const ExtensionRead read = readsExtension(streamClass, header, packetAt);
    if (read == ExtensionRead::Declined)
      return 0;
    extension = read == ExtensionRead::Yes;
  }
  const bool audio = streamClass == StreamClass::PrivateAudio;
  if (audio && header.shortAudio())
    return 0;
  const std::size_t bytes = header.size(audio);
  return packetAt + START_CODE_BYTES + bytes > HEADERS_SPAN ? 0 : bytes;
}

}  // namespace

Walker::Walker(RunObserver& observer, StreamSlotTable& slots, PayloadRouter& router)
    : m_observer(observer), m_slots(slots), m_router(router) {}

void Walker::begin(Mode mode, bool subpictures) {
  m_mode = mode;
  m_subpictures = subpictures;
  m_state = WalkerState{};
}

inline void Walker::startCode(std::uint8_t streamId) {
  WalkerState& s = m_state;
  s.streamClass = START_CODE_CLASSES[streamId];
  s.PacketCode = streamId;
  s.Pts = -1;
  s.Scrambled = false;
  s.LpcmHeader = {};
  s.PayloadBegun = false;
  if (streamId >= MPEG2_VIDEO_0 && streamId <= AVC_VIDEO_1) {
    s.VideoNumber = streamId & 1;
    const int slot = StreamSlotTable::FIRST_VIDEO_SLOT + s.VideoNumber;
    if (m_slots.Get(slot) == StreamSlotTable::EMPTY)
      videoFound(slot, streamId);
  }
  s.LengthPending = LENGTH_BYTES;
}

void Walker::videoFound(int slot, std::uint8_t streamId) {
  if (m_slots.Claim(slot, streamId) && m_mode == Mode::Scan)
    m_observer.log(streamId <= MPEG2_VIDEO_1 ? "MPEG-2 Video Stream found!" : "H.264 Video Stream found!");
}

void Walker::walk(const std::uint8_t* block, std::size_t length) {
  WalkerState& s = m_state;
  std::size_t i = 0;
  while (i < length) {
    if (m_fast && betweenPackets(s)) {
      const std::size_t next = passBetweenPackets(block, i, length);
      if (next != i) {
        i = next;
        continue;
      }
    }
    const std::uint8_t b = block[i];
    s.StartCodeWindow = (s.StartCodeWindow << 8) | b;

    if (s.InPayload) {
      if (s.PacketRemaining > 0) {
        // One run up to the end of the packet or of the block; only its first byte entered the window.
        const auto count = std::min<std::size_t>(static_cast<std::size_t>(s.PacketRemaining), length - i);
        route(block + i, count);
        s.PacketRemaining -= static_cast<std::int32_t>(count);
        i += count;
        if (s.PacketRemaining == 0)
          s.InPayload = false;
        continue;
      }
      // An empty (or overrun) payload: the byte is examined as an ordinary one.
      s.InPayload = false;
    }

    if (s.SkipRemaining > 0) {
      // Body of a padding, private_stream_2 or program_stream_map packet, passed over by its length.
      const auto count = std::min<std::size_t>(static_cast<std::size_t>(s.SkipRemaining), length - i);
      shiftIntoWindow(s.StartCodeWindow, block, i + 1, i + count);  // block[i] is in already
      s.SkipRemaining -= static_cast<std::int32_t>(count);
      s.PacketRemaining -= static_cast<std::int32_t>(count);
      i += count;
      continue;
    }

    if ((s.StartCodeWindow >> 8) == START_CODE_PREFIX && START_CODE_CLASSES[b] != StreamClass::None) {
      startCode(b);
      ++i;
      if (m_fast && headerCountersIdle(s))
        i = wholeHeader(block, i, length);
      continue;
    }

    counterStep(b);
    ++i;
  }
}

std::size_t Walker::passBetweenPackets(const std::uint8_t* block, std::size_t i, std::size_t length) {
  // Whole packs first; where they stop, the bytes up to the next start code.
  const std::size_t next = passPacks(block, i, length);
  WalkerState& s = m_state;
  if (next != i || (s.StartCodeWindow & 0xFF) == 0x01)
    return next;
  // Between packets a start code can complete only right after a 0x01 byte, and no other byte has any
  // effect but on the window: pass over everything up to the next 0x01 and the byte after it.
  const std::size_t one = findOne(block, i, length);
  const std::size_t end = std::min(one + 2, length);
  shiftIntoWindow(s.StartCodeWindow, block, i, end);
  const std::uint8_t last = block[end - 1];
  if (end != one + 2 || (s.StartCodeWindow >> 8) != START_CODE_PREFIX)
    return end;
  if (START_CODE_CLASSES[last] != StreamClass::None) {
    startCode(last);
    return wholeHeader(block, end, length);
  }
  if (last == PACK_START_CODE)
    return passPackHeader(block, end, length);
  return end;
}

ALWAYS_INLINE std::size_t Walker::passPack(const std::uint8_t* block, std::size_t i, std::size_t length,
                                           bool& wholePack) {
  // A whole pack at once, as most packs of a video object are laid out: a pack header, maybe a system
  // header, then a recognised start code and a packet header with at most PTS and DTS, then the packet's
  // payload or body up to its end, with no other start code completing among the header bytes. Anything
  // else is declined (i is returned and nothing changes) and left to the steps in walk(); a packet whose
  // header is taken but whose further bytes are not goes on from exactly the state those steps would
  // have reached. A pack start code completes no start code itself, whatever came before it, so the
  // window before the pack does not matter. The caller makes sure that HEADERS_SPAN bytes are in the
  // block from i on. wholePack is set when the packet was taken to its end and that is the end of a
  // 2048-byte pack, so that the walk goes on at i + 2048 between packets.
  const std::uint8_t* pack = block + i;
  PackedPacket packet;
  if (!findPackedPacket(pack, packet))
    return i;
  const auto streamId = pack[packet.at + START_CODE_BYTES - 1];
  const StreamClass streamClass = START_CODE_CLASSES[streamId];
  const PesHeaderBytes header(pack + packet.at + START_CODE_BYTES);
  bool extension = false;
  const std::size_t headerBytes = packedHeaderBytes(streamClass, header, packet.at, extension);
  if (headerBytes == 0)
    return i;
  // Start codes completing from the pack's fields to the packet header's last byte.
  const std::size_t headerEnd = packet.at + START_CODE_BYTES + headerBytes;  // from the pack's start
  ByteLanes lanes(pack);
  lanes.fillTo(headerEnd - 1);
  if ((lanes.prefixEnds() & bitRange(START_CODE_BYTES - 1, headerEnd - 1)) != packet.prefixEnds)
    return i;
  if (streamClass == StreamClass::PrivateAudio && subpictureAt(pack + headerEnd - SUB_STREAM_HEADER_BYTES))
    return i;  // its payload begins inside the audio sub-stream header: left to the steps

  startCode(streamId);
  std::size_t at = i + headerEnd;
  const bool fillsPack =
      packet.at + START_CODE_BYTES + LENGTH_BYTES + static_cast<std::size_t>(header.packetLength()) == PACK_SIZE &&
      length - i >= PACK_SIZE;
  if (streamClass == StreamClass::SkipWhole) {
    wholePack = fillsPack;
    return passSkipBody(block, at, length, header.packetLength());
  }
  WalkerState& s = m_state;
  pesHeaderTaken(header);
  if (streamClass == StreamClass::PrivateAudio) {
    subStreamHeaderEnd();
    // The further LPCM or MLP header bytes.
    const std::uint8_t extra = s.LpcmHeaderPending | s.MlpHeaderPending;
    if (extra != 0) {
      if (headerEnd + extra > HEADERS_SPAN)
        return at;
      lanes.fillTo(headerEnd + extra - 1);
      if ((lanes.prefixEnds() & bitRange(headerEnd - 1, headerEnd + extra - 1)) != 0)
        return at;
      at = furtherHeaderTaken(block, at, extra);
    }
  } else {
    if (extension)
      extensionTaken(header);
    s.InPayload = true;
  }
  if (s.PacketRemaining <= 0 || at == length)
    return at;  // an empty payload is examined byte by byte
  wholePack = fillsPack;
  return passPayloadRun(block, at, length);
}

void Walker::extensionTaken(const PesHeaderBytes& header) {
  // The PES extension flags byte after the time stamps, and the stream_id_extension it may announce
  // after the P-STD buffer field and PES_extension_field_length.
  WalkerState& s = m_state;
  const std::uint8_t* fields = header.headerData() + header.timeStampBytes();
  s.ExtFlags = fields[0];
  if (s.ExtFlags & PES_EXTENSION_FLAG_2)
    ext2End(fields[1 + ((s.ExtFlags & P_STD_BUFFER_FLAG) ? P_STD_BYTES : 0) + 1]);
}

ALWAYS_INLINE std::size_t Walker::passSkipBody(const std::uint8_t* block, std::size_t at, std::size_t length,
                                               std::int32_t bodyLength) {
  // The body of a padding or navigation packet whose length field ends at `at` only passes through the
  // window.
  WalkerState& s = m_state;
  s.StartCodeWindow = loadBigEndian32(block + at - START_CODE_BYTES);
  const auto count = std::min<std::size_t>(static_cast<std::size_t>(bodyLength), length - at);
  shiftIntoWindow(s.StartCodeWindow, block, at, at + count);
  s.LengthPending = 0;
  s.PacketRemaining = bodyLength - static_cast<std::int32_t>(count);
  s.SkipRemaining = s.PacketRemaining;
  return at + count;
}

ALWAYS_INLINE std::size_t Walker::passPayloadRun(const std::uint8_t* block, std::size_t at, std::size_t length) {
  // The payload from `at` as one run; only its first byte enters the window, after the header's last three.
  WalkerState& s = m_state;
  s.StartCodeWindow = loadBigEndian32(block + at - 3);
  const auto count = std::min<std::size_t>(static_cast<std::size_t>(s.PacketRemaining), length - at);
  route(block + at, count);
  s.PacketRemaining -= static_cast<std::int32_t>(count);
  if (s.PacketRemaining == 0)
    s.InPayload = false;
  return at + count;
}

std::size_t Walker::passPacks(const std::uint8_t* block, std::size_t i, std::size_t length) {
  // The packs of a video object are 2048 bytes with one packet each, so the next pack is looked for where
  // it usually is before this one has been taken apart, and the work on successive packs overlaps. That
  // holds only while the next position does not depend on the bytes of this pack: whether the pack was a
  // whole one comes back as a flag, apart from where the walk goes on.
  while (length - i >= HEADERS_SPAN) {
    bool wholePack = false;
    const std::size_t end = passPack(block, i, length, wholePack);
    if (!wholePack)
      return end;
    i += PACK_SIZE;
  }
  return i;
}

std::size_t Walker::passPackHeader(const std::uint8_t* block, std::size_t i, std::size_t length) {
  // The fields of a pack header (SCR, program_mux_rate, stuffing) only pass through the window, like
  // every byte between packets; unless a start code completes among them they are passed over at once.
  if (length - i < PACK_HEADER_BYTES)
    return i;
  const std::size_t end = i + PACK_HEADER_BYTES + (block[i + PACK_HEADER_BYTES - 1] & PACK_STUFFING_LENGTH_MASK);
  if (end > length || startCodeWithin(block, i, end))
    return i;
  shiftIntoWindow(m_state.StartCodeWindow, block, i, end);
  return end;
}

std::size_t Walker::wholeHeader(const std::uint8_t* block, std::size_t i, std::size_t length) {
  // The common packet read in one go: its header lies wholly in this block, carries no PES extension and
  // no start code, and its header data is long enough for its time stamps. Everything else is left to
  // the byte-wise steps, which end in exactly the same state.
  WalkerState& s = m_state;
  if (length - i < LENGTH_BYTES)
    return i;
  const PesHeaderBytes header(block + i);
  if (s.streamClass == StreamClass::SkipWhole) {
    // Only the length is taken here: the body follows by the steps in walk().
    s.StartCodeWindow = (s.StartCodeWindow << 16) | static_cast<std::uint32_t>(header.packetLength());
    s.LengthPending = 0;
    s.PacketRemaining = header.packetLength();
    s.SkipRemaining = header.packetLength();
    return i + LENGTH_BYTES;
  }
  if (length - i < LENGTH_BYTES + FIXED_HEADER_BYTES)
    return i;
  if (header.flags() & PES_EXTENSION_FLAG)
    return i;
  if (header.headerDataLength() < header.timeStampBytes())
    return i;
  const bool audio = s.streamClass == StreamClass::PrivateAudio;
  if (audio && header.shortAudio())
    return i;
  const std::size_t end = i + header.size(audio);
  if (end > length || startCodeWithin(block, i + 1, end))
    return i;
  if (audio && subpictureAt(block + end - SUB_STREAM_HEADER_BYTES))
    return i;

  pesHeaderTaken(header);
  if (!audio) {
    s.InPayload = true;
    return end;
  }
  subStreamHeaderEnd();
  // The further LPCM or MLP header bytes, when they too are in the block.
  const std::uint8_t extra = s.LpcmHeaderPending | s.MlpHeaderPending;
  if (extra == 0 || end + extra > length || startCodeWithin(block, end, end + extra))
    return end;
  return furtherHeaderTaken(block, end, extra);
}

ALWAYS_INLINE void Walker::pesHeaderTaken(const PesHeaderBytes& header) {
  // The state the single-byte steps reach at the end of this header's data (its PES extension aside) and
  // of the sub-stream header of a private_stream_1 packet, with their last bytes in the window.
  WalkerState& s = m_state;
  const bool audio = s.streamClass == StreamClass::PrivateAudio;
  const std::uint8_t* end = header.headerData() + header.headerDataLength() + (audio ? SUB_STREAM_HEADER_BYTES : 0);
  s.StartCodeWindow = loadBigEndian32(end - START_CODE_BYTES);
  s.LengthPending = 0;
  s.Scrambled = header.scrambled();
  s.HeaderFlags = header.flags();
  if (header.timeStampBytes() != 0) {
    s.PtsField = header.ptsField();
    s.Pts = timeStampValue(s.PtsField);
  }
  s.PacketRemaining =
      header.packetLength() - FIXED_HEADER_BYTES - header.headerDataLength() - (audio ? SUB_STREAM_HEADER_BYTES : 0);
}

std::size_t Walker::furtherHeaderTaken(const std::uint8_t* block, std::size_t at, std::uint8_t extra) {
  // The further LPCM or MLP header bytes from at, known to be in the block with no start code among them.
  WalkerState& s = m_state;
  if (s.LpcmHeaderPending)
    std::memcpy(s.LpcmHeader.data(), block + at, LPCM_EXTRA_HEADER_BYTES);
  s.StartCodeWindow = loadBigEndian32(block + at + extra - 4);
  s.LpcmHeaderPending = 0;
  s.MlpHeaderPending = 0;
  s.PacketRemaining -= extra;
  s.InPayload = true;
  return at + extra;
}

void Walker::countDown(std::uint8_t& counter, bool headerField) {
  --counter;
  --m_state.PacketRemaining;
  if (headerField)
    --m_state.HeaderRemaining;
}

void Walker::counterStep(std::uint8_t b) {
  WalkerState& s = m_state;
  if (s.LengthPending) {
    // PES_packet_length, most significant byte first; it does not count itself.
    if (--s.LengthPending == 0) {
      s.PacketRemaining = static_cast<std::int32_t>(s.StartCodeWindow & 0xFFFF);
      if (s.streamClass == StreamClass::SkipWhole)
        s.SkipRemaining = s.PacketRemaining;
      else
        s.FixedHeaderPending = FIXED_HEADER_BYTES;
    }
  } else if (s.FixedHeaderPending) {
    fixedHeaderStep(b);
  } else if (s.PtsPending) {
    timeStampStep(s.PtsPending, b, 0);  // PTS
  } else if (s.PtsDtsPending) {
    timeStampStep(s.PtsDtsPending, b, PTS_DTS_BYTES - PTS_BYTES);  // PTS and DTS
  } else if (s.ExtFlagsPending) {
    countDown(s.ExtFlagsPending, true);  // PES extension flags
    extFlagsEnd(b);
  } else if (s.PstdPending) {
    countDown(s.PstdPending, true);  // P-STD buffer
    if (s.PstdPending == 0) {
      if (s.ExtFlags & PES_EXTENSION_FLAG_2)
        s.Ext2Pending = EXTENSION_2_BYTES;
      else if (s.HeaderRemaining == 0)
        s.InPayload = true;
    }
  } else if (s.Ext2Pending) {
    countDown(s.Ext2Pending, true);  // PES_extension_field_length, stream_id_extension
    if (s.Ext2Pending == 0)
      ext2End(b);
  } else if (s.HeaderRemaining) {
    // Header data no other counter reads: stuffing and fields of no interest here.
    --s.HeaderRemaining;
    --s.PacketRemaining;
    if (s.HeaderRemaining == 0)
      headerDataEnd();
  } else if (s.SubHeaderPending) {
    countDown(s.SubHeaderPending, false);  // private_stream_1 sub-stream header
    if (m_subpictures && s.SubHeaderPending == SUB_STREAM_HEADER_BYTES - 1)
      subStreamIdStep(b);
    else if (s.SubHeaderPending == 0)
      subStreamHeaderEnd();
  } else if (s.LpcmHeaderPending) {
    s.LpcmHeader[LPCM_EXTRA_HEADER_BYTES - s.LpcmHeaderPending] = b;
    countDown(s.LpcmHeaderPending, false);  // further LPCM header bytes
    if (s.LpcmHeaderPending == 0)
      s.InPayload = true;
  } else if (s.MlpHeaderPending) {
    countDown(s.MlpHeaderPending, false);  // further MLP header byte
    if (s.MlpHeaderPending == 0)
      s.InPayload = true;
  }
}

void Walker::timeStampStep(std::uint8_t& counter, std::uint8_t b, std::uint8_t ptsEnd) {
  // A byte of the time stamp fields, the PTS first; a DTS after it is passed over.
  WalkerState& s = m_state;
  if (counter > ptsEnd)
    s.PtsField = ((s.PtsField << 8) | b) & TIME_STAMP_FIELD_MASK;
  countDown(counter, true);
  if (counter == ptsEnd)
    s.Pts = timeStampValue(s.PtsField);
  if (counter == 0)
    timeStampEnd();
}

void Walker::fixedHeaderStep(std::uint8_t b) {
  WalkerState& s = m_state;
  countDown(s.FixedHeaderPending, false);
  const auto offset = static_cast<std::size_t>(FIXED_HEADER_BYTES - 1 - s.FixedHeaderPending);
  if (offset == MARKER_BYTE_OFFSET) {
    s.Scrambled = (b & PES_SCRAMBLING_CONTROL_MASK) != 0;
  } else if (offset == FLAGS_OFFSET) {
    s.HeaderFlags = b;  // PTS_DTS_flags ... PES_extension_flag
  } else if (offset == HEADER_DATA_LENGTH_OFFSET) {
    s.HeaderRemaining = b;  // PES_header_data_length
    const std::uint8_t timeStamps = s.HeaderFlags & PTS_DTS_FLAGS_MASK;
    if (timeStamps == PTS_ONLY)
      s.PtsPending = PTS_BYTES;
    if (timeStamps == PTS_AND_DTS)
      s.PtsDtsPending = PTS_DTS_BYTES;
    if (timeStamps == 0 && (s.HeaderFlags & PES_EXTENSION_FLAG))
      s.ExtFlagsPending = 1;
    if (s.HeaderRemaining == 0) {
      if (s.streamClass == StreamClass::PrivateAudio) {
        if (s.PacketRemaining > SUB_STREAM_HEADER_BYTES) {
          s.SubHeaderPending = SUB_STREAM_HEADER_BYTES;
          s.ShortSubHeader = false;
        } else if (m_subpictures && s.PacketRemaining >= SUBPICTURE_HEADER_BYTES) {
          // Too short for an audio sub-stream header and payload, not for a subpicture: the id decides.
          s.SubHeaderPending = SUB_STREAM_HEADER_BYTES;
          s.ShortSubHeader = true;
        } else {
          shortAudioPacket();
        }
      } else {
        s.InPayload = true;
      }
    }
  }
}

void Walker::shortAudioPacket() {
  if (m_mode == Mode::Scan)
    m_observer.log("short audio packet");
  m_state.streamClass = StreamClass::Discard;
  m_state.InPayload = true;
}

void Walker::timeStampEnd() {
  WalkerState& s = m_state;
  if (s.HeaderRemaining == 0)
    headerDataEnd();
  else if (s.streamClass == StreamClass::Video && (s.HeaderFlags & PES_EXTENSION_FLAG))
    s.ExtFlagsPending = 1;
}

void Walker::extFlagsEnd(std::uint8_t b) {
  WalkerState& s = m_state;
  s.ExtFlags = b;
  if (s.ExtFlags & P_STD_BUFFER_FLAG)
    s.PstdPending = P_STD_BYTES;
  else if (s.ExtFlags & PES_EXTENSION_FLAG_2)
    s.Ext2Pending = EXTENSION_2_BYTES;
  else if (s.HeaderRemaining == 0)
    headerDataEnd();  // the flags byte was the last header byte: the payload follows it
}

void Walker::ext2End(std::uint8_t b) {
  WalkerState& s = m_state;
  const std::uint8_t id = b & STREAM_ID_EXTENSION_MASK;
  if (id == VC1_STREAM_0 || id == VC1_STREAM_1) {
    s.VideoNumber = id - VC1_STREAM_0;
    s.PacketCode = id;
    if (m_slots.Claim(StreamSlotTable::FIRST_VIDEO_SLOT + s.VideoNumber, id))
      logFound("VC-1 video stream number ", s.VideoNumber, " found!");
    s.streamClass = StreamClass::Video;
  } else {
    s.streamClass = StreamClass::Discard;
  }
  if (s.HeaderRemaining == 0)
    s.InPayload = true;
}

void Walker::headerDataEnd() {
  WalkerState& s = m_state;
  if (s.streamClass == StreamClass::PrivateAudio) {
    s.SubHeaderPending = SUB_STREAM_HEADER_BYTES;
    s.ShortSubHeader = false;
  } else {
    s.InPayload = true;
  }
}

inline void Walker::subStreamHeaderEnd() {
  WalkerState& s = m_state;
  const auto m = static_cast<std::uint8_t>(s.StartCodeWindow >> 24);  // sub-stream id
  const SubStream& sub = SUB_STREAMS[m];
  s.PacketCode = m;
  if (sub.name) {
    s.audioClass = sub.audioClass;
    s.AudioNumber = sub.number;
    s.LastSubStreamId = m;
    const int slot = StreamSlotTable::FIRST_AUDIO_SLOT + s.AudioNumber;
    if (m_slots.Get(slot) == StreamSlotTable::EMPTY && m_slots.Claim(slot, m))
      logFound(sub.name, s.AudioNumber, " found!");
  } else {
    s.AudioNumber = m & 15;
  }

  // Acceptance: unrecognised ids pass only where they look like the last recognised codec's range.
  const auto number = static_cast<std::uint8_t>(s.AudioNumber);
  switch (s.audioClass) {
    case AudioClass::Mlp:
      if (m == (MLP_FIRST | number)) {
        s.MlpHeaderPending = MLP_EXTRA_HEADER_BYTES;
        return;
      }
      break;
    case AudioClass::Lpcm:
      if (m == (LPCM_FIRST | number)) {
        s.LpcmHeaderPending = LPCM_EXTRA_HEADER_BYTES;
        return;
      }
      break;
    default:
      if (m == (s.LastSubStreamId | number)) {
        s.InPayload = true;
        return;
      }
      break;
  }
  s.streamClass = StreamClass::Discard;
  s.InPayload = true;
}

bool Walker::subpictureAt(const std::uint8_t* subStreamId) const {
  return m_subpictures && *subStreamId >= SUBPICTURE_FIRST && *subStreamId <= SUBPICTURE_NUMBERED_LAST;
}

void Walker::subStreamIdStep(std::uint8_t b) {
  // The sub-stream id, first byte of the sub-stream header, with subpictures recognised: a subpicture's
  // payload follows its id at once; any other id goes on as before.
  WalkerState& s = m_state;
  if (subpictureAt(&b)) {
    s.SubHeaderPending = 0;
    subpictureStart(b);
  } else if (s.ShortSubHeader) {
    s.SubHeaderPending = 0;
    s.ShortSubHeader = false;
    shortAudioPacket();
  }
}

void Walker::subpictureStart(std::uint8_t m) {
  WalkerState& s = m_state;
  s.ShortSubHeader = false;
  s.streamClass = StreamClass::Subpicture;
  s.PacketCode = m;
  s.SubpictureNumber = m - SUBPICTURE_FIRST;
  if (m_slots.Claim(StreamSlotTable::FIRST_SUB_SLOT + s.SubpictureNumber, m))
    logFound("Subpicture stream number ", s.SubpictureNumber, " found!");
  m_router.subpictureStart(s.SubpictureNumber, s.Pts);
  s.InPayload = true;
}

void Walker::logFound(const char* prefix, int number, const char* suffix) {
  if (m_mode == Mode::Scan)
    m_observer.log(std::string(prefix) + std::to_string(number) + suffix);
}

ALWAYS_INLINE void Walker::route(const std::uint8_t* data, std::size_t count) {
  // Every payload run goes to the router with what the headers said of its packet.
  const bool first = !m_state.PayloadBegun;
  m_state.PayloadBegun = true;
  m_router.payload(m_state, first, data, count);
}

}  // namespace ardunex
