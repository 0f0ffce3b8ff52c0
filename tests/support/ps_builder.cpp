// SPDX-License-Identifier: GPL-2.0-or-later
// The program-stream builder: valid MPEG-2 pack headers, system headers and PES packets for tests.
#include "support/ps_builder.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace ardunex::test {
namespace {

constexpr std::uint8_t PACK_START_CODE = 0xBA;
constexpr std::uint8_t SYSTEM_HEADER_START_CODE = 0xBB;
constexpr std::uint8_t EXTENDED_STREAM_ID = 0xFD;
constexpr std::uint8_t PRIVATE_STREAM_1 = 0xBD;
constexpr std::uint8_t PADDING_STREAM = 0xBE;
constexpr std::size_t MAX_PES_PACKET_LENGTH = 0xFFFF;
constexpr std::uint32_t PROGRAM_MUX_RATE = 75600;  // in 50 bytes/s: 30.24 Mbit/s
constexpr std::uint64_t PTS_STEP = 3003;           // one 29.97 Hz frame in 90 kHz units

void putStartCode(Bytes& out, std::uint8_t id) { out.insert(out.end(), {0x00, 0x00, 0x01, id}); }

void put16(Bytes& out, std::size_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

// A 33-bit time stamp in five bytes with its four-bit prefix and marker bits (Table 2-21).
void putTimeStamp(Bytes& out, std::uint8_t prefix, std::uint64_t ts) {
  out.push_back(static_cast<std::uint8_t>((prefix << 4) | (((ts >> 30) & 0x07) << 1) | 1));
  out.push_back(static_cast<std::uint8_t>(ts >> 22));
  out.push_back(static_cast<std::uint8_t>((((ts >> 15) & 0x7F) << 1) | 1));
  out.push_back(static_cast<std::uint8_t>(ts >> 7));
  out.push_back(static_cast<std::uint8_t>(((ts & 0x7F) << 1) | 1));
}

}  // namespace

// PES header from the '10' marker byte to the end of the header data.
Bytes PsBuilder::pesHeaderBytes(const PesHeader& h) {
  Bytes data;
  std::uint8_t flags = 0;
  const auto given = static_cast<std::uint64_t>(h.ptsValue);
  if (h.ptsDts) {
    flags |= 0xC0;
    const std::uint64_t pts = h.ptsValue >= 0 ? given : m_clock + PTS_STEP;
    putTimeStamp(data, 0x3, pts);
    putTimeStamp(data, 0x1, pts - PTS_STEP);  // DTS
  } else if (h.pts) {
    flags |= 0x80;
    putTimeStamp(data, 0x2, h.ptsValue >= 0 ? given : m_clock);
  }
  m_clock += PTS_STEP;
  if (h.extension || h.pstd || h.streamIdExtension >= 0) {
    flags |= 0x01;  // PES_extension_flag
    std::uint8_t extFlags = h.extFlags;
    if (h.pstd)
      extFlags |= 0x10;  // P-STD_buffer_flag
    if (h.streamIdExtension >= 0)
      extFlags |= 0x01;  // PES_extension_flag_2
    data.push_back(extFlags);
    if (h.pstd)
      data.insert(data.end(), {0x60, 0xE8});  // '01', P-STD_buffer_scale 1, P-STD_buffer_size 232
    if (h.streamIdExtension >= 0) {
      data.push_back(0x81);  // marker bit, PES_extension_field_length 1
      data.push_back(static_cast<std::uint8_t>(h.streamIdExtension | 0x80));
    }
  }
  data.insert(data.end(), static_cast<std::size_t>(h.stuffing), 0xFF);  // stuffing_byte
  if (data.size() > 0xFF)
    throw std::invalid_argument("PES header data too long");

  // '10', PES_scrambling_control, original_or_copy; flags; length
  Bytes header{static_cast<std::uint8_t>(0x81 | (h.scrambling & 3) << 4), flags,
               static_cast<std::uint8_t>(data.size())};
  header.insert(header.end(), data.begin(), data.end());
  return header;
}

namespace {

void putPes(Bytes& out, std::uint8_t streamId, const Bytes& header, const Bytes& subHeader, const Bytes& body) {
  const std::size_t length = header.size() + subHeader.size() + body.size();
  if (length > MAX_PES_PACKET_LENGTH)
    throw std::invalid_argument("PES packet too long");
  putStartCode(out, streamId);
  put16(out, length);  // PES_packet_length
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), subHeader.begin(), subHeader.end());
  out.insert(out.end(), body.begin(), body.end());
}

