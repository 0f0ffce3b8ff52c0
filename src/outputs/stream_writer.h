// SPDX-License-Identifier: GPL-2.0-or-later
// One output of a demux: the payload of one stream written to one file in one format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <string>

#include "base/file_io.h"

namespace ardunex {

/// The further header bytes of an LPCM packet (after its sub-stream header), told with its payload.
using LpcmHeader = std::span<const std::uint8_t, 3>;

/// Writes the payload of one stream to one file in its format. A demux creates it with its file, hands it
/// the payload of the packets routed to it, finishes it when the input is over and closes it.
class StreamWriter {
 public:
  virtual ~StreamWriter() = default;

  /// The file written.
  virtual const std::string& path() const = 0;
  /// A packet of the stream begins; pts is its PTS, or -1 when it has none. Only formats made of units
  /// care (SUP: a PTS begins a unit).
  virtual void packetStart(std::int64_t pts) { (void)pts; }
  /// Payload bytes of the current packet; lpcmHeader holds the packet's further LPCM header bytes.
  virtual void write(LpcmHeader lpcmHeader, const std::uint8_t* data, std::size_t count) = 0;
  /// The stream's box was unticked: what the current unit holds is cut back off the file, and payload is
  /// ignored up to the next unit.
  virtual void cutBack() {}
  /// The input is over: what is held back is written, or dropped when Cancel cut the input short.
  virtual void finish(bool cutShort) { (void)cutShort; }
  /// Writes out what is buffered and closes the file. Throws StreamWriteError.
  virtual void close() = 0;
};

/// The payload as it comes: the raw elementary stream.
class RawWriter final : public StreamWriter {
 public:
  explicit RawWriter(std::unique_ptr<OutputFile> file) : m_file(std::move(file)) {}

  const std::string& path() const override { return m_file->path(); }
  void write(LpcmHeader, const std::uint8_t* data, std::size_t count) override { m_file->append(data, count); }
  void close() override { m_file->close(); }

 private:
  std::unique_ptr<OutputFile> m_file;
};

/// One stream written to two outputs (raw and as WAV): each takes every call. Closing closes both, and
/// reports the first failure after trying both.
class TeeWriter final : public StreamWriter {
 public:
  TeeWriter(std::unique_ptr<StreamWriter> first, std::unique_ptr<StreamWriter> second)
      : m_first(std::move(first)), m_second(std::move(second)) {}

  const std::string& path() const override { return m_first->path(); }
  void packetStart(std::int64_t pts) override {
    m_first->packetStart(pts);
    m_second->packetStart(pts);
  }
  void write(LpcmHeader lpcmHeader, const std::uint8_t* data, std::size_t count) override {
    m_first->write(lpcmHeader, data, count);
    m_second->write(lpcmHeader, data, count);
  }
  void cutBack() override {
    m_first->cutBack();
    m_second->cutBack();
  }
  void finish(bool cutShort) override {
    m_first->finish(cutShort);
    m_second->finish(cutShort);
  }
  void close() override {
    std::exception_ptr failure;
    for (StreamWriter* writer : {m_first.get(), m_second.get()}) {
      try {
        writer->close();
      } catch (...) {
        if (!failure)
          failure = std::current_exception();
      }
    }
    if (failure)
      std::rethrow_exception(failure);
  }

 private:
  std::unique_ptr<StreamWriter> m_first;
  std::unique_ptr<StreamWriter> m_second;
};

}  // namespace ardunex
