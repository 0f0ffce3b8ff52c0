// SPDX-License-Identifier: GPL-2.0-or-later
// The golden table's inputs: program streams built from one recipe per family, each case from its own seed,
// with garbage, start-code emulations, cut and mislabelled packets, unusual headers and changed bytes.
#include "support/golden_streams.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace ardunex::test {
namespace {

constexpr std::size_t PACK_SIZE = 2048;
constexpr std::size_t MIB = 1024 * 1024;
constexpr std::uint8_t PRIVATE_STREAM_1 = 0xBD;
constexpr std::uint8_t EXTENDED_STREAM_ID = 0xFD;
constexpr std::size_t LENGTH_AT = 4;          // PES_packet_length
constexpr std::size_t FLAGS_AT = 7;           // PTS_DTS_flags ... PES_extension_flag
constexpr std::size_t DATA_LENGTH_AT = 8;     // PES_header_data_length
constexpr std::size_t PACK_STUFFING_AT = 13;  // pack_stuffing_length

// splitmix64: the same numbers from the same seed everywhere, which the standard distributions do not promise.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  int range(int first, int last) { return first + static_cast<int>(below(static_cast<std::size_t>(last - first) + 1)); }
  bool percent(int chance) { return static_cast<int>(below(100)) < chance; }
  std::uint8_t byte() { return static_cast<std::uint8_t>(next() >> 24); }
  template <typename T, std::size_t N>
  T pick(const T (&items)[N]) {
    return items[below(N)];
  }

 private:
  std::uint64_t m_state;
};

// A packet's stream: its stream_id, and for private_stream_1 and 0xFD the sub-stream id or stream_id_extension.
struct Stream {
  std::uint8_t streamId;
  std::uint8_t subId = 0;
};

// The ids of false start codes. 0xD0-0xDF weigh most: a walk that passed their packets over by length
// would lose the real packets behind them.
constexpr std::uint8_t FALSE_IDS[] = {0xD0, 0xD3, 0xD7, 0xDA, 0xDE, 0xDF, 0xD1, 0xD5, 0xD9, 0xDC, 0xC0,
                                      0xC5, 0xCF, 0xBD, 0xBE, 0xBF, 0xBC, 0xE0, 0xE1, 0xE2, 0xE3, 0xFD,
                                      0xBA, 0xBB, 0xB9, 0xB3, 0x00, 0xB5, 0xEF, 0xF0, 0xFF, 0x01};

Stream anyStream(Rng& rng) {
  switch (rng.below(8)) {
    case 0:
      return {static_cast<std::uint8_t>(rng.range(0xE0, 0xE3))};
    case 1:
      return {EXTENDED_STREAM_ID,
              static_cast<std::uint8_t>(rng.percent(80) ? rng.range(0x55, 0x56) : rng.range(0, 0x7F))};
    case 2:
    case 3: {
      // Every sub-stream id range: the audio codecs, their unused neighbours, subpictures, the low ids, any.
      static constexpr int FIRSTS[] = {0x80, 0x88, 0xA0, 0xA8, 0xB0, 0xB8, 0xC0, 0xC8, 0x20, 0x30, 0x00, 0x40, 0xF0};
      const int first = rng.pick(FIRSTS);
      return {PRIVATE_STREAM_1, static_cast<std::uint8_t>(rng.percent(90) ? first + rng.range(0, 7) : rng.byte())};
    }
    case 4:
      return {static_cast<std::uint8_t>(rng.range(0xC0, 0xDF))};
    case 5:
      return {static_cast<std::uint8_t>(rng.pick({0xBC, 0xBE, 0xBF}))};
    default: {
      static constexpr std::uint8_t UNKNOWN[] = {0xB9, 0xBA, 0xBB, 0xE4, 0xE8, 0xEF, 0xF0,
                                                 0xF5, 0xFA, 0xFC, 0xFE, 0xFF, 0x00, 0xB3};
      return {rng.percent(80) ? rng.pick(UNKNOWN) : rng.byte()};
    }
  }
}

// What a family of cases does to its streams; chances in percent per packet.
enum class Sweep : std::uint8_t { None, StreamIds, SubStreamIds, MpegAudio };
struct Recipe {
  const char* family;
  int cases;
  int packets;     // at most, per case
  int garbage;     // a run of garbage before the packet
  int truncate;    // the packet is cut short
  int badLength;   // its PES_packet_length is wrong
  int oddHeader;   // stuffing, PES extensions, scrambling, forbidden flags, a wrong PES_header_data_length
  int falseCodes;  // its payload or body holds start-code emulations
  int mutations;   // bytes of the whole stream changed, at most
  Sweep sweep;
  bool twoPart;
};

