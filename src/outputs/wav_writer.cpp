// SPDX-License-Identifier: GPL-2.0-or-later
// The WAV writer: LPCM header bytes to a format, grouped big-endian samples to little-endian PCM, and a
// RIFF (or RF64) header whose sizes are filled in at the end.
#include "outputs/wav_writer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/errors.h"
#include "base/run_observer.h"
#include "codecs/stream_params.h"

namespace ardunex {
namespace {

constexpr std::uint16_t WAVE_FORMAT_PCM = 0x0001;
constexpr std::uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
constexpr std::uint16_t EXTENSIBLE_EXTRA_BYTES = 22;
// KSDATAFORMAT_SUBTYPE_PCM, 00000001-0000-0010-8000-00aa00389b71, as it is stored.
constexpr std::array<std::uint8_t, 16> SUBTYPE_PCM = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                      0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Speaker masks for 1 to 8 channels: mono as front centre, stereo, 3.0, quad, 5.0, 5.1, 6.1, 7.1.
constexpr std::array<std::uint32_t, 9> CHANNEL_MASKS = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};
// The ds64 chunk of an RF64 file: RIFF size, data size, sample count (8 bytes each), table length.
constexpr std::uint32_t DS64_BYTES = 28;
constexpr std::uint32_t CHUNK_HEAD_BYTES = 8;  // chunk id and size
constexpr std::uint32_t UNKNOWN_SIZE = 0xFFFFFFFFu;
constexpr std::size_t RIFF_SIZE_OFFSET = 4;
constexpr std::size_t DS64_OFFSET = 12;  // the placeholder chunk right after "WAVE"

// The disc groups the samples of 20- and 24-bit streams: the high 16 bits of a group's samples come
// first, big-endian, then their low bits (a byte each for 24 bits, a nibble each for 20). A group holds 4
// samples in interleaved channel order, 2 for mono.
int samplesPerGroup(int channels) { return channels == 1 ? 2 : 4; }
// Groups per block: a block holds whole sample frames.
int groupsPerBlock(int channels) {
  switch (channels) {
    case 1:
      return 2;
    case 2:
    case 4:
      return 1;
    case 8:
      return 2;
    default:
      return channels;
  }
}
int bytesPerOutputSample(int bits) { return bits == 16 ? 2 : 3; }

std::size_t groupBytes(const LpcmFormat& format) {
  const int samples = samplesPerGroup(format.channels);
  const int bytes = samples * 2 + (format.bits == 24 ? samples : samples / 2);
  return static_cast<std::size_t>(bytes);
}

std::size_t blockBytes(const LpcmFormat& format) {
  if (format.bits == 16)
    return static_cast<std::size_t>(format.channels) * 2;
  return groupBytes(format) * static_cast<std::size_t>(groupsPerBlock(format.channels));
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}
void put64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  put32(out, static_cast<std::uint32_t>(value));
  put32(out, static_cast<std::uint32_t>(value >> 32));
}
void putId(std::vector<std::uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

std::string describe(const LpcmFormat& format) {
  return std::to_string(format.channels) + " channels, " + std::to_string(format.sampleRate) + " Hz, " +
         std::to_string(format.bits) + " bit";
}

}  // namespace

std::optional<LpcmFormat> lpcmFormat(std::span<const std::uint8_t, 3> header) {
  const auto params = lpcmParams(header);
  if (!params || !params->channels || !params->sampleRate || !params->bits)
    return std::nullopt;
  const LpcmFormat format{*params->channels, *params->sampleRate, *params->bits};
  const bool known = format.channels >= 1 && format.channels <= 8 && format.sampleRate > 0 &&
                     (format.bits == 16 || format.bits == 20 || format.bits == 24);
  return known ? std::optional<LpcmFormat>(format) : std::nullopt;
}

WavWriter::WavWriter(std::unique_ptr<OutputFile> file, RunObserver& observer, std::uint64_t maxRiffSize)
    : m_file(std::move(file)), m_observer(observer), m_maxRiffSize(maxRiffSize) {}

WavWriter::~WavWriter() {
  if (m_closed)
    return;
  // Left unclosed on a way out that is already reporting a failure: the header is still made valid.
  try {
    close();
  } catch (const Error&) {
  }
}

