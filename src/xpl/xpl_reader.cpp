// SPDX-License-Identifier: GPL-2.0-or-later
// The playlist reader's byte rules (tag text, nesting depth, indentation and attribute items), and the reading
// of a playlist file into it.
#include "xpl/xpl_reader.h"

#include <algorithm>
#include <string_view>

#include "base/ascii_text.h"
#include "base/errors.h"
#include "xpl/xpl_attr.h"

namespace ardunex {
namespace {

constexpr std::uint8_t FIRST_PRINTABLE = 32;

}  // namespace

XplReader::XplReader(std::vector<std::string>& lines, CodecTables& codecs) : m_lines(lines), m_codecs(codecs) {}

void XplReader::feed(const std::uint8_t* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t b = data[i];
    if (b == '<') {
      m_insideTag = true;
      ++m_depth;
    }
    if (m_insideTag) {
      if (b >= FIRST_PRINTABLE)
        m_tag.push_back(static_cast<char>(b));
      else if (m_tag.empty() || m_tag.back() != ' ')
        m_tag.push_back(' ');  // line breaks and tabs inside a tag collapse to one space
    }
    if (b == '/' && m_previous == '<') {
      // A closing tag: undo the level just opened and the one it closes, and stand at the opening tag's
      // indentation. Only indentation is taken away: at the margin (malformed input) the "</" stays.
      m_depth -= 2;
      if (m_tag.starts_with(XPL_INDENT_UNIT))
        m_tag.erase(0, std::string_view(XPL_INDENT_UNIT).size());
    }
    if (b == '>') {
      // endTag reads the two bytes before this one, so they are recorded only afterwards.
      endTag();
    }
    m_beforePrevious = m_previous;
    m_previous = b;
  }
}

void XplReader::endTag() {
  m_insideTag = false;
  if (m_lines.size() < XPL_MAX_TAG_LINES)
    m_lines.push_back(m_tag);
  else
    ++m_dropped;
  collectCodec("VideoAttributeItem", m_codecs.VideoCodecTable);
  collectCodec("AudioAttributeItem", m_codecs.AudioCodecTable);
  collectCodec("SubpictureAttributeItem", m_codecs.SubpictureCodecTable);
  m_tag.clear();

  // Elements that close themselves: "/>", a processing instruction "?>" and a comment "-->".
  if (m_previous == '/')
    --m_depth;
  if (m_previous == '?')
    --m_depth;
  if (m_previous == '-' && m_beforePrevious == '-')
    --m_depth;

  const std::int64_t levels = std::min(m_depth, XPL_MAX_INDENT_DEPTH);
  for (std::int64_t level = 0; level < levels; ++level)
    m_tag += XPL_INDENT_UNIT;
}

void XplReader::collectCodec(const char* itemName, std::array<std::string, 8>& table) {
  if (!contains(m_tag, itemName))
    return;
  std::int32_t index = 0;
  try {
    index = parseInt32(XPLattr(m_tag, "index"));
  } catch (const ConvertError&) {
    if (!m_passOverBadIndexes)
      throw;
    return;
  }
  // Entries outside the table are ignored: a playlist cannot reach past the 8 entries.
  if (index < 1 || index > static_cast<std::int32_t>(table.size()))
    return;
  table[static_cast<std::size_t>(index - 1)] = XPLattr(m_tag, "codec");
  m_cut.check(m_tag, "codec");
}

void readPlaylistFile(InputFile& input, XplReader& reader, std::span<std::uint8_t> buffer,
                      const std::function<void(std::span<const std::uint8_t> block, std::int64_t size)>& blockRead) {
  for (;;) {
    const std::int64_t size = input.size();
    if (input.position() >= size)
      break;
    if (size > XPL_MAX_FILE_SIZE)
      throw OpenError(input.path(),
                      "Larger than " + std::to_string(XPL_MAX_FILE_SIZE) + " bytes, too large for a playlist");
    const std::size_t got = input.read(buffer.data(), buffer.size());
    if (got == 0)
      throw StreamReadError(input.path(), ENDS_BEFORE_ITS_SIZE);  // the medium gives nothing although the file goes on
    if (blockRead)
      blockRead(buffer.first(got), size);
    reader.feed(buffer.data(), got);
  }
}

}  // namespace ardunex
