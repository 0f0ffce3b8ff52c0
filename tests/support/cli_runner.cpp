// Runs ardunex-cli and other command-line programs from tests through the shell.
#include "support/cli_runner.h"

#include <sys/wait.h>

#include <cstdlib>

namespace ardunex::test {

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text)
    result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

std::string readText(const std::string& path) {
  if (!fileExists(path))
    return {};
  const Bytes bytes = readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    result.push_back(text.substr(at, end - at));
    if (end == std::string::npos)
      break;
    at = end + 1;
  }
  return result;
}

CliResult runProgram(const TempDir& dir, const std::string& program, const std::vector<std::string>& args) {
  std::string command = quoted(program);
  for (const std::string& arg : args)
    command += " " + quoted(arg);
  command += " >" + quoted(dir.file("stdout.txt")) + " 2>" + quoted(dir.file("stderr.txt")) + " </dev/null";
  CliResult result;
  const int raw = std::system(command.c_str());
  result.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = readText(dir.file("stdout.txt"));
  result.err = readText(dir.file("stderr.txt"));
  return result;
}

CliResult runCli(const TempDir& dir, const std::vector<std::string>& args) {
  return runProgram(dir, ARDUNEX_CLI_PATH, args);
}

bool programOnPath(const std::string& name) {
  return std::system(("command -v " + quoted(name) + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace ardunex::test
