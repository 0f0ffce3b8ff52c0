// SPDX-License-Identifier: GPL-2.0-or-later
// A compact MD5: no library that has one is at hand in every build the tests run in (mingw-w64 among them).
#include "support/md5.h"

#include <array>
#include <bit>

namespace ardunex::test {
namespace {

constexpr std::array<int, 16> SHIFTS{7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

// K[i] = floor(|sin(i + 1)| * 2^32).
constexpr std::array<std::uint32_t, 64> K{
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED, 0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391,
};

void compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* block) {
  std::array<std::uint32_t, 16> m{};
  for (std::size_t i = 0; i < 16; ++i)
    m[i] = std::uint32_t{block[4 * i]} | std::uint32_t{block[4 * i + 1]} << 8 | std::uint32_t{block[4 * i + 2]} << 16 |
           std::uint32_t{block[4 * i + 3]} << 24;
  auto [a, b, c, d] = state;
  for (std::uint32_t i = 0; i < 64; ++i) {
    const std::uint32_t round = i / 16;
    const std::uint32_t f = round == 0   ? (b & c) | (~b & d)
                            : round == 1 ? (d & b) | (~d & c)
                            : round == 2 ? b ^ c ^ d
                                         : c ^ (b | ~d);
    const std::uint32_t g = round == 0   ? i
                            : round == 1 ? (5 * i + 1) % 16
                            : round == 2 ? (3 * i + 5) % 16
                                         : (7 * i) % 16;
    const std::uint32_t rotated = std::rotl(a + f + K[i] + m[g], SHIFTS[round * 4 + i % 4]);
    a = d;
    d = c;
    c = b;
    b += rotated;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

}  // namespace

std::string md5Hex(const std::uint8_t* data, std::size_t size) {
  std::array<std::uint32_t, 4> state{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
  std::size_t done = 0;
  for (; size - done >= 64; done += 64)
    compress(state, data + done);
  // The last bytes, the 0x80 marker, zeros, and the message length in bits, little-endian.
  std::array<std::uint8_t, 128> tail{};
  const std::size_t rest = size - done;
  for (std::size_t i = 0; i < rest; ++i)
    tail[i] = data[done + i];
  tail[rest] = 0x80;
  const std::size_t tailSize = rest < 56 ? 64 : 128;
  const std::uint64_t bits = static_cast<std::uint64_t>(size) * 8;
  for (std::size_t i = 0; i < 8; ++i)
    tail[tailSize - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  for (std::size_t at = 0; at < tailSize; at += 64)
    compress(state, tail.data() + at);
  static constexpr char DIGITS[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint32_t word : state)
    for (int byte = 0; byte < 4; ++byte) {
      const auto value = static_cast<std::uint8_t>(word >> (8 * byte));
      hex += DIGITS[value >> 4];
      hex += DIGITS[value & 15];
    }
  return hex;
}

}  // namespace ardunex::test