void WavWriter::lpcmHeader(std::span<const std::uint8_t, 3> header) {
  if (m_ended)
    return;
  const auto format = lpcmFormat(header);
  if (!format && !m_format) {
    ++m_droppedPackets;  // the WAV starts at the first header that can be read
    return;
  }
  if (!format) {
    end("LPCM header cannot be read: " + path() + " ends before it");
    return;
  }
  if (!m_format)
    start(*format);
  else if (*format != *m_format)
    end("LPCM format changes from " + describe(*m_format) + " to " + describe(*format) + ": " + path() +
        " ends before it");
}

void WavWriter::start(const LpcmFormat& format) {
  if (m_droppedPackets > 0)
    m_observer.log("LPCM header cannot be read in the first " + std::to_string(m_droppedPackets) + " packets: their " +
                   std::to_string(m_droppedBytes) + " bytes are left out of " + path());
  m_format = format;
  m_blockBytes = blockBytes(format);
  const bool extensible = format.channels > 2 || format.bits > 16;
  const std::uint32_t sampleBytes = static_cast<std::uint32_t>(bytesPerOutputSample(format.bits));
  const std::uint32_t blockAlign = sampleBytes * static_cast<std::uint32_t>(format.channels);

  std::vector<std::uint8_t> header;
  putId(header, "RIFF");
  put32(header, 0);  // filled in at the end
  putId(header, "WAVE");
  // Room for the ds64 chunk in case the file outgrows RIFF; a plain WAV keeps it as a JUNK chunk.
  putId(header, "JUNK");
  put32(header, DS64_BYTES);
  header.resize(header.size() + DS64_BYTES, 0);
  putId(header, "fmt ");
  put32(header, extensible ? 40 : 16);
  put16(header, extensible ? WAVE_FORMAT_EXTENSIBLE : WAVE_FORMAT_PCM);
  put16(header, static_cast<std::uint32_t>(format.channels));
  put32(header, static_cast<std::uint32_t>(format.sampleRate));
  put32(header, static_cast<std::uint32_t>(format.sampleRate) * blockAlign);
  put16(header, blockAlign);
  put16(header, sampleBytes * 8);
  if (extensible) {
    put16(header, EXTENSIBLE_EXTRA_BYTES);
    put16(header, static_cast<std::uint32_t>(format.bits));  // valid bits: 20 of a 24-bit container
    put32(header, CHANNEL_MASKS[static_cast<std::size_t>(format.channels)]);
    header.insert(header.end(), SUBTYPE_PCM.begin(), SUBTYPE_PCM.end());
  }
  putId(header, "data");
  put32(header, 0);  // filled in at the end
  m_headerBytes = header.size();
  m_file->append(header.data(), header.size());
}

void WavWriter::end(const std::string& why) {
  m_ended = true;
  m_partial.clear();
  m_observer.log(why);
}

void WavWriter::append(const std::uint8_t* data, std::size_t count) {
  if (!m_format)
    m_droppedBytes += count;
  if (m_ended || !m_format || count == 0)
    return;
  if (!m_partial.empty()) {
    const std::size_t take = std::min(count, m_blockBytes - m_partial.size());
    m_partial.insert(m_partial.end(), data, data + take);
    data += take;
    count -= take;
    if (m_partial.size() < m_blockBytes)
      return;
    convert(m_partial.data(), 1);
    m_partial.clear();
  }
  const std::size_t blocks = count / m_blockBytes;
  if (blocks > 0)
    convert(data, blocks);
  m_partial.assign(data + blocks * m_blockBytes, data + count);
}

