// SPDX-License-Identifier: GPL-2.0-or-later
// Writes program-stream bytes for tests: packs, system headers, PES packets of every kind the engine meets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ardunex::test {

using Bytes = std::vector<std::uint8_t>;

/// Options of one PES header.
struct PesHeader {
  bool pts = false;           // PTS only (PTS_DTS_flags '10')
  bool ptsDts = false;        // PTS and DTS ('11')
  int stuffing = 0;           // stuffing bytes 0xFF at the end of the header data
  bool extension = false;     // PES_extension_flag with a flags byte
  std::uint8_t extFlags = 0;  // the PES extension flags byte when extension is set
  bool pstd = false;          // write a 2-byte P-STD buffer field (set extFlags bit 4 yourself or let the builder)
  int streamIdExtension =
      -1;              // write PES_extension_field_length and this stream_id_extension (with the marker bit 0x80)
  int scrambling = 0;  // PES_scrambling_control, 0-3
  std::int64_t ptsValue = -1;  // the PTS to write instead of the running clock (33 bits)
};

/// Builds a program stream in memory; every add appends to bytes().
class PsBuilder {
 public:
  /// A pack header (14 bytes, no stuffing) and optionally a system header.
  PsBuilder& pack(bool systemHeader = false);
  /// A video or MPEG audio PES packet (stream_id 0xE0-0xE3, 0xC0-0xCF, or any other id) with this payload.
  PsBuilder& pes(std::uint8_t streamId, const Bytes& payload, const PesHeader& header = {});
  /// A VC-1 packet: stream_id 0xFD with PES extension 2 carrying stream_id_extension extId (0x55/0x56...).
  PsBuilder& vc1(std::uint8_t extId, const Bytes& payload, bool pts = true);
  /// A private_stream_1 packet with sub-stream id, the codec's header bytes (4, 4+3 for LPCM, 4+1 for MLP)
  /// and the payload.
  PsBuilder& privateStream1(std::uint8_t subStreamId, const Bytes& payload, const PesHeader& header = {.pts = true});
  /// A subpicture packet: private_stream_1 with sub-stream id 0x20 + number (0x20-0x3F) right before the
  /// payload; a unit's first packet carries a PTS, the packets continuing it none.
  PsBuilder& subpicture(int number, const Bytes& payload, const PesHeader& header = {});
  /// A padding_stream, private_stream_2 or program_stream_map packet whose body is body.
  PsBuilder& skipPacket(std::uint8_t streamId, const Bytes& body);
  /// Padding of total length n bytes (start code and length included, n >= 6).
  PsBuilder& padding(std::size_t n);
  /// Raw bytes.
  PsBuilder& raw(const Bytes& data);

  const Bytes& bytes() const { return m_bytes; }
  std::size_t size() const { return m_bytes.size(); }

 private:
  Bytes pesHeaderBytes(const PesHeader& header);

  Bytes m_bytes;
  std::uint64_t m_clock = 90000;  // PTS of the next packet, 90 kHz
  std::uint64_t m_scr = 0;        // SCR of the next pack
};

/// Deterministic pseudo-random payload bytes that never contain 00 00 01 (so no start code is emulated).
Bytes payload(std::size_t n, std::uint32_t seed);
/// Payload bytes that deliberately contain start-code emulations such as 00 00 01 E0 and 00 00 01 BD.
Bytes trickyPayload(std::size_t n, std::uint32_t seed);

/// A SUP unit as readers of the format expect it: "SP", the PTS's low 32 bits little-endian, four zero
/// bytes, then the unit's bytes.
Bytes supUnit(std::uint32_t pts, const Bytes& body);

/// What a SUP file must hold, kept as a test adds a stream's packets: a packet with a PTS begins a unit,
/// one without adds to the unit so far, or to nothing before the stream's first PTS.
struct ExpectedSup {
  Bytes file;  // the whole units
  Bytes unit;  // the unit so far
  std::int64_t pts = -1;

  void packet(std::int64_t packetPts, const Bytes& payload);
  /// The file when the input ends here.
  Bytes whole() const;
};

/// A temporary folder removed with everything in it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return m_path; }
  /// path() + "/" + name
  std::string file(const std::string& name) const;

 private:
  std::string m_path;
};

/// A UTF-8 path as the standard library's path, so names beyond ASCII work on Windows too.
std::filesystem::path fsPath(const std::string& path);
void writeFile(const std::string& path, const Bytes& data);
Bytes readFile(const std::string& path);
bool fileExists(const std::string& path);
/// The names in a folder, sorted.
std::vector<std::string> folderEntries(const std::string& folder);
/// Whether whole begins with part (what a file cut short by a failure still holds).
bool isPrefix(const Bytes& part, const Bytes& whole);

}  // namespace ardunex::test
