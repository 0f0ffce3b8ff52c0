// Messages of the core's failures.
#include "engine/errors.h"

#include <cstring>

namespace ardunex {

OpenError::OpenError(std::string_view path, std::string_view reason)
  : Error("Cannot open file \"" + std::string(path) + "\". " + std::string(reason)) {}

CreateError::CreateError(std::string_view path, std::string_view reason)
  : Error("Cannot create file \"" + std::string(path) + "\". " + std::string(reason)) {}

StreamWriteError::StreamWriteError() : Error("Stream write error") {}

StreamReadError::StreamReadError() : Error("Stream read error") {}

ConvertError::ConvertError(std::string_view text)
  : Error("'" + std::string(text) + "' is not a valid integer value") {}

std::string systemReason(int errorNumber) {
  return std::strerror(errorNumber);
}

std::string reportText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
    text += '.';
  return text;
}

}  // namespace ardunex