constexpr Recipe RECIPES[] = {
    {"clean", 30, 40, 0, 0, 0, 0, 0, 0, Sweep::None, false},
    {"stream-ids", 16, 64, 5, 0, 0, 10, 10, 0, Sweep::StreamIds, false},
    {"sub-streams", 16, 64, 5, 0, 0, 10, 10, 0, Sweep::SubStreamIds, false},
    {"mpeg-audio", 12, 48, 10, 5, 5, 10, 20, 0, Sweep::MpegAudio, false},
    {"garbage", 50, 40, 40, 0, 0, 0, 10, 0, Sweep::None, false},
    {"false-codes", 30, 40, 15, 0, 0, 5, 100, 0, Sweep::None, false},
    {"truncated", 40, 40, 10, 25, 0, 10, 20, 0, Sweep::None, false},
    {"lengths", 25, 40, 10, 0, 20, 10, 20, 0, Sweep::None, false},
    {"headers", 40, 40, 5, 0, 0, 60, 10, 0, Sweep::None, false},
    {"mutated", 40, 40, 10, 5, 5, 20, 20, 40, Sweep::None, false},
    {"two-part", 30, 60, 10, 5, 5, 20, 20, 5, Sweep::None, true},
};
// Streams that begin after the first 4 MiB, which only a full scan finds.
constexpr const char* BIG_FAMILY = "big";
constexpr int BIG_CASES = 4;

class CaseMaker {
 public:
  CaseMaker(const Recipe& recipe, std::uint64_t seed) : m_recipe(&recipe), m_rng(seed) {
    m_packed = m_rng.percent(60);
    const int count = m_rng.range(2, 6);
    for (int k = 0; k < count; ++k)
      m_palette.push_back(anyStream(m_rng));
  }

  // Packets up to the count or the size, each maybe after garbage and maybe damaged.
  void packets(int count, std::size_t maxSize = SIZE_MAX) {
    for (int k = 0; k < count && m_out.size() < maxSize; ++k) {
      if (m_rng.percent(m_recipe->garbage))
        garbage(m_rng.percent(90) ? m_rng.below(400) + 1 : m_rng.below(5000) + 1);
      m_starts.push_back(m_out.size());
      packet(nextStream());
    }
  }

  // From here on only these streams, made by this recipe; without streams, only padding,
  // private_stream_2 and an unknown id.
  void newStreams(const Recipe& recipe, bool streams) {
    m_recipe = &recipe;
    m_palette.clear();
    m_paletteOnly = true;
    if (!streams)
      m_palette = {{0xBE}, {0xBF}, {0xF0}};
    for (int k = 0; streams && k < 4; ++k)
      m_palette.push_back(anyStream(m_rng));
  }

  void mutate(int most) {
    for (int k = m_rng.range(0, most); k > 0 && !m_out.empty(); --k)
      m_out[m_rng.below(m_out.size())] = m_rng.byte();
  }

  // Where a second part begins, after the byte from: anywhere, or a few bytes into a packet.
  std::size_t cut(std::size_t from) {
    const auto first = std::upper_bound(m_starts.begin(), m_starts.end(), from);
    if (m_rng.percent(50) || m_starts.end() - first < 2)
      return from + 1 + m_rng.below(m_out.size() - from - 1);
    return std::min(m_out.size() - 1,
                    first[static_cast<std::ptrdiff_t>(m_rng.below(m_starts.end() - first))] + m_rng.below(24));
  }

  Bytes& bytes() { return m_out; }

 private:
  Stream nextStream() {
    switch (m_recipe->sweep) {
      case Sweep::StreamIds: {
        const auto id = static_cast<std::uint8_t>(m_rng.range(0xB9, 0xFF));
        return {id, static_cast<std::uint8_t>(id == EXTENDED_STREAM_ID ? m_rng.range(0x50, 0x5F) : m_rng.byte())};
      }
      case Sweep::SubStreamIds:
        return {PRIVATE_STREAM_1, m_rng.byte()};
      case Sweep::MpegAudio:
        if (m_rng.percent(50))
          return {static_cast<std::uint8_t>(m_rng.range(0xC0, 0xDF))};
        break;
      case Sweep::None:
        break;
    }
    return m_paletteOnly || m_rng.percent(85) ? m_palette[m_rng.below(m_palette.size())] : anyStream(m_rng);
  }

