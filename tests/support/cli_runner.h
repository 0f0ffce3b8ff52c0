// SPDX-License-Identifier: GPL-2.0-or-later
// Runs ardunex-cli and other command-line programs from tests: arguments in, exit status and output out.
#pragma once

#include <string>
#include <vector>

#include "support/ps_builder.h"

namespace ardunex::test {

/// Exit status (-1 when the program did not exit normally) and what it printed.
struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

/// text in single quotes for the shell, inner quotes escaped.
std::string quoted(const std::string& text);
/// The whole file as text (empty when it cannot be read).
std::string readText(const std::string& path);
/// text split at newlines; a final newline does not add an empty line.
std::vector<std::string> lines(const std::string& text);

/// Runs program with args through the shell, standard output and error captured through files in dir,
/// standard input from /dev/null.
CliResult runProgram(const TempDir& dir, const std::string& program, const std::vector<std::string>& args);
/// Runs the built ardunex-cli with args.
CliResult runCli(const TempDir& dir, const std::vector<std::string>& args);
/// True when the shell finds name on PATH.
bool programOnPath(const std::string& name);

}  // namespace ardunex::test
