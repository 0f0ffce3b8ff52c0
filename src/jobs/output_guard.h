// SPDX-License-Identifier: GPL-2.0-or-later
// Keeps a demux from writing into the file it reads or into one file twice.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/file_io.h"

namespace ardunex {

/// The files one demux reads and writes, by path and by identity. Every output name is taken before the
/// first file is created: one that is an input or another output of the same demux is refused with
/// CreateError, and so is one the file system would not create, so that a refused demux empties no file.
/// An input that turns out to be one of the outputs is refused with OpenError before it is opened.
class OutputGuard {
 public:
  explicit OutputGuard(FileSystem& fileSystem) : m_fileSystem(fileSystem) {}

  /// Records a file the demux reads; reason is what a refused output is told about it.
  void addInput(const std::string& path, const char* reason);
  /// Throws CreateError when path is one of the inputs.
  void refuseInput(const std::string& path) const;
  /// Takes an output name: throws CreateError when it is an input or a name already taken.
  void reserve(const std::string& path);
  /// Throws the file system's CreateError for the first name taken that could not be created.
  void checkReserved() const;
  /// Creates an output after checking that it is neither an input nor another output of this demux.
  std::unique_ptr<OutputFile> create(const std::string& path);
  /// Throws OpenError when an input about to be opened is one of the outputs created.
  void refuseOutput(const std::string& path) const;

 private:
  struct Known {
    std::string path;
    std::optional<FileIdentity> identity;
    const char* reason;
    bool created = false;
  };
  const Known* find(const std::vector<Known>& files, const std::string& path) const;

  FileSystem& m_fileSystem;
  std::vector<Known> m_inputs;
  std::vector<Known> m_outputs;
};

/// Why an output is refused: it names the EVO file, its second part or a later clip of its title, the playlist,
/// or a file already written.
inline constexpr const char* IS_EVO_FILE = "It is the EVO file being demuxed";
inline constexpr const char* IS_SECOND_PART = "It is the second part of the EVO file";
inline constexpr const char* IS_TITLE_CLIP = "It is a clip of the title being demuxed";
inline constexpr const char* IS_PLAYLIST = "It is the playlist";
inline constexpr const char* IS_OUTPUT_ALREADY = "It is already an output file of this demux";

}  // namespace ardunex
