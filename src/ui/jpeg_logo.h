// SPDX-License-Identifier: GPL-2.0-or-later
// Decoding of the window's JPEG logo with libjpeg.
#pragma once

#include <QImage>
#include <cstddef>

namespace ardunex {

/// Decodes a JPEG picture held in memory; a null image when the data is not a JPEG libjpeg can read.
QImage decodeJpeg(const unsigned char* data, std::size_t size);

}  // namespace ardunex
