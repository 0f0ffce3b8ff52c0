// SPDX-License-Identifier: GPL-2.0-or-later
// Start-code scanning: the classes that start codes begin, the window of the last four bytes, and fast ways
// to find the 0x01 bytes after which a start code can complete, in a run of bytes or in a pack's headers.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/mpeg_ps.h"
#include "engine/packet_facts.h"

// SSE2 is part of every x86-64 processor; GCC and Clang say so with __SSE2__, MSVC with _M_X64.
#if defined(__SSE2__) || defined(_M_X64)
#define HAVE_SSE2 1
#include <emmintrin.h>
#endif

namespace ardunex {

// Class of the packet that a start code with this stream_id begins; None for ids that are not recognised.
constexpr std::array<StreamClass, 256> makeStartCodeClasses() {
  std::array<StreamClass, 256> classes{};
  for (auto& c : classes)
    c = StreamClass::None;
  for (int id = mpeg::MPEG2_VIDEO_0; id <= mpeg::AVC_VIDEO_1; ++id)
    classes[id] = StreamClass::Video;
  classes[mpeg::EXTENDED_STREAM_ID] = StreamClass::Video;
  for (int id = mpeg::MPEG_AUDIO_FIRST; id <= mpeg::MPEG_AUDIO_LAST; ++id)
    classes[id] = StreamClass::MpegAudio;
  classes[mpeg::PRIVATE_STREAM_1] = StreamClass::PrivateAudio;
  classes[mpeg::PROGRAM_STREAM_MAP] = StreamClass::SkipWhole;
  classes[mpeg::PADDING_STREAM] = StreamClass::SkipWhole;
  classes[mpeg::PRIVATE_STREAM_2] = StreamClass::SkipWhole;
  return classes;
}

inline constexpr auto START_CODE_CLASSES = makeStartCodeClasses();

// Shifts block[from..to) into the window, as examining those bytes one by one would.
inline void shiftIntoWindow(std::uint32_t& window, const std::uint8_t* block, std::size_t from, std::size_t to) {
  if (to - from >= 4) {
    window = mpeg::loadBigEndian32(block + to - 4);
    return;
  }
  for (std::size_t k = from; k < to; ++k)
    window = (window << 8) | block[k];
}

// Index of the next 0x01 byte at or after from (length when there is none). The gaps between packets are
// mostly short (a pack header), so the first bytes are looked at eight at a time without a call, and
// memchr takes over for long gaps.
inline std::size_t findOne(const std::uint8_t* block, std::size_t from, std::size_t length) {
  constexpr std::uint64_t ONES = 0x0101010101010101ULL;
  constexpr std::uint64_t HIGHS = 0x8080808080808080ULL;
  std::size_t k = from;
  const std::size_t shortEnd = std::min(length, from + 64);
  if constexpr (std::endian::native == std::endian::little) {
    for (; k + 8 <= shortEnd; k += 8) {
      std::uint64_t word;
      std::memcpy(&word, block + k, sizeof word);
      const std::uint64_t x = word ^ ONES;  // a 0x01 byte becomes a zero byte
      // The lowest flagged byte is the first zero byte exactly (borrows only run towards higher bytes).
      const std::uint64_t zeros = (x - ONES) & ~x & HIGHS;
      if (zeros)
        return k + static_cast<std::size_t>(std::countr_zero(zeros) / 8);
    }
  }
  for (; k < shortEnd; ++k)
    if (block[k] == 0x01)
      return k;
  if (shortEnd == length)
    return length;
  const auto* next = static_cast<const std::uint8_t*>(std::memchr(block + shortEnd, 0x01, length - shortEnd));
  return next ? static_cast<std::size_t>(next - block) : length;
}

// The high bit of each byte lane is set exactly where that byte of x is 0x01 (no borrow crosses lanes).
constexpr std::uint64_t oneLanes(std::uint64_t x) {
  constexpr std::uint64_t ONES = 0x0101010101010101ULL;
  constexpr std::uint64_t LOW7 = 0x7F7F7F7F7F7F7F7FULL;
  constexpr std::uint64_t HIGHS = 0x8080808080808080ULL;
  const std::uint64_t y = x ^ ONES;
  return ~(((y & LOW7) + LOW7) | y) & HIGHS;
}

// Whether a recognised start code completes right after the 0x01 byte at index one.
inline bool completesAfter(const std::uint8_t* block, std::size_t one) {
  return block[one - 1] == 0 && block[one - 2] == 0 && START_CODE_CLASSES[block[one + 1]] != StreamClass::None;
}

// Whether a recognised start code completes at any index in [from, to) of a block. The block holds a
// stream_id (never 0x00 or 0x01) at or before from - 1, so every byte looked at lies inside the block.
// A start code can complete only right after a 0x01 byte, and those are rare in headers, so the bytes are
// looked at eight at a time and only a 0x01 among them is looked at closely.
inline bool startCodeWithin(const std::uint8_t* block, std::size_t from, std::size_t to) {
  const std::size_t first = from - 1;  // the 0x01 byte of a start code completing at from
  const std::size_t end = to - 1;
  if constexpr (std::endian::native == std::endian::little) {
    if (end - first >= 8) {
      // Whole words, the last one overlapping its predecessor (looking at a byte twice does no harm).
      for (std::size_t k = first;; k += 8) {
        if (k + 8 > end)
          k = end - 8;
        std::uint64_t word;
        std::memcpy(&word, block + k, sizeof word);
        for (std::uint64_t ones = oneLanes(word); ones != 0; ones &= ones - 1) {
          const std::size_t one = k + static_cast<std::size_t>(std::countr_zero(ones) / 8);
          if (completesAfter(block, one))
            return true;
        }
        if (k + 8 == end)
          return false;
      }
    }
  }
  for (std::size_t one = first; one < end; ++one)
    if (block[one] == 0x01 && completesAfter(block, one))
      return true;
  return false;
}

// The packet headers that packs are taken whole with lie within this many bytes from the pack's start:
// a pack header, a system header, then a PES header with PTS and DTS or a sub-stream header.
inline constexpr std::size_t HEADERS_SPAN = 48;

// Which of the first HEADERS_SPAN bytes from p are 0x00 and which 0x01, one bit per byte. The first 32
// bytes hold most packet headers; the rest are looked at only when asked for.
class ByteLanes {
 public:
  explicit ByteLanes(const std::uint8_t* p) : m_p(p) {
    add16<0>();
    add16<16>();
  }

