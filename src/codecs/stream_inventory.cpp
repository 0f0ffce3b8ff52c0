// SPDX-License-Identifier: GPL-2.0-or-later
// The stream inventory: records by code, parameter probes while they want bytes, delays against the video.
#include "codecs/stream_inventory.h"

#include <cmath>
#include <span>
#include <utility>

#include "codecs/stream_ids.h"

namespace ardunex {

using namespace mpeg;

namespace {

constexpr std::int64_t TIME_STAMP_WRAP = std::int64_t{1} << 33;
constexpr double TICKS_PER_MS = 90.0;

struct CodeRange {
  int first;
  int last;
  int streamId;
  StreamKind kind;
  StreamCoding coding;
  const char* codec;
  const char* logName;
  int numberMask;  // the number is code AND mask, less numberBase
  int numberBase;
};

constexpr CodeRange CODE_RANGES[] = {
    {MPEG2_VIDEO_0, MPEG2_VIDEO_1, MPEG2_VIDEO_0, StreamKind::Video, StreamCoding::Mpeg2Video, "MPEG-2", "MPEG-2", 1,
     0},
    {AVC_VIDEO_0, AVC_VIDEO_1, AVC_VIDEO_0, StreamKind::Video, StreamCoding::Avc, "AVC", "H.264", 1, 0},
    {VC1_STREAM_0, VC1_STREAM_1, EXTENDED_STREAM_ID, StreamKind::Video, StreamCoding::Vc1, "VC-1", "VC-1", 0xFF,
     VC1_STREAM_0},
    {MPEG_AUDIO_FIRST, MPEG_AUDIO_LAST, MPEG_AUDIO_FIRST, StreamKind::Audio, StreamCoding::MpegAudio, "MPA",
     "MPEG audio", 15, 0},
    {StreamInventory::SUB_STREAM + AC3_FIRST, StreamInventory::SUB_STREAM + AC3_FIRST + 7, PRIVATE_STREAM_1,
     StreamKind::Audio, StreamCoding::Ac3, "DD", "Dolby Digital", 7, 0},
    {StreamInventory::SUB_STREAM + DTSHD_FIRST, StreamInventory::SUB_STREAM + DTSHD_FIRST + 7, PRIVATE_STREAM_1,
     StreamKind::Audio, StreamCoding::Dts, "DTSHD", "DTS HD", 7, 0},
    {StreamInventory::SUB_STREAM + LPCM_FIRST, StreamInventory::SUB_STREAM + LPCM_FIRST + 7, PRIVATE_STREAM_1,
     StreamKind::Audio, StreamCoding::Lpcm, "LPCM", "LPCM", 7, 0},
    {StreamInventory::SUB_STREAM + MLP_FIRST, StreamInventory::SUB_STREAM + MLP_FIRST + 7, PRIVATE_STREAM_1,
     StreamKind::Audio, StreamCoding::Mlp, "MLP", "MLP", 7, 0},
    {StreamInventory::SUB_STREAM + DDPLUS_FIRST, StreamInventory::SUB_STREAM + DDPLUS_FIRST + 15, PRIVATE_STREAM_1,
     StreamKind::Audio, StreamCoding::Eac3, "DD+", "DDplus", 15, 0},
    {StreamInventory::SUB_STREAM + SUBPICTURE_FIRST, StreamInventory::SUB_STREAM + SUBPICTURE_LAST, PRIVATE_STREAM_1,
     StreamKind::Subpicture, StreamCoding::Subpicture, "Subpicture", "Subpicture", 0x1F, 0},
};

}  // namespace

std::optional<StreamRecord> describeStream(int code) {
  for (const CodeRange& range : CODE_RANGES) {
    if (code < range.first || code > range.last)
      continue;
    StreamRecord record;
    record.code = code;
    record.streamId =
        range.streamId == MPEG_AUDIO_FIRST || range.streamId == MPEG2_VIDEO_0 || range.streamId == AVC_VIDEO_0
            ? code
            : range.streamId;
    record.kind = range.kind;
    record.coding = range.coding;
    record.codec = range.codec;
    record.logName = range.logName;
    record.number = (code & range.numberMask) - range.numberBase;
    return record;
  }
  return std::nullopt;
}

int delayMs(std::int64_t pts, std::int64_t referencePts) {
  // The difference as the shorter way round the 33-bit clock: a stream that starts just after the clock
  // wrapped is late, not 26 hours early.
  std::int64_t ticks = (pts - referencePts) % TIME_STAMP_WRAP;
  if (ticks < 0)
    ticks += TIME_STAMP_WRAP;
  if (ticks >= TIME_STAMP_WRAP / 2)
    ticks -= TIME_STAMP_WRAP;
  return static_cast<int>(std::lround(static_cast<double>(ticks) / TICKS_PER_MS));
}

void StreamInventory::reset() {
  m_index.fill(NOT_MET);
  m_records.clear();
  m_probes.clear();
}

int StreamInventory::add(int code) {
  std::optional<StreamRecord> record = describeStream(code);
  if (!record) {
    m_index[static_cast<std::size_t>(code)] = UNKNOWN;
    return -1;
  }
  const int index = static_cast<int>(m_records.size());
  m_index[static_cast<std::size_t>(code)] = static_cast<std::int16_t>(index);
  m_probes.push_back(std::make_unique<StreamParamProbe>(record->coding));
  if (!m_probes.back()->wantsMore())
    m_probes.back().reset();
  m_records.push_back(std::move(*record));
  return index;
}

void StreamInventory::probe(std::size_t index, const std::uint8_t* lpcmHeader, const std::uint8_t* data,
                            std::size_t count) {
  StreamParamProbe& probe = *m_probes[index];
  if (lpcmHeader)
    probe.feedLpcmHeader(std::span<const std::uint8_t, LPCM_EXTRA_HEADER_BYTES>(lpcmHeader, LPCM_EXTRA_HEADER_BYTES));
  if (probe.wantsMore())
    probe.feed(std::span<const std::uint8_t>(data, count));
  if (!probe.wantsMore()) {
    m_records[index].params = probe.params();
    m_probes[index].reset();  // no more work for this stream's bytes
  }
}

void StreamInventory::finish() {
  for (std::size_t index = 0; index < m_records.size(); ++index)
    if (m_probes[index])
      m_records[index].params = m_probes[index]->params();
  // The reference: video number 0 when its time stamp is known, else the first video stream that has one.
  const StreamRecord* reference = nullptr;
  for (const StreamRecord& record : m_records) {
    if (record.kind != StreamKind::Video || !record.firstPts)
      continue;
    if (record.number == 0) {
      reference = &record;
      break;
    }
    if (!reference)
      reference = &record;
  }
  for (StreamRecord& record : m_records) {
    record.delayMs.reset();
    if (reference && record.kind != StreamKind::Video && record.firstPts)
      record.delayMs = delayMs(*record.firstPts, *reference->firstPts);
  }
}

const StreamRecord* StreamInventory::find(int code) const {
  if (code < 0 || code >= CODE_COUNT)
    return nullptr;
  const int index = m_index[static_cast<std::size_t>(code)];
  return index >= 0 ? &m_records[static_cast<std::size_t>(index)] : nullptr;
}

StreamRecord* StreamInventory::find(int code) { return const_cast<StreamRecord*>(std::as_const(*this).find(code)); }

}  // namespace ardunex
