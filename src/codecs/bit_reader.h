// SPDX-License-Identifier: GPL-2.0-or-later
// Reads codec header fields bit by bit, most significant first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ardunex::codec {

/// Reads bits most significant first; reading beyond the end yields zeros and marks the reader overrun.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_bits(size * 8) {}

  std::uint32_t bit() {
    if (m_pos >= m_bits) {
      m_overrun = true;
      return 0;
    }
    const std::uint32_t b = (m_data[m_pos >> 3] >> (7 - (m_pos & 7))) & 1;
    ++m_pos;
    return b;
  }
  std::uint32_t bits(int n) {
    std::uint32_t value = 0;
    for (int i = 0; i < n; ++i)
      value = (value << 1) | bit();
    return value;
  }
  void skip(std::size_t n) {
    m_pos += n;
    if (m_pos > m_bits) {
      m_pos = m_bits;
      m_overrun = true;
    }
  }
  /// ue(v): unsigned exp-Golomb code; more than 31 leading zeros is no valid code.
  std::uint32_t ue() {
    int zeros = 0;
    while (!bit()) {
      if (m_overrun || ++zeros > 31) {
        m_invalid = !m_overrun;
        return 0;
      }
    }
    return static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + bits(zeros));
  }
  /// se(v): signed exp-Golomb code.
  std::int64_t se() {
    const std::uint32_t k = ue();
    return (k & 1) ? std::int64_t{(k + 1) / 2} : -std::int64_t{k / 2};
  }
  bool overrun() const { return m_overrun; }
  bool invalid() const { return m_invalid; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_bits;
  std::size_t m_pos = 0;
  bool m_overrun = false;
  bool m_invalid = false;
};

}  // namespace ardunex::codec
