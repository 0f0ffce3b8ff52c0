// SPDX-License-Identifier: GPL-2.0-or-later
// The manual pages against the programs' --help: the same options, the same version.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "support/cli_runner.h"
#include "support/ps_builder.h"

namespace ardunex::test {
namespace {

/// The option names a text mentions: "-s", "--video-ext" and the like, each at the start of a word.
std::set<std::string> optionNames(const std::string& text) {
  static const std::regex option(R"((^|[\s,/(\[])(--?[A-Za-z][A-Za-z0-9-]*))");
  std::set<std::string> names;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it) {
    const std::string name = (*it)[2];
    // A single dash takes one letter ("-o"); longer single-dash words are the toolkit's or plain text.
    if (name.rfind("--", 0) == 0 || name.size() == 2)
      names.insert(name);
  }
  return names;
}

/// A manual page's text with the roff escapes of a dash undone; its comment lines left out.
std::string manText(const std::string& path) {
  std::string text;
  for (const std::string& line : lines(readText(path)))
    if (line.rfind(".\\\"", 0) != 0)
      text += line + "\n";
  return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

struct Program {
  const char* name;
  std::vector<std::string> command;  // the program and what goes before --help
};

TEST(ManPages, ListTheOptionsOfHelpAndTheVersion) {
  std::vector<Program> programs{{"ardunex-cli", {ARDUNEX_CLI_PATH}}};
#ifdef ARDUNEX_GUI_PATH
  programs.push_back({"ardunex", {"env", "QT_QPA_PLATFORM=offscreen", ARDUNEX_GUI_PATH}});
#endif
  for (const Program& program : programs) {
    TempDir dir;
    std::vector<std::string> args(program.command.begin() + 1, program.command.end());
    args.push_back("--help");
    const CliResult help = runProgram(dir, program.command.front(), args);
    ASSERT_EQ(0, help.status) << program.name << help.err;
    const std::string page = manText(std::string(ARDUNEX_MAN_DIR) + "/" + program.name + ".1");
    ASSERT_FALSE(page.empty()) << program.name;
    const std::set<std::string> inHelp = optionNames(help.out);
    EXPECT_GE(inHelp.size(), 2u) << help.out;
    EXPECT_EQ(inHelp, optionNames(page)) << program.name << ": the manual page and --help differ";
    EXPECT_NE(page.find("\"ardunex " ARDUNEX_VERSION "\""), std::string::npos) << program.name;
  }
}

}  // namespace
}  // namespace ardunex::test
