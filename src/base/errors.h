// SPDX-License-Identifier: GPL-2.0-or-later
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

/// An append, flush or close of an output file failed: Cannot write file "path". reason
class StreamWriteError : public Error {
 public:
  StreamWriteError(std::string_view path, std::string_view reason);
};

/// A read failed or delivered nothing before the end of the file: Cannot read file "path". reason
class StreamReadError : public Error {
 public:
  StreamReadError(std::string_view path, std::string_view reason);
};

/// An output folder could not be made: Cannot create folder "path". reason
class FolderError : public Error {
 public:
  FolderError(std::string_view path, std::string_view reason);
};

/// The reason given when a file delivers nothing before its size is reached (a failing medium).
inline constexpr const char* ENDS_BEFORE_ITS_SIZE = "Nothing more could be read, although the file goes on";

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
