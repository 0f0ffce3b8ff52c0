// SPDX-License-Identifier: GPL-2.0-or-later
// Windows: the wide command line converted to UTF-8 arguments; other systems pass theirs through.
#include "app/utf8_arguments.h"

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs the types of windows.h before it.
#include <shellapi.h>

#include "base/file_io.h"
#endif

namespace ardunex {

#ifdef _WIN32
Utf8Arguments::Utf8Arguments(int& argc, char**& argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr)
    return;  // keep the narrow arguments rather than none
  for (int i = 0; i < count; ++i)
    m_arguments.push_back(narrow(wide[i]));
  ::LocalFree(wide);
  for (std::string& argument : m_arguments)
    m_pointers.push_back(argument.data());
  m_pointers.push_back(nullptr);
  argc = count;
  argv = m_pointers.data();
  // Log lines carry file names and playlist texts in UTF-8.
  ::SetConsoleOutputCP(CP_UTF8);
}
#else
Utf8Arguments::Utf8Arguments(int&, char**&) {}
#endif

}  // namespace ardunex
