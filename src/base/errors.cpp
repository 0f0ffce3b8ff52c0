// SPDX-License-Identifier: GPL-2.0-or-later
// Messages of the core's failures.
#include "base/errors.h"

#include <cstring>
#include <initializer_list>

namespace ardunex {
namespace {

std::string join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts)
    text += part;
  return text;
}

}  // namespace

OpenError::OpenError(std::string_view path, std::string_view reason)
    : Error(join({"Cannot open file \"", path, "\". ", reason})) {}

CreateError::CreateError(std::string_view path, std::string_view reason)
    : Error(join({"Cannot create file \"", path, "\". ", reason})) {}

StreamWriteError::StreamWriteError(std::string_view path, std::string_view reason)
    : Error(join({"Cannot write file \"", path, "\". ", reason})) {}

StreamReadError::StreamReadError(std::string_view path, std::string_view reason)
    : Error(join({"Cannot read file \"", path, "\". ", reason})) {}

FolderError::FolderError(std::string_view path, std::string_view reason)
    : Error(join({"Cannot create folder \"", path, "\". ", reason})) {}

ConvertError::ConvertError(std::string_view text) : Error(join({"'", text, "' is not a valid integer value"})) {}

std::string systemReason(int errorNumber) { return std::strerror(errorNumber); }

std::string reportText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
    text += '.';
  return text;
}

}  // namespace ardunex
