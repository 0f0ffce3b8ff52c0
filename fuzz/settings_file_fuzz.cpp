// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: the settings file parser on arbitrary bytes, and the round trip of whatever it accepts.
//
// A parsed file written out must parse again to the same keys and values, and writing that gives the same text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "replay_main.h"
#include "settings/reg_file.h"

namespace {

using namespace ardunex;

[[noreturn]] void crash(const char* what) {
  std::fprintf(stderr, "settings_file_fuzz: %s\n", what);
  std::abort();
}

bool sameFile(const RegFile& a, const RegFile& b) {
  if (a.keys.size() != b.keys.size())
    return false;
  for (std::size_t k = 0; k < a.keys.size(); ++k) {
    const RegFileKey& x = a.keys[k];
    const RegFileKey& y = b.keys[k];
    if (x.path != y.path || x.values.size() != y.values.size())
      return false;
    for (std::size_t v = 0; v < x.values.size(); ++v)
      if (x.values[v].name != y.values[v].name || x.values[v].value != y.values[v].value)
        return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<RegFile> file = RegFile::parse(bytes);
  if (!file)
    return 0;
  for (const RegFileKey& key : file->keys)
    if (key.path.empty() || key.path.front() == '-')
      crash("parsed a key path that cannot be written");

  const std::string text = file->format();
  const std::optional<RegFile> again = RegFile::parse(text);
  if (!again)
    crash("the written file does not parse");
  if (!sameFile(*file, *again))
    crash("the written file parses to other keys or values");
  if (again->format() != text)
    crash("writing the file again gives another text");
  return 0;
}
