// SPDX-License-Identifier: GPL-2.0-or-later
// Child processes: posix_spawn, a non-blocking pipe and waitpid on POSIX; CreateProcessW, an anonymous pipe
// asked with PeekNamedPipe and the process handle on Windows.
#include "jobs/child_process.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>

#include "base/ascii_text.h"
#include "base/errors.h"
#include "base/file_io.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace ardunex {
namespace {

// What one read() takes at most, so that a child that prints without pause still lets the caller tick.
constexpr std::size_t READ_CHUNK = 65536;

#ifdef _WIN32

std::string windowsReason(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = length > 0 ? narrow(std::wstring_view(text, length)) : "error " + std::to_string(error);
  ::LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
    reason.pop_back();
  return reason;
}

// One argument as the C runtime of the child splits its command line again: quoted when it holds blanks or
// quotes, with backslashes doubled only where they come before a quote.
void appendArgument(std::wstring& line, const std::wstring& arg) {
  if (!line.empty())
    line += L' ';
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

#else

ChildExit exitOf(int raw) {
  if (WIFEXITED(raw))
    return ChildExit{WEXITSTATUS(raw), 0};
  return ChildExit{-1, WIFSIGNALED(raw) ? WTERMSIG(raw) : 0};
}

#endif

}  // namespace

#ifdef _WIN32

std::optional<ChildProcess> ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                                                std::string& reason) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    reason = windowsReason(::GetLastError());
    return std::nullopt;
  }
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul =
      ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

  // Only the child's own three handles are inherited, never the files this program has open.
  std::array<HANDLE, 2> handles{writeEnd, nul};
  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> attributes(size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
  bool ok = ::InitializeProcThreadAttributeList(list, 1, 0, &size) &&
            ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                        (nul == INVALID_HANDLE_VALUE ? 1 : 2) * sizeof(HANDLE), nullptr, nullptr);

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = nul;
  startup.StartupInfo.hStdOutput = writeEnd;
  startup.StartupInfo.hStdError = writeEnd;
  startup.lpAttributeList = list;
  std::wstring line;
  appendArgument(line, widen(program));
  for (const std::string& arg : args)
    appendArgument(line, widen(arg));
  PROCESS_INFORMATION info{};
  ok = ok && ::CreateProcessW(widen(program).c_str(), line.data(), nullptr, nullptr, TRUE,
                              CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                              nullptr, &startup.StartupInfo, &info);
  const DWORD error = ::GetLastError();
  ::DeleteProcThreadAttributeList(list);
  ::CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE)
    ::CloseHandle(nul);
  if (!ok) {
    ::CloseHandle(readEnd);
    reason = windowsReason(error);
    return std::nullopt;
  }
  ::CloseHandle(info.hThread);
  ChildProcess child;
  child.m_process = info.hProcess;
  child.m_output = readEnd;
  return child;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_process(other.m_process), m_output(other.m_output), m_finished(other.m_finished), m_exit(other.m_exit) {
  other.m_process = nullptr;
  other.m_output = nullptr;
}

void ChildProcess::release() {
  if (m_process != nullptr) {
    kill();
    ::CloseHandle(m_process);
    m_process = nullptr;
  }
  if (m_output != nullptr) {
    ::CloseHandle(m_output);
    m_output = nullptr;
  }
}

bool ChildProcess::read(std::string& text, std::chrono::milliseconds timeout) {
  if (m_output == nullptr)
    return false;
  // An anonymous pipe cannot be waited on: ask it what it holds, and sleep a little between the questions.
  constexpr DWORD PAUSE_MS = 10;
  auto left = timeout.count();
  for (;;) {
    DWORD available = 0;
    if (!::PeekNamedPipe(m_output, nullptr, 0, nullptr, &available, nullptr)) {
      ::CloseHandle(m_output);  // the end of the output: every writer has closed it
      m_output = nullptr;
      return false;
    }
    if (available > 0) {
      const std::size_t old = text.size();
      text.resize(old + std::min<std::size_t>(available, READ_CHUNK));
      DWORD got = 0;
      if (!::ReadFile(m_output, text.data() + old, static_cast<DWORD>(text.size() - old), &got, nullptr))
        got = 0;
      text.resize(old + got);
      return true;
    }
    if (left <= 0)
      return true;
    ::Sleep(PAUSE_MS);
    left -= PAUSE_MS;
  }
}

bool ChildProcess::finished() {
  if (m_finished)
    return true;
  if (m_process == nullptr || ::WaitForSingleObject(m_process, 0) != WAIT_OBJECT_0)
    return false;
  DWORD code = 0;
  ::GetExitCodeProcess(m_process, &code);
  m_exit = ChildExit{static_cast<int>(code), 0};
  m_finished = true;
  return true;
}

void ChildProcess::terminate() {
  constexpr UINT TERMINATED = 255;
  if (!finished())
    ::TerminateProcess(m_process, TERMINATED);
}

void ChildProcess::kill() {
  if (m_process == nullptr || finished())
    return;
  terminate();
  ::WaitForSingleObject(m_process, INFINITE);
  finished();
}

std::optional<FileStamp> fileStamp(const std::string& path) {
  // The time of the last write to 100 ns, where stat gives whole seconds.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  constexpr long long NS_PER_TICK = 100;
  const auto join = [](DWORD high, DWORD low) { return static_cast<long long>(high) << 32 | low; };
  return FileStamp{0, 0, join(data.nFileSizeHigh, data.nFileSizeLow),
                   join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime) * NS_PER_TICK};
}

