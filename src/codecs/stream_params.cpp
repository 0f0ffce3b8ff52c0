// SPDX-License-Identifier: GPL-2.0-or-later
// Reads picture size and rate, channels and sample rate from the first bytes of an elementary stream.
//
// Every reader looks for its sync word or start code anywhere in the bytes collected so far (a stream may
// begin in the middle of a frame), checks the fields it reads against the values the format allows, and
// reads through bounds-checked views only, so that any input yields an answer, "not here" or "need more".
#include "codecs/stream_params.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "codecs/codec_readers.h"

namespace ardunex {
namespace {

using namespace codec;

/// A reader, how the search finds the positions it looks at, and the name descriptions give the coding.
struct Reader {
  Hit (*read)(Bytes, std::size_t, StreamParams&);
  std::uint8_t firstByte;  // the first byte of the sync word; 0: the reader looks at start codes 00 00 01
  std::size_t syncBytes;   // bytes of the sync word or start code the search makes sure of
  const char* name;
};

// In the order of StreamCoding.
constexpr std::array<Reader, 10> READERS = {{
    {readMpeg2Video, 0, 4, ""},
    {readAvc, 0, 4, ""},
    {readVc1, 0, 4, ""},
    {readAc3Family, 0x0B, 2, "AC-3"},
    {readAc3Family, 0x0B, 2, "E-AC-3"},
    {readDts, 0x7F, 4, "DTS"},
    {nullptr, 0, 4, "LPCM"},  // read from the packet headers
    {readMlp, 0xF8, 4, "MLP"},
    {readMpegAudio, 0xFF, 4, "MPEG audio"},
    {nullptr, 0, 4, ""},
}};
static_assert(static_cast<std::size_t>(StreamCoding::Subpicture) + 1 == READERS.size());

const Reader& readerOf(StreamCoding coding) { return READERS[static_cast<std::size_t>(coding)]; }

/// Position of the next place at or after from where the reader may find something, or the data's size.
std::size_t nextCandidate(const Reader& reader, Bytes d, std::size_t from) {
  if (reader.firstByte == 0)
    return nextStartCode(d, from);
  if (from >= d.size())
    return d.size();
  const void* hit = std::memchr(d.data() + from, reader.firstByte, d.size() - from);
  return hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - d.data()) : d.size();
}

std::string trimmedDecimal(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string s = text;
  if (s.find('.') != std::string::npos) {
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.')
      s.pop_back();
  }
  return s;
}

}  // namespace

StreamParamProbe::StreamParamProbe(StreamCoding coding) : m_coding(coding) {
  // Subpictures carry no parameters this probe reads.
  m_done = coding == StreamCoding::Subpicture;
}

bool StreamParamProbe::feed(std::span<const std::uint8_t> payload) {
  if (m_done)
    return true;
  const std::size_t take = std::min(payload.size(), PROBE_LIMIT - m_taken);
  m_taken += take;
  const bool full = m_taken >= PROBE_LIMIT;
  // LPCM parameters come from the packet headers (feedLpcmHeader); its samples are only counted.
  if (readerOf(m_coding).read) {
    m_buffer.insert(m_buffer.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(take));
    search(full);
  }
  if (full)
    m_done = true;
  if (m_done) {
    m_buffer.clear();
    m_buffer.shrink_to_fit();
  }
  return m_done;
}

void StreamParamProbe::search(bool final) {
  const Reader& reader = readerOf(m_coding);
  const Bytes d(m_buffer);
  const std::size_t need = reader.syncBytes;
  std::size_t p = m_searchFrom;
  while (true) {
    p = nextCandidate(reader, d, p);
    if (p + need > d.size()) {
      // Resume where a sync word may still begin once more bytes arrive.
      m_searchFrom = std::min(p, d.size() - std::min(d.size(), need - 1));
      return;
    }
    StreamParams found;
    const Hit hit = reader.read(d, p, found);
    if (hit == Hit::Found) {
      m_params = found;
      m_done = true;
      return;
    }
    if (hit == Hit::NeedMore && !final) {
      m_searchFrom = p;
      return;
    }
    ++p;
  }
}

void StreamParamProbe::feedLpcmHeader(std::span<const std::uint8_t, 3> header) {
  if (m_done || m_coding != StreamCoding::Lpcm)
    return;
  if (const auto params = lpcmParams(header)) {
    m_params = *params;
    m_done = true;
  }
}

std::string describeParams(StreamCoding coding, const StreamParams& params) {
  std::vector<std::string> parts;
  if (params.width && params.height)
    parts.push_back(std::to_string(*params.width) + "x" + std::to_string(*params.height));
  if (params.frameRate) {
    const std::string& rate = *params.frameRate;
    const std::size_t slash = rate.find('/');
    const double den = slash == std::string::npos ? 1.0 : std::atof(rate.c_str() + slash + 1);
    if (den > 0)
      parts.push_back(trimmedDecimal(std::atof(rate.c_str()) / den, 3) + " fps");
  }
  if (params.channels) {
    // "5.1" where the LFE channel is known, else "2.0" for one or two channels and "6 ch" for more.
    const int channels = *params.channels;
    if (params.lfe)
      parts.push_back(std::to_string(channels - *params.lfe) + (*params.lfe ? ".1" : ".0"));
    else
      parts.push_back(std::to_string(channels) + (channels <= 2 ? ".0" : " ch"));
  }
  if (params.sampleRate)
    parts.push_back(trimmedDecimal(*params.sampleRate / 1000.0, 3) + " kHz");
  if (params.bits)
    parts.push_back(std::to_string(*params.bits) + " bit");
  std::string text;
  for (const std::string& part : parts)
    text += (text.empty() ? "" : ", ") + part;
  const std::string name = readerOf(coding).name;
  return text.empty() || name.empty() ? text : name + " " + text;
}

}  // namespace ardunex
