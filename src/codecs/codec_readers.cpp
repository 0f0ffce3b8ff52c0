// SPDX-License-Identifier: GPL-2.0-or-later
// What the header readers share: fractions, unescaped units, start codes and confirmed frames.
#include "codecs/codec_readers.h"

#include <numeric>

namespace ardunex::codec {

std::string fraction(std::int64_t num, std::int64_t den) {
  const std::int64_t g = std::gcd(num, den);
  return std::to_string(num / g) + "/" + std::to_string(den / g);
}

void unescape(const std::uint8_t* from, const std::uint8_t* end, Unescaped& out) {
  int zeros = 0;
  out.size = 0;
  out.cut = false;
  for (const std::uint8_t* p = from; p < end; ++p) {
    const std::uint8_t b = *p;
    if (zeros >= 2) {
      if (b == 3) {  // emulation_prevention_three_byte
        zeros = 0;
        continue;
      }
      if (b <= 2)  // the next start code (or bytes no unit holds)
        return;
    }
    if (out.size == out.bytes.size())
      return;
    out.bytes[out.size++] = b;
    zeros = b == 0 ? zeros + 1 : 0;
  }
  out.cut = true;
}

std::size_t nextStartCode(Bytes d, std::size_t from) {
  for (std::size_t i = from; i + 3 <= d.size();) {
    if (d[i + 2] > 1)
      i += 3;
    else if (d[i + 2] == 1 && d[i + 1] == 0 && d[i] == 0)
      return i;
    else
      ++i;
  }
  return d.size();
}

Hit confirm(Bytes d, std::size_t p, std::size_t frameBytes, bool (*syncAt)(Bytes, std::size_t)) {
  if (p == 0)
    return Hit::Found;
  if (p + frameBytes + 4 > d.size())
    return Hit::NeedMore;
  return syncAt(d, p + frameBytes) ? Hit::Found : Hit::No;
}

}  // namespace ardunex::codec
