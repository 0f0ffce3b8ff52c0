// SPDX-License-Identifier: GPL-2.0-or-later
// Decoding of the window's JPEG logo with libjpeg, straight from memory into an RGB image.
#include "ui/jpeg_logo.h"

#include <csetjmp>

// jpeglib.h uses FILE and size_t without including their headers, which only some systems forgive.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

namespace ardunex {
namespace {

/// Largest side accepted: the logo is small, and a damaged header must not make us allocate without bound.
constexpr JDIMENSION MAX_SIDE = 4096;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

/// libjpeg's default would end the process; jump back to the decoder instead.
[[noreturn]] void errorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }

void silentMessage(j_common_ptr) {}

struct Decoder {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  QImage image;
};

// Everything that changes between setjmp and a jump lives in the caller's Decoder, not in locals here,
// and nothing with a destructor is created in this function.
bool decodeInto(Decoder& d, const unsigned char* data, std::size_t size) {
  d.cinfo.err = jpeg_std_error(&d.err.pub);
  d.err.pub.error_exit = errorExit;
  d.err.pub.output_message = silentMessage;
  jpeg_create_decompress(&d.cinfo);
  if (setjmp(d.err.jump))
    return false;
  jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK)
    return false;
  if (d.cinfo.image_width == 0 || d.cinfo.image_height == 0 || d.cinfo.image_width > MAX_SIDE ||
      d.cinfo.image_height > MAX_SIDE)
    return false;
  d.cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d.cinfo);
  d.image =
      QImage(static_cast<int>(d.cinfo.output_width), static_cast<int>(d.cinfo.output_height), QImage::Format_RGB888);
  if (d.image.isNull())
    return false;
  while (d.cinfo.output_scanline < d.cinfo.output_height) {
    JSAMPROW row = d.image.scanLine(static_cast<int>(d.cinfo.output_scanline));
    if (jpeg_read_scanlines(&d.cinfo, &row, 1) != 1)
      return false;
  }
  jpeg_finish_decompress(&d.cinfo);
  return true;
}

}  // namespace

QImage decodeJpeg(const unsigned char* data, std::size_t size) {
  if (data == nullptr || size == 0)
    return {};
  Decoder decoder;
  const bool ok = decodeInto(decoder, data, size);
  jpeg_destroy_decompress(&decoder.cinfo);
  return ok ? decoder.image : QImage();
}

}  // namespace ardunex
