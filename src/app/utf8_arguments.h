// SPDX-License-Identifier: GPL-2.0-or-later
// The command line as UTF-8 on every system: Windows hands it to a program as UTF-16.
#pragma once

#include <string>
#include <vector>

namespace ardunex {

/// Holds the program's arguments as UTF-8 for as long as it lives. On Windows the constructor points
/// argv at the UTF-8 form of the wide command line (the narrow one loses every character outside the
/// legacy code page) and makes the console show UTF-8 output; elsewhere it leaves both alone.
class Utf8Arguments {
 public:
  Utf8Arguments(int& argc, char**& argv);
  Utf8Arguments(const Utf8Arguments&) = delete;
  Utf8Arguments& operator=(const Utf8Arguments&) = delete;

 private:
  std::vector<std::string> m_arguments;
  std::vector<char*> m_pointers;
};

}  // namespace ardunex
