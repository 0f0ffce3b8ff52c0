// SPDX-License-Identifier: GPL-2.0-or-later
// LPCM written as a RIFF/WAVE file: the disc's grouped big-endian samples unpacked into little-endian PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "outputs/stream_writer.h"

namespace ardunex {

class RunObserver;

/// Channels, sample rate and sample size of an LPCM stream.
struct LpcmFormat {
  int channels = 0;
  int sampleRate = 0;
  int bits = 0;  ///< 16, 20 or 24

  bool operator==(const LpcmFormat&) const = default;
};

/// The format the three further header bytes of an LPCM packet give; empty when they hold a value no
/// LPCM stream uses.
std::optional<LpcmFormat> lpcmFormat(std::span<const std::uint8_t, 3> header);

/// Turns the payload of one LPCM stream into a WAV file written to another file. Each packet's further
/// header bytes are told before its payload; the first packet whose header can be read sets the format and
/// the header (the packets before it are left out with a log line). Samples are converted in whole blocks,
/// as a decoder takes them; a block cut by a packet end waits for the next packet. A format change, or a
/// header that cannot be read, ends the WAV data there with a log line: the file never mixes two formats.
/// The header's sizes are written when the file is closed, and also when it is destroyed unclosed, and
/// count only what reached the file, so every way out, a full disk included, leaves a valid file; data
/// beyond 4 GiB makes it an RF64 file.
class WavWriter : public StreamWriter {
 public:
  /// The largest RIFF size; above it the file is written as RF64.
  static constexpr std::uint64_t MAX_RIFF_SIZE = 0xFFFFFFFFu;

  WavWriter(std::unique_ptr<OutputFile> file, RunObserver& observer, std::uint64_t maxRiffSize = MAX_RIFF_SIZE);
  ~WavWriter() override;
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  const std::string& path() const override { return m_file->path(); }
  /// The further header bytes of the packet whose payload comes next.
  void lpcmHeader(std::span<const std::uint8_t, 3> header);
  /// Takes payload bytes of the current packet.
  void append(const std::uint8_t* data, std::size_t count);
  /// Payload bytes with the further header bytes of their packet.
  void write(LpcmHeader header, const std::uint8_t* data, std::size_t count) override {
    lpcmHeader(header);
    append(data, count);
  }
  /// Writes the header's sizes and closes the file.
  void close() override;

  /// The format of the WAV data; empty before the first packet header.
  const std::optional<LpcmFormat>& format() const { return m_format; }

 private:
  void start(const LpcmFormat& format);
  void end(const std::string& why);
  void convert(const std::uint8_t* block, std::size_t blocks);
  void finishHeader();
  void writeSizes();

  std::unique_ptr<OutputFile> m_file;
  RunObserver& m_observer;
  std::uint64_t m_maxRiffSize;
  std::optional<LpcmFormat> m_format;
  std::uint8_t m_formatByte = 0;  // the header byte that carries the format, as last seen
  bool m_ended = false;
  bool m_closed = false;
  std::size_t m_blockBytes = 0;  // input bytes of one block
  std::vector<std::uint8_t> m_partial;
  std::vector<std::uint8_t> m_out;
  std::uint64_t m_headerBytes = 0;
  std::uint64_t m_dataBytes = 0;
  std::uint64_t m_droppedPackets = 0;  // packets before the first header that can be read
  std::uint64_t m_droppedBytes = 0;
};

}  // namespace ardunex
