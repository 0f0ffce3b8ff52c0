// SPDX-License-Identifier: GPL-2.0-or-later
// Runs ardunex-cli and other command-line programs from tests through the shell.
#include "support/cli_runner.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <cstdlib>

#include "base/file_io.h"

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

#ifdef _WIN32
namespace {

// One argument of a Windows command line, quoted so that the C runtime's and CommandLineToArgvW's
// parsing give it back unchanged: backslashes double only before a quote.
std::wstring windowsArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
    return arg;
  std::wstring quotedArg = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quotedArg.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quotedArg += c;
  }
  quotedArg.append(2 * backslashes, L'\\');
  return quotedArg + L"\"";
}

HANDLE inheritableFile(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(widen(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

// Windows: the program is started directly (no shell), its arguments quoted by the runtime's rules.
CliResult runProgram(const TempDir& dir, const std::string& program, const std::vector<std::string>& args) {
  std::wstring commandLine = windowsArgument(widen(program));
  for (const std::string& arg : args)
    commandLine += L" " + windowsArgument(widen(arg));
  HANDLE out = inheritableFile(dir.file("stdout.txt"), GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = inheritableFile(dir.file("stderr.txt"), GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE in = inheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  CliResult result;
  if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code))
      result.status = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  for (HANDLE handle : {out, err, in})
    if (handle != INVALID_HANDLE_VALUE)
      ::CloseHandle(handle);
  result.out = readText(dir.file("stdout.txt"));
  result.err = readText(dir.file("stderr.txt"));
  return result;
}
#else
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

#endif

CliResult runCli(const TempDir& dir, const std::vector<std::string>& args) {
  return runProgram(dir, ARDUNEX_CLI_PATH, args);
}

bool programOnPath(const std::string& name) {
#ifdef _WIN32
  return ::SearchPathW(nullptr, widen(name).c_str(), L".exe", 0, nullptr, nullptr) != 0;
#else
  return std::system(("command -v " + quoted(name) + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

}  // namespace ardunex::test