  void fill(Bytes& out, std::size_t n, bool falseCodes) {
    for (std::size_t k = 0; k < n; k += 8)
      for (std::uint64_t bits = m_rng.next(), j = k; j < std::min(n, k + 8); ++j, bits >>= 8)
        out.push_back(static_cast<std::uint8_t>(bits));
    for (int k = falseCodes ? m_rng.range(1, 4) : 0; k > 0 && n >= 4; --k) {
      const std::size_t at = out.size() - n + m_rng.below(n - 3);
      const std::uint8_t code[] = {0x00, 0x00, 0x01, m_rng.pick(FALSE_IDS)};
      std::copy(std::begin(code), std::end(code), out.begin() + static_cast<std::ptrdiff_t>(at));
    }
  }

  // Random bytes with false start codes, some with a length field after them, and runs of zeros.
  void garbage(std::size_t n) {
    const std::size_t end = m_out.size() + n;
    while (m_out.size() < end) {
      const std::size_t run = std::min<std::size_t>(end - m_out.size(), m_rng.below(64) + 1);
      switch (m_rng.below(6)) {
        case 0:
          m_out.insert(m_out.end(), {0x00, 0x00, 0x01, m_rng.pick(FALSE_IDS), m_rng.byte(), m_rng.byte()});
          break;
        case 1:
          m_out.insert(m_out.end(),
                       {0x00, 0x00, 0x01, m_rng.pick(FALSE_IDS), 0x00, static_cast<std::uint8_t>(m_rng.below(40))});
          break;
        case 2:
          m_out.insert(m_out.end(), run, 0x00);
          break;
        default:
          fill(m_out, run, false);
          break;
      }
    }
  }

  void packHeader() {
    const Bytes pack = PsBuilder().pack(m_rng.percent(5)).bytes();
    const std::size_t stuffing = m_rng.percent(10) ? m_rng.below(8) : 0;
    m_out.insert(m_out.end(), pack.begin(), pack.end());
    m_out[m_out.size() - pack.size() + PACK_STUFFING_AT] |= static_cast<std::uint8_t>(stuffing);
    if (stuffing)  // the stuffing goes after the pack header, before a system header
      m_out.insert(m_out.end() - static_cast<std::ptrdiff_t>(pack.size() - PACK_STUFFING_AT - 1), stuffing, 0xFF);
  }

  PesHeader header(const Stream& stream) {
    PesHeader h;
    h.ptsValue = static_cast<std::int64_t>(m_clock += 3003);
    h.pts = m_rng.percent(70);
    h.ptsDts = m_rng.percent(15);
    if (stream.streamId == EXTENDED_STREAM_ID) {
      h.streamIdExtension = stream.subId;
      h.pstd = m_rng.percent(30);
    }
    if (!m_rng.percent(m_recipe->oddHeader))
      return h;
    switch (m_rng.below(7)) {
      case 0:
        h.stuffing = m_rng.range(1, 40);
        break;
      case 1:
        h.pstd = true;
        break;
      case 2:
        h.streamIdExtension = m_rng.percent(50) ? m_rng.range(0x55, 0x56) : m_rng.range(0, 0x7F);
        break;
      case 3:
        h.pstd = true;
        h.streamIdExtension = m_rng.range(0x54, 0x57);
        break;
      case 4:
        h.extension = true;  // flags of fields that are not there
        h.extFlags = static_cast<std::uint8_t>(m_rng.byte() & 0xEE);
        break;
      case 5:
        h.scrambling = m_rng.range(1, 3);
        break;
      default:  // no time stamps: the extension flags byte right after the fixed header
        h.pts = h.ptsDts = false;
        h.streamIdExtension = m_rng.range(0x55, 0x56);
        h.stuffing = m_rng.range(0, 3);
        break;
    }
    return h;
  }

  Bytes build(const Stream& stream, const PesHeader& h, std::size_t n, bool falseCodes, bool subpicture) {
    Bytes body;
    fill(body, n, falseCodes);
    PsBuilder b;
    if (stream.streamId == 0xBC || stream.streamId == 0xBE || stream.streamId == 0xBF)
      b.skipPacket(stream.streamId, body);
    else if (stream.streamId == PRIVATE_STREAM_1 && stream.subId >= 0x20 && stream.subId <= 0x3F && subpicture)
      b.subpicture(stream.subId - 0x20, body, h);
    else if (stream.streamId == PRIVATE_STREAM_1)
      b.privateStream1(stream.subId, body, h);
    else
      b.pes(stream.streamId, body, h);
    return b.bytes();
  }