void WavWriter::convert(const std::uint8_t* block, std::size_t blocks) {
  const LpcmFormat& format = *m_format;
  const std::size_t inBytes = blocks * m_blockBytes;
  m_out.resize(format.bits == 16
                   ? inBytes
                   : inBytes / groupBytes(format) * static_cast<std::size_t>(samplesPerGroup(format.channels)) * 3);
  std::uint8_t* out = m_out.data();
  if (format.bits == 16) {
    for (std::size_t i = 0; i < inBytes; i += 2) {
      out[i] = block[i + 1];
      out[i + 1] = block[i];
    }
  } else {
    const std::size_t samples = static_cast<std::size_t>(samplesPerGroup(format.channels));
    const std::size_t group = groupBytes(format);
    for (const std::uint8_t* g = block; g < block + inBytes; g += group) {
      const std::uint8_t* low = g + 2 * samples;
      for (std::size_t k = 0; k < samples; ++k) {
        std::uint8_t lowByte;
        if (format.bits == 24)
          lowByte = low[k];
        else  // two 4-bit low parts per byte, the first sample's in the high nibble
          lowByte = static_cast<std::uint8_t>(k % 2 == 0 ? low[k / 2] & 0xF0 : (low[k / 2] & 0x0F) << 4);
        *out++ = lowByte;
        *out++ = g[2 * k + 1];
        *out++ = g[2 * k];
      }
    }
  }
  m_file->append(m_out.data(), m_out.size());
  m_dataBytes += m_out.size();
}

void WavWriter::finishHeader() {
  if (!m_format) {
    // Nothing to describe: no packet arrived, or none had a header that can be read.
    if (m_droppedPackets > 0)
      m_observer.log("LPCM header cannot be read in any packet: " + path() + " holds no audio");
    return;
  }
  // After a failed write (a full disk) the file holds less than was handed to it: the sizes count only
  // what reached it, in whole sample frames, and the first failure is reported once the header is right.
  std::optional<StreamWriteError> failure;
  try {
    m_file->flush();
  } catch (const StreamWriteError& error) {
    failure = error;
  }
  const auto inFile = static_cast<std::uint64_t>(m_file->size());
  if (inFile < m_headerBytes) {
    m_file->truncate(0);  // not even the header arrived: an empty file rather than a broken one
    throw failure ? *failure : StreamWriteError(path(), "The WAV header did not reach the file");
  }
  const std::uint64_t frameBytes =
      static_cast<std::uint64_t>(bytesPerOutputSample(m_format->bits)) * static_cast<std::uint64_t>(m_format->channels);
  m_dataBytes = std::min(m_dataBytes, inFile - m_headerBytes);
  m_dataBytes -= m_dataBytes % frameBytes;
  if (m_headerBytes + m_dataBytes < inFile)
    m_file->truncate(static_cast<std::int64_t>(m_headerBytes + m_dataBytes));
  writeSizes();
  if (failure)
    throw *failure;
}

void WavWriter::writeSizes() {
  const std::uint64_t riffSize = m_headerBytes + m_dataBytes - CHUNK_HEAD_BYTES;
  std::vector<std::uint8_t> bytes;
  if (riffSize <= m_maxRiffSize) {
    put32(bytes, static_cast<std::uint32_t>(riffSize));
    m_file->writeAt(RIFF_SIZE_OFFSET, bytes.data(), bytes.size());
    bytes.clear();
    put32(bytes, static_cast<std::uint32_t>(m_dataBytes));
    m_file->writeAt(static_cast<std::int64_t>(m_headerBytes) - 4, bytes.data(), bytes.size());
    return;
  }
  putId(bytes, "RF64");
  put32(bytes, UNKNOWN_SIZE);
  m_file->writeAt(0, bytes.data(), bytes.size());
  bytes.clear();
  const auto blockAlign = static_cast<std::uint32_t>(bytesPerOutputSample(m_format->bits) * m_format->channels);
  putId(bytes, "ds64");
  put32(bytes, DS64_BYTES);
  put64(bytes, riffSize);
  put64(bytes, m_dataBytes);
  put64(bytes, m_dataBytes / blockAlign);
  put32(bytes, 0);  // no table entries
  m_file->writeAt(DS64_OFFSET, bytes.data(), bytes.size());
  bytes.clear();
  put32(bytes, UNKNOWN_SIZE);
  m_file->writeAt(static_cast<std::int64_t>(m_headerBytes) - 4, bytes.data(), bytes.size());
}

void WavWriter::close() {
  if (m_closed)
    return;
  m_closed = true;
  std::optional<StreamWriteError> failure;
  try {
    finishHeader();
  } catch (const StreamWriteError& error) {
    failure = error;
  }
  try {
    m_file->close();  // closes even after a failed header
  } catch (const StreamWriteError& error) {
    if (!failure)
      failure = error;
  }
  if (failure)
    throw *failure;
}

}  // namespace ardunex
