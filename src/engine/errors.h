// The failures that reach the user, each carrying the message the user reads.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace ardunex {

/// Base of every failure the core reports; what() is the text shown to the user.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A file could not be opened for reading: Cannot open file "path". reason
class OpenError : public Error {
 public:
  OpenError(std::string_view path, std::string_view reason);
};

/// An output file could not be created: Cannot create file "path". reason
class CreateError : public Error {
 public:
  CreateError(std::string_view path, std::string_view reason);
};

/// An append, flush or close of an output file failed.
class StreamWriteError : public Error {
 public:
  StreamWriteError();
};

/// A read failed or delivered nothing before the end of the file.
class StreamReadError : public Error {
 public:
  StreamReadError();
};

/// A text that should be an integer is not: 'text' is not a valid integer value
class ConvertError : public Error {
 public:
  explicit ConvertError(std::string_view text);
};

/// The system's text for an errno value.
std::string systemReason(int errorNumber);

/// The text an error report shows: the message, with a full stop added when its last character sorts after ".".
std::string reportText(std::string_view message);

}  // namespace ardunex