  void packet(const Stream& stream) {
    const PesHeader h = header(stream);
    const bool falseCodes = m_rng.percent(m_recipe->falseCodes);
    const bool subpicture = m_rng.percent(50);  // a subpicture's id right before its payload
    std::size_t n = m_rng.percent(70) ? m_rng.below(600) : m_rng.below(4000);
    const std::size_t packStart = m_out.size();
    if (m_packed || m_rng.percent(60))
      packHeader();
    if (m_packed && m_rng.percent(90)) {
      // Fill the 2048-byte pack, or leave room for a padding packet as discs do.
      const std::size_t overhead = m_out.size() - packStart + build(stream, h, 0, false, subpicture).size();
      n = overhead < PACK_SIZE ? PACK_SIZE - overhead : 0;
      if (m_rng.percent(20) && n > 100)
        n -= m_rng.range(6, 100);
    }
    Bytes p = build(stream, h, n, falseCodes, subpicture);
    if (p.size() > DATA_LENGTH_AT && m_rng.percent(m_recipe->oddHeader / 4)) {
      if (m_rng.percent(50))
        p[FLAGS_AT] = static_cast<std::uint8_t>((p[FLAGS_AT] & 0x3F) | 0x40);  // the forbidden PTS_DTS_flags '01'
      else
        p[DATA_LENGTH_AT] = static_cast<std::uint8_t>(p[DATA_LENGTH_AT] + m_rng.range(-8, 8));
    }
    if (m_rng.percent(m_recipe->badLength)) {
      const std::size_t length = m_rng.percent(50) ? m_rng.below(0x10000) : p.size() - 6 + m_rng.below(16) - 8;
      p[LENGTH_AT] = static_cast<std::uint8_t>(length >> 8);
      p[LENGTH_AT + 1] = static_cast<std::uint8_t>(length);
    }
    if (m_rng.percent(m_recipe->truncate))
      p.resize(m_rng.percent(50) ? m_rng.below(std::min<std::size_t>(p.size(), 24)) : m_rng.below(p.size()));
    m_out.insert(m_out.end(), p.begin(), p.end());
    const std::size_t packBytes = m_out.size() - packStart;
    if (m_packed && packBytes + 6 <= PACK_SIZE && m_rng.percent(90)) {
      const Bytes padding = PsBuilder().padding(PACK_SIZE - packBytes).bytes();
      m_out.insert(m_out.end(), padding.begin(), padding.end());
    }
  }

  const Recipe* m_recipe;
  Rng m_rng;
  bool m_packed = false;
  bool m_paletteOnly = false;
  std::vector<Stream> m_palette;
  std::vector<std::size_t> m_starts;
  std::uint64_t m_clock = 90000;
  Bytes m_out;
};

std::string caseName(const char* family, int number) {
  return std::string(family) + "-" + (number < 10 ? "0" : "") + std::to_string(number);
}

GoldenCase finish(std::string name, CaseMaker& maker, bool twoPart, std::size_t cutFrom = 0) {
  GoldenCase result{std::move(name), {}};
  Bytes& bytes = maker.bytes();
  if (!twoPart || bytes.size() < cutFrom + 2) {
    result.files.emplace_back(result.name + ".EVO", std::move(bytes));
    return result;
  }
  const auto cut = static_cast<std::ptrdiff_t>(maker.cut(cutFrom));
  result.files.emplace_back(result.name + "_1.EVO", Bytes(bytes.begin(), bytes.begin() + cut));
  result.files.emplace_back(result.name + "_2.EVO", Bytes(bytes.begin() + cut, bytes.end()));
  return result;
}

}  // namespace

int goldenCaseCount() {
  int count = BIG_CASES;
  for (const Recipe& recipe : RECIPES)
    count += recipe.cases;
  return count;
}

GoldenCase goldenCase(int index) {
  const auto seed = static_cast<std::uint64_t>(index) * 0x100000001B3ULL + 0xA5A5;
  for (const Recipe& recipe : RECIPES) {
    if (index < recipe.cases) {
      CaseMaker maker(recipe, seed);
      maker.packets(recipe.packets);
      maker.mutate(recipe.mutations);
      return finish(caseName(recipe.family, index), maker, recipe.twoPart);
    }
    index -= recipe.cases;
  }
  // Big cases: more than 4 MiB of one set of streams (of none in the second case), then new streams; the
  // last one is also a two-part feature, cut among the new streams.
  static constexpr Recipe LEAD{BIG_FAMILY, BIG_CASES, 0, 0, 0, 0, 10, 0, 0, Sweep::None, false};
  static constexpr Recipe TAIL{BIG_FAMILY, BIG_CASES, 200, 10, 5, 5, 20, 20, 0, Sweep::None, false};
  CaseMaker maker(LEAD, seed);
  maker.newStreams(LEAD, index != 1);
  maker.packets(1 << 20, 4 * MIB + 1 + (index % 2) * 300000);
  const std::size_t lead = maker.bytes().size();
  maker.newStreams(TAIL, true);
  maker.packets(TAIL.packets);
  return finish(caseName(BIG_FAMILY, index), maker, index == BIG_CASES - 1, lead);
}

}  // namespace ardunex::test