std::uint32_t nextRandom(std::uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

}  // namespace

PsBuilder& PsBuilder::pack(bool systemHeader) {
  const std::uint64_t scr = m_scr;
  m_scr += 1000;
  putStartCode(m_bytes, PACK_START_CODE);
  // '01', system_clock_reference_base with markers, SCR extension 0 (Table 2-33).
  m_bytes.push_back(static_cast<std::uint8_t>(0x44 | (((scr >> 30) & 0x07) << 3) | ((scr >> 28) & 0x03)));
  m_bytes.push_back(static_cast<std::uint8_t>(scr >> 20));
  m_bytes.push_back(static_cast<std::uint8_t>((((scr >> 15) & 0x1F) << 3) | 0x04 | ((scr >> 13) & 0x03)));
  m_bytes.push_back(static_cast<std::uint8_t>(scr >> 5));
  m_bytes.push_back(static_cast<std::uint8_t>(((scr & 0x1F) << 3) | 0x04));
  m_bytes.push_back(0x01);                                    // SCR extension low bits, marker
  const std::uint32_t rate = (PROGRAM_MUX_RATE << 2) | 0x03;  // program_mux_rate, two marker bits
  m_bytes.push_back(static_cast<std::uint8_t>(rate >> 16));
  m_bytes.push_back(static_cast<std::uint8_t>(rate >> 8));
  m_bytes.push_back(static_cast<std::uint8_t>(rate));
  m_bytes.push_back(0xF8);  // reserved, pack_stuffing_length 0

  if (systemHeader) {
    // Table 2-34: rate_bound, bounds and flags, then one entry per stream: id and P-STD buffer bound.
    const Bytes entries{0xE0, 0xE0, 0xE8, PRIVATE_STREAM_1, 0xE0, 0x3A, EXTENDED_STREAM_ID, 0xE0, 0xE8};
    Bytes body;
    const std::uint32_t bound = 0x800001 | (PROGRAM_MUX_RATE << 1);  // marker, rate_bound, marker
    body.push_back(static_cast<std::uint8_t>(bound >> 16));
    body.push_back(static_cast<std::uint8_t>(bound >> 8));
    body.push_back(static_cast<std::uint8_t>(bound));
    body.push_back(0x04);  // audio_bound 1, fixed_flag 0, CSPS_flag 0
    body.push_back(0xE1);  // audio and video lock, marker, video_bound 1
    body.push_back(0x7F);  // packet_rate_restriction_flag 0, reserved
    body.insert(body.end(), entries.begin(), entries.end());
    putStartCode(m_bytes, SYSTEM_HEADER_START_CODE);
    put16(m_bytes, body.size());  // header_length
    m_bytes.insert(m_bytes.end(), body.begin(), body.end());
  }
  return *this;
}

PsBuilder& PsBuilder::pes(std::uint8_t streamId, const Bytes& payload, const PesHeader& header) {
  putPes(m_bytes, streamId, pesHeaderBytes(header), {}, payload);
  return *this;
}

PsBuilder& PsBuilder::vc1(std::uint8_t extId, const Bytes& payload, bool pts) {
  PesHeader header;
  header.pts = pts;
  header.streamIdExtension = extId;
  return pes(EXTENDED_STREAM_ID, payload, header);
}

PsBuilder& PsBuilder::privateStream1(std::uint8_t subStreamId, const Bytes& payload, const PesHeader& header) {
  Bytes subHeader{subStreamId, 0x01, 0x00, 0x01};  // sub-stream id, frame count, first access unit pointer
  if (subStreamId >= 0xA0 && subStreamId <= 0xA7)
    subHeader.insert(subHeader.end(), {0x00, 0x11, 0x80});  // LPCM: emphasis, word length, rate, channels
  else if (subStreamId >= 0xB0 && subStreamId <= 0xB7)
    subHeader.push_back(0x80);  // MLP: one more header byte
  putPes(m_bytes, PRIVATE_STREAM_1, pesHeaderBytes(header), subHeader, payload);
  return *this;
}

