// SPDX-License-Identifier: GPL-2.0-or-later
// Where the files of a demux go and what they are called, from the path fields and the Options page.
#pragma once

#include <string>

namespace ardunex {

/// The beginning of every output name of a demux, as the log shows it: the output folder, with a separator
/// added when it has none, then the EVO file's base name; the base name alone when there is no folder.
std::string outputBase(const std::string& workdir, const std::string& evoBase);

/// What goes before an output name on disk: without an output folder the EVO file's own folder, so that
/// relative names land beside the EVO file rather than wherever the process happens to be; else nothing.
std::string createBase(const std::string& workdir, const std::string& evoPath);

/// An output file name: base, ".", the box's caption, ".", the extension as typed. A caption may come from an
/// untrusted playlist: a path separator in it becomes "_", so that no name leaves the output folder, and its
/// bytes that are not UTF-8 are replaced as in the log and the option file.
std::string outputName(const std::string& base, const std::string& caption, const std::string& ext);

/// Whether an EVO file name is the first part of a two-part feature: it ends in "_1.EVO" exactly.
bool isFirstPart(const std::string& evoName);

/// The second part of a feature: the EVO file's path less its last 5 characters, then "2.EVO".
std::string secondPart(const std::string& evoPath);

}  // namespace ardunex
