// SPDX-License-Identifier: GPL-2.0-or-later
// Turns the bytes of a playlist into indented tag lines and collects the codec of every media attribute item.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "xpl/codec_tables.h"
#include "xpl/xpl_attr.h"

namespace ardunex {

/// The indentation of one nesting level.
inline constexpr const char* XPL_INDENT_UNIT = "  ";
/// Indentation stops deepening here, so that malformed input (a run of unclosed tags) cannot make every
/// following line grow without bound; well-formed playlists nest far less deeply.
inline constexpr std::int64_t XPL_MAX_INDENT_DEPTH = 64;
/// The largest playlist file read, in bytes. Real playlists hold tens of kilobytes; the bound keeps the time
/// and memory of a read bounded whatever the file holds.
inline constexpr std::int64_t XPL_MAX_FILE_SIZE = 4 * 1024 * 1024;
/// Tag lines kept at most (a real playlist has a few thousand). Tags beyond are still read for their
/// attribute items, but get no line, so that a file of nothing but brackets cannot fill the memory.
inline constexpr std::size_t XPL_MAX_TAG_LINES = 500'000;

/// Cuts playlist text at "<" and ">" into one line per tag, indented by nesting depth. Fed the file in
/// blocks of any size: a tag may span blocks. Not an XML parser: element content is dropped, control
/// bytes inside a tag become a space, and no character set is decoded.
class XplReader {
 public:
  /// Appends tag lines to lines and stores attribute item codecs in codecs (entries 1 to 8).
  XplReader(std::vector<std::string>& lines, CodecTables& codecs);

  /// Processes count bytes in file order. Throws ConvertError for an attribute item whose index is not
  /// an integer; the item's line is then already appended.
  void feed(const std::uint8_t* data, std::size_t count);

  /// From now on an attribute item whose index is not an integer is passed over instead of failing (for
  /// listings that show what a playlist holds rather than stop at its first odd value).
  void passOverBadIndexes() { m_passOverBadIndexes = true; }

  /// Tag lines not kept because XPL_MAX_TAG_LINES were reached.
  std::size_t droppedLines() const { return m_dropped; }
  /// The codec values that were too long to be read.
  XplCutValues& cutValues() { return m_cut; }

 private:
  void endTag();
  void collectCodec(const char* itemName, std::array<std::string, 8>& table);

  std::vector<std::string>& m_lines;
  CodecTables& m_codecs;
  std::string m_tag;
  std::int64_t m_depth = 0;
  bool m_insideTag = false;
  bool m_passOverBadIndexes = false;
  std::size_t m_dropped = 0;
  XplCutValues m_cut;
  std::uint8_t m_previous = 0;
  std::uint8_t m_beforePrevious = 0;
};

/// Feeds a playlist file to reader from its position to its end, block by block through buffer; blockRead,
/// when given, is told each block and the file's size before the block is fed. Throws OpenError for a file
/// larger than XPL_MAX_FILE_SIZE, StreamReadError for a read that delivers nothing before the end (a failing
/// medium), and what the reader throws.
void readPlaylistFile(
    InputFile& input, XplReader& reader, std::span<std::uint8_t> buffer,
    const std::function<void(std::span<const std::uint8_t> block, std::int64_t size)>& blockRead = nullptr);

}  // namespace ardunex
