// SPDX-License-Identifier: GPL-2.0-or-later
// The texts of the jobs' warnings, the playlist's codec names, and the count of what reaches each file.
#include "jobs/job_warnings.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

#include "jobs/stream_names.h"

namespace ardunex {
namespace {

/// A playlist's codec text, upper-cased, with only its letters, digits and "+" ("Dolby TrueHD" gives
/// DOLBYTRUEHD, "E-AC-3" gives EAC3).
std::string folded(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+')
      out += c;
  }
  return out;
}

struct CodecName {
  std::string_view folded;
  std::string_view scanCodec;
};

constexpr std::array<CodecName, 9> VIDEO_CODECS{{{"MPEG2", "MPEG-2"},
                                                 {"MPEG2VIDEO", "MPEG-2"},
                                                 {"H262", "MPEG-2"},
                                                 {"AVC", "AVC"},
                                                 {"H264", "AVC"},
                                                 {"MPEG4AVC", "AVC"},
                                                 {"VC1", "VC-1"},
                                                 {"SMPTEVC1", "VC-1"},
                                                 {"WVC1", "VC-1"}}};

constexpr std::array<CodecName, 13> AUDIO_CODECS{{{"DD", "DD"},
                                                  {"AC3", "DD"},
                                                  {"DOLBYDIGITAL", "DD"},
                                                  {"DD+", "DD+"},
                                                  {"DDP", "DD+"},
                                                  {"DDPLUS", "DD+"},
                                                  {"EAC3", "DD+"},
                                                  {"DOLBYDIGITALPLUS", "DD+"},
                                                  {"LPCM", "LPCM"},
                                                  {"PCM", "LPCM"},
                                                  {"MLP", "MLP"},
                                                  {"TRUEHD", "MLP"},
                                                  {"DOLBYTRUEHD", "MLP"}}};

/// An output file whose appends are counted; every call is passed on.
class CountedFile : public OutputFile {
 public:
  CountedFile(std::unique_ptr<OutputFile> file, std::int64_t& size) : m_file(std::move(file)), m_size(size) {}
  const std::string& path() const override { return m_file->path(); }
  void append(const std::uint8_t* data, std::size_t count) override {
    m_file->append(data, count);
    m_size += static_cast<std::int64_t>(count);
  }
  void truncate(std::int64_t size) override {
    m_file->truncate(size);
    m_size = std::min(m_size, size);
  }
  void close() override { m_file->close(); }
  void writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t count) override {
    m_file->writeAt(offset, data, count);
  }

 private:
  std::unique_ptr<OutputFile> m_file;
  std::int64_t& m_size;
};

/// A stream writer whose payload is counted; every call is passed on.
class CountedWriter : public StreamWriter {
 public:
  CountedWriter(std::unique_ptr<StreamWriter> writer, std::int64_t& size) : m_writer(std::move(writer)), m_size(size) {}
  const std::string& path() const override { return m_writer->path(); }
  void packetStart(std::int64_t pts) override { m_writer->packetStart(pts); }
  void write(LpcmHeader lpcmHeader, const std::uint8_t* data, std::size_t count) override {
    m_writer->write(lpcmHeader, data, count);
    m_size += static_cast<std::int64_t>(count);
  }
  void cutBack() override { m_writer->cutBack(); }
  void finish(bool cutShort) override { m_writer->finish(cutShort); }
  void close() override { m_writer->close(); }

 private:
  std::unique_ptr<StreamWriter> m_writer;
  std::int64_t& m_size;
};

}  // namespace

std::string noStreamLine(const std::string& evoName, bool fastCheckStopped) {
  if (fastCheckStopped)
    return "No stream found in the first 4 MiB of " + evoName + "; a full scan reads the whole file.";
  return "No stream found: " + evoName + " does not look like an EVO file.";
}

std::string scanCodecOf(std::string_view playlistCodec, bool video) {
  const std::string text = folded(playlistCodec);
  if (!video && text.starts_with("DTS"))
    return "DTSHD";  // DTS, DTS-HD, DTS-HD MA: one sub-stream range
  for (const CodecName& name :
       video ? std::span<const CodecName>(VIDEO_CODECS) : std::span<const CodecName>(AUDIO_CODECS))
    if (name.folded == text)
      return std::string(name.scanCodec);
  return {};
}

std::string contradiction(int box, const std::string& playlistCodec, const std::string& streamCodec) {
  return "the playlist labels " + boxName(box) + " " + playlistCodec + ", but the stream found is " + streamCodec;
}

bool logUserStop(Window& window, const RunState& run, bool fastScan, ProgressSpan span) {
  const std::int64_t position = span.before + run.InputFile->position();
  const std::int64_t size = span.total > 0 ? span.total : run.InputFile->size();
  if (!run.CancelRequested || position >= size || (fastScan && position <= PROGRESS_STEP))
    return false;
  window.log("Stopped by the user after " + std::to_string(position / MBYTE) + " of " + std::to_string(size / MBYTE) +
             " Mbytes.");
  return true;
}

std::string emptyOutputLine(const std::string& name) { return "Warning: " + name + " stayed empty"; }

std::unique_ptr<OutputFile> WrittenOutputs::watch(std::unique_ptr<OutputFile> file, std::string name) {
  m_entries.push_back({std::move(name), 0});
  return std::make_unique<CountedFile>(std::move(file), m_entries.back().size);
}

std::unique_ptr<StreamWriter> WrittenOutputs::watch(std::unique_ptr<StreamWriter> writer, std::string name) {
  m_entries.push_back({std::move(name), 0});
  return std::make_unique<CountedWriter>(std::move(writer), m_entries.back().size);
}

std::vector<std::string> WrittenOutputs::emptyNames() const {
  std::vector<std::string> names;
  for (const Entry& entry : m_entries)
    if (entry.size == 0)
      names.push_back(entry.name);
  return names;
}

}  // namespace ardunex
