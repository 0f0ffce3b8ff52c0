// SPDX-License-Identifier: GPL-2.0-or-later
// MD5 digests (RFC 1321) of test outputs, so that tables of them can be checked with md5sum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ardunex::test {

/// The MD5 digest of size bytes at data, as 32 lower-case hexadecimal digits.
std::string md5Hex(const std::uint8_t* data, std::size_t size);

}  // namespace ardunex::test