PsBuilder& PsBuilder::subpicture(int number, const Bytes& payload, const PesHeader& header) {
  const Bytes subHeader{static_cast<std::uint8_t>(0x20 + number)};
  putPes(m_bytes, PRIVATE_STREAM_1, pesHeaderBytes(header), subHeader, payload);
  return *this;
}

PsBuilder& PsBuilder::skipPacket(std::uint8_t streamId, const Bytes& body) {
  if (body.size() > MAX_PES_PACKET_LENGTH)
    throw std::invalid_argument("packet body too long");
  putStartCode(m_bytes, streamId);
  put16(m_bytes, body.size());
  m_bytes.insert(m_bytes.end(), body.begin(), body.end());
  return *this;
}

PsBuilder& PsBuilder::padding(std::size_t n) {
  if (n < 6)
    throw std::invalid_argument("padding shorter than its header");
  return skipPacket(PADDING_STREAM, Bytes(n - 6, 0xFF));
}

PsBuilder& PsBuilder::raw(const Bytes& data) {
  m_bytes.insert(m_bytes.end(), data.begin(), data.end());
  return *this;
}

Bytes payload(std::size_t n, std::uint32_t seed) {
  Bytes out(n);
  std::uint32_t state = seed * 2654435761u + 0x9E3779B9u;
  if (state == 0)
    state = 1;
  for (std::size_t i = 0; i < n; ++i) {
    auto b = static_cast<std::uint8_t>(nextRandom(state) >> 11);
    if (b == 0x01 && i >= 2 && out[i - 1] == 0 && out[i - 2] == 0)
      b = 0x02;  // no 00 00 01
    out[i] = b;
  }
  return out;
}

Bytes trickyPayload(std::size_t n, std::uint32_t seed) {
  static constexpr std::uint8_t EMULATED_IDS[] = {0xE0, 0xBD, 0xBA, 0xBE, 0xFD, 0xC0, 0xE1, 0xBF};
  Bytes out = payload(n, seed);
  std::size_t k = 0;
  for (std::size_t at = 1; at + 4 <= n; at += 23, ++k) {
    out[at] = 0x00;
    out[at + 1] = 0x00;
    out[at + 2] = 0x01;
    out[at + 3] = EMULATED_IDS[k % std::size(EMULATED_IDS)];
  }
  return out;
}

Bytes supUnit(std::uint32_t pts, const Bytes& body) {
  Bytes out{'S', 'P'};
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(pts >> shift));
  out.insert(out.end(), 4, 0x00);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

void ExpectedSup::packet(std::int64_t packetPts, const Bytes& payload) {
  if (packetPts >= 0) {
    file = whole();
    unit.clear();
    pts = packetPts;
  }
  if (pts >= 0)
    unit.insert(unit.end(), payload.begin(), payload.end());
}

Bytes ExpectedSup::whole() const {
  Bytes out = file;
  if (pts >= 0) {
    const Bytes last = supUnit(static_cast<std::uint32_t>(pts), unit);
    out.insert(out.end(), last.begin(), last.end());
  }
  return out;
}

std::filesystem::path fsPath(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

namespace {

std::string utf8Name(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

}  // namespace

#ifdef _WIN32
TempDir::TempDir() {
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
    const std::filesystem::path candidate = base / ("ardunex-test-" + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error))
      m_path = utf8Name(candidate);
  }
  if (m_path.empty())
    throw std::runtime_error("cannot create a temporary folder");
}
#else
TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/ardunex-test-XXXXXX";
  if (!::mkdtemp(pattern.data()))
    throw std::runtime_error("cannot create a temporary folder");
  m_path = pattern;
}
#endif

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(fsPath(m_path), ignored);
}

std::string TempDir::file(const std::string& name) const { return m_path + "/" + name; }

void writeFile(const std::string& path, const Bytes& data) {
  std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

Bytes readFile(const std::string& path) {
  std::ifstream in(fsPath(path), std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(fsPath(path), ignored);
}

std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(fsPath(folder)))
    names.push_back(utf8Name(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

bool isPrefix(const Bytes& part, const Bytes& whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

}  // namespace ardunex::test