bool removeFile(const std::string& path) { return ::_wunlink(widen(path).c_str()) == 0 || errno == ENOENT; }

std::optional<std::string> environmentValue(const char* name) {
  const wchar_t* value = ::_wgetenv(widen(name).c_str());
  if (value == nullptr)
    return std::nullopt;
  return narrow(value);
}

bool isExecutableFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

#else

std::optional<ChildProcess> ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                                                std::string& reason) {
  std::array<int, 2> pipe{-1, -1};
  if (::pipe(pipe.data()) != 0) {
    reason = systemReason(errno);
    return std::nullopt;
  }
  // Neither end leaks into other children; the child gets the write end as its standard output and error.
  for (const int fd : pipe)
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  ::fcntl(pipe[0], F_SETFL, ::fcntl(pipe[0], F_GETFL) | O_NONBLOCK);

  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, pipe[1], STDERR_FILENO);
  // The signals this program catches or ignores (Ctrl-C, a closed pipe, the file-size limit) take their
  // usual effect in the child again, and none is blocked.
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  sigset_t signals;
  ::sigemptyset(&signals);
  ::posix_spawnattr_setsigmask(&attributes, &signals);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ})
    ::sigaddset(&signals, signal);
  ::posix_spawnattr_setsigdefault(&attributes, &signals);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> parent;
  for (char** entry = environ; *entry != nullptr; ++entry)
    parent.emplace_back(*entry);
  std::vector<std::string> environment = childEnvironment(parent);
  std::vector<char*> envp;
  envp.reserve(environment.size() + 1);
  for (std::string& entry : environment)
    envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attributes);
  ::close(pipe[1]);
  if (error != 0) {
    ::close(pipe[0]);
    reason = systemReason(error);
    return std::nullopt;
  }
  ChildProcess child;
  child.m_pid = pid;
  child.m_output = pipe[0];
  return child;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(other.m_pid), m_output(other.m_output), m_finished(other.m_finished), m_exit(other.m_exit) {
  other.m_pid = -1;
  other.m_output = -1;
}

void ChildProcess::release() {
  if (m_pid > 0) {
    kill();
    m_pid = -1;
  }
  if (m_output >= 0) {
    ::close(m_output);
    m_output = -1;
  }
}

bool ChildProcess::read(std::string& text, std::chrono::milliseconds timeout) {
  if (m_output < 0)
    return false;
  pollfd ready{m_output, POLLIN, 0};
  const int count = ::poll(&ready, 1, static_cast<int>(timeout.count()));
  if (count <= 0)
    return true;  // nothing yet, or a signal came first
  std::array<char, READ_CHUNK> buffer{};
  for (std::size_t taken = 0; taken < READ_CHUNK;) {
    const ssize_t got = ::read(m_output, buffer.data(), buffer.size() - taken);
    if (got > 0) {
      text.append(buffer.data(), static_cast<std::size_t>(got));
      taken += static_cast<std::size_t>(got);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return true;
    } else {
      ::close(m_output);  // the end of the output, or a pipe that cannot be read any more
      m_output = -1;
      return false;
    }
  }
  return true;
}

bool ChildProcess::finished() {
  if (m_finished)
    return true;
  if (m_pid <= 0)
    return false;
  int raw = 0;
  const pid_t done = ::waitpid(m_pid, &raw, WNOHANG);
  if (done == 0 || (done < 0 && errno == EINTR))
    return false;
  m_exit = done == m_pid ? exitOf(raw) : ChildExit{};
  m_finished = true;
  return true;
}

void ChildProcess::terminate() {
  if (!finished())
    ::kill(m_pid, SIGTERM);
}

void ChildProcess::kill() {
  if (m_pid <= 0 || finished())
    return;
  ::kill(m_pid, SIGKILL);
  int raw = 0;
  pid_t done = -1;
  while ((done = ::waitpid(m_pid, &raw, 0)) < 0 && errno == EINTR) {
  }
  m_exit = done == m_pid ? exitOf(raw) : ChildExit{};
  m_finished = true;
}

std::optional<FileStamp> fileStamp(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return std::nullopt;
  constexpr long long NS_PER_S = 1'000'000'000;
  return FileStamp{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
                   static_cast<long long>(st.st_size),
                   static_cast<long long>(st.st_mtim.tv_sec) * NS_PER_S + st.st_mtim.tv_nsec};
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

std::optional<std::string> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr)
    return std::nullopt;
  return std::string(value);
}

bool isExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

#endif

ChildProcess::~ChildProcess() { release(); }

std::vector<std::string> childEnvironment(const std::vector<std::string>& parent) {
  const auto valueOf = [&parent](std::string_view name) -> std::string_view {
    for (const std::string& entry : parent)
      if (entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=')
        return std::string_view(entry).substr(name.size() + 1);
    return {};
  };
  std::string_view locale = valueOf("LC_ALL");
  if (locale.empty())
    locale = valueOf("LC_CTYPE");
  if (locale.empty())
    locale = valueOf("LANG");
  const std::string folded = asciiUpper(locale);
  if (contains(folded, "UTF-8") || contains(folded, "UTF8"))
    return parent;
  std::vector<std::string> environment;
  for (const std::string& entry : parent)
    if (!entry.starts_with("LC_ALL="))
      environment.push_back(entry);
  environment.emplace_back("LC_ALL=C.UTF-8");
  return environment;
}

}  // namespace ardunex
