// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: LPCM packets with arbitrary header bytes and payloads, made into a program stream and walked
// by the walker into a WAV writer whose file may fail at any byte, buffered or not.
//
// Input: a flag byte (bit 0: the file buffers its appends, bit 1: RF64 from 1000 bytes on, bits 2-7: block
// size in KiB, 0 for one block), two bytes giving where the file fails (times 16; 0xFFFF for never), then
// packets: one byte of payload size (times 8), the LPCM format byte, the payload. Whatever happens, the
// file left behind is either empty or a WAV whose RIFF and data sizes describe exactly its bytes, in whole
// sample frames.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/run_observer.h"
#include "engine/stream_slot_table.h"
#include "engine/walker.h"
#include "outputs/wav_writer.h"
#include "replay_main.h"

namespace {

using namespace ardunex;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t HEAD_BYTES = 3;
constexpr std::uint16_t NEVER = 0xFFFF;
constexpr std::uint8_t LPCM_SUB_STREAM = 0xA0;

[[noreturn]] void crash(const char* what) {
  std::fprintf(stderr, "wav_writer_fuzz: %s\n", what);
  std::abort();
}

class FuzzObserver : public RunObserver {
 public:
  void log(std::string_view) override {}
};

// A file in memory that fails once it would grow beyond a size, keeping what fits, and that may gather its
// appends in a buffer whose write-out loses what does not fit, as a system file on a full disk does.
class FailingFile : public OutputFile {
 public:
  FailingFile(Bytes& sink, std::size_t failAt, bool buffered) : m_sink(sink), m_failAt(failAt), m_buffered(buffered) {}
  const std::string& path() const override { return m_path; }
  void append(const std::uint8_t* data, std::size_t count) override {
    if (!m_buffered) {
      put(data, count);
      return;
    }
    if (m_buffer.size() + count > BUFFER_BYTES)
      flush();
    m_buffer.insert(m_buffer.end(), data, data + count);
  }
  void flush() override {
    const Bytes pending = std::move(m_buffer);
    m_buffer.clear();
    put(pending.data(), pending.size());
  }
  std::int64_t size() const override { return static_cast<std::int64_t>(m_sink.size()); }
  void truncate(std::int64_t size) override {
    flush();
    if (size < 0 || static_cast<std::size_t>(size) > m_sink.size())
      crash("cut beyond the file");
    m_sink.resize(static_cast<std::size_t>(size));
  }
  void writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t count) override {
    flush();
    if (offset < 0 || static_cast<std::size_t>(offset) + count > m_sink.size())
      crash("header written beyond the file");
    std::memcpy(m_sink.data() + offset, data, count);
  }
  void close() override { flush(); }

 private:
  static constexpr std::size_t BUFFER_BYTES = 4096;
  void put(const std::uint8_t* data, std::size_t count) {
    const std::size_t fits = m_sink.size() >= m_failAt ? 0 : std::min(count, m_failAt - m_sink.size());
    m_sink.insert(m_sink.end(), data, data + fits);
    if (fits < count)
      throw StreamWriteError(m_path, systemReason(ENOSPC));
  }

  std::string m_path = "fuzz.wav";
  Bytes& m_sink;
  std::size_t m_failAt;
  bool m_buffered;
  Bytes m_buffer;
};

std::uint32_t le32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

/// A pack header, then a private_stream_1 packet with a PTS holding the LPCM sub-stream's packet.
void appendPacket(Bytes& ps, std::uint8_t format, const std::uint8_t* payload, std::size_t size) {
  static constexpr std::uint8_t PACK[] = {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 0x01, 0x89, 0xC3, 0xF8};
  ps.insert(ps.end(), std::begin(PACK), std::end(PACK));
  // PES header flags, PTS, then sub_stream_id, frame count, first access unit, the three LPCM header bytes.
  const Bytes head = {0x81, 0x80, 0x05, 0x21, 0x00,   0x01, 0x00, 0x01, LPCM_SUB_STREAM,
                      0x01, 0x00, 0x01, 0x05, format, 0x80};
  const std::size_t length = head.size() + size;
  ps.insert(ps.end(), {0, 0, 1, 0xBD, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
  ps.insert(ps.end(), head.begin(), head.end());
  ps.insert(ps.end(), payload, payload + size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < HEAD_BYTES)
    return 0;
  const std::uint8_t flags = data[0];
  const std::uint16_t failCode = static_cast<std::uint16_t>(data[1] << 8 | data[2]);
  const std::size_t failAt = failCode == NEVER ? SIZE_MAX : std::size_t{failCode} * 16;
  Bytes ps;
  for (std::size_t at = HEAD_BYTES; at + 2 <= size;) {
    const std::size_t payload = std::min<std::size_t>(data[at] * 8u, size - at - 2);
    appendPacket(ps, data[at + 1], data + at + 2, payload);
    at += 2 + payload;
  }

  FuzzObserver observer;
  StreamSlotTable table;
  PayloadRouter router(table);
  Bytes sink;
  router.add({Route::By::AudioNumber, 0}, audioBox(0),
             std::make_unique<WavWriter>(std::make_unique<FailingFile>(sink, failAt, flags & 1), observer,
                                         flags & 2 ? 1000 : WavWriter::MAX_RIFF_SIZE));
  router.setTicked(audioBox(0), true);
  Walker walker(observer, table, router);
  walker.begin(Mode::Demux);
  router.begin(Mode::Demux);
  const std::size_t block = (flags >> 2) == 0 ? ps.size() : static_cast<std::size_t>(flags >> 2) * 1024;
  try {
    for (std::size_t at = 0; at < ps.size(); at += block)
      walker.walk(ps.data() + at, std::min(block, ps.size() - at));
  } catch (const StreamWriteError&) {
    // A full disk: the engine stops and the job closes the files.
  }
  try {
    router.closeAll();
  } catch (const StreamWriteError&) {
  }

  if (sink.empty())
    return 0;
  if (sink.size() < 12 || (std::memcmp(sink.data(), "RIFF", 4) != 0 && std::memcmp(sink.data(), "RF64", 4) != 0))
    crash("a file that is neither empty nor a WAV");
  const bool rf64 = std::memcmp(sink.data(), "RF64", 4) == 0;
  std::size_t dataAt = 12;
  while (dataAt + 8 <= sink.size() && std::memcmp(sink.data() + dataAt, "data", 4) != 0)
    dataAt += 8 + le32(sink, dataAt + 4);
  if (dataAt + 8 > sink.size())
    crash("no data chunk");
  const std::uint64_t dataBytes = sink.size() - dataAt - 8;
  const std::size_t fmtAt = 12 + 8 + le32(sink, 16);  // after the JUNK or ds64 chunk
  if (fmtAt + 24 > dataAt || std::memcmp(sink.data() + fmtAt, "fmt ", 4) != 0)
    crash("no format chunk before the data");
  const std::uint32_t frameBytes = sink[fmtAt + 20] | sink[fmtAt + 21] << 8;  // nBlockAlign
  if (frameBytes == 0 || dataBytes % frameBytes != 0)
    crash("the data is not whole sample frames");
  if (rf64) {
    const std::uint64_t riff = le32(sink, 20) | std::uint64_t{le32(sink, 24)} << 32;
    const std::uint64_t data64 = le32(sink, 28) | std::uint64_t{le32(sink, 32)} << 32;
    if (riff != sink.size() - 8 || data64 != dataBytes)
      crash("the ds64 sizes do not describe the file");
  } else if (le32(sink, 4) != sink.size() - 8 || le32(sink, dataAt + 4) != dataBytes) {
    crash("the RIFF sizes do not describe the file");
  }
  return 0;
}