  // Makes sure the bytes before index end (at most HEADERS_SPAN) have been looked at.
  void fillTo(std::size_t end) {
    if (end > 32 && !m_full) {
      add16<32>();
      m_full = true;
    }
  }

  // Bit k is set where a 00 00 01 prefix ends at byte k: a start code can complete only on the byte after.
  std::uint64_t prefixEnds() const { return m_ones & (m_zeros << 1) & (m_zeros << 2); }

 private:
  template <unsigned AT>
  void add16() {
#if defined(HAVE_SSE2)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_p + AT));
    const auto lanes = [&bytes](char value) {
      return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(value))))};
    };
    m_zeros |= lanes(0) << AT;
    m_ones |= lanes(1) << AT;
#else
    for (unsigned k = AT; k < AT + 16; ++k) {
      m_zeros |= std::uint64_t{m_p[k] == 0x00} << k;
      m_ones |= std::uint64_t{m_p[k] == 0x01} << k;
    }
#endif
  }

  const std::uint8_t* m_p;
  std::uint64_t m_zeros = 0;
  std::uint64_t m_ones = 0;
  bool m_full = false;
};

// Bits from..to-1.
constexpr std::uint64_t bitRange(std::size_t from, std::size_t to) {
  return ((std::uint64_t{1} << to) - 1) & ~((std::uint64_t{1} << from) - 1);
}

// The bit of a pack's ByteLanes where the 00 00 01 prefix of a start code at `at` ends.
constexpr std::uint64_t prefixEndBit(std::size_t at) { return std::uint64_t{1} << (at + mpeg::START_CODE_BYTES - 2); }

}  // namespace ardunex
