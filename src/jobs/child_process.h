// SPDX-License-Identifier: GPL-2.0-or-later
// Another program run as a child of this one: started without a shell, its output read without blocking,
// and ended on request, so that a single-threaded window stays live while it runs.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace ardunex {

/// How a child ended: its exit status, or the signal that ended it (POSIX only).
struct ChildExit {
  int status = -1;
  int signal = 0;
  bool operator==(const ChildExit&) const = default;
};

/// A running program whose standard input is empty and whose standard output and error are read together
/// through one pipe. The destructor kills a child that is still running and waits for it, so no child
/// outlives its owner unreaped.
class ChildProcess {
 public:
  /// Starts program (a path; no search, no shell) with args, each passed as it is. On failure returns
  /// nothing and sets reason to the system's text.
  static std::optional<ChildProcess> start(const std::string& program, const std::vector<std::string>& args,
                                           std::string& reason);

  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&&) = delete;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  /// Waits at most timeout for output and appends what has arrived to text. Returns false once the output
  /// has ended (the child closed it, normally by exiting).
  bool read(std::string& text, std::chrono::milliseconds timeout);
  /// Whether the child has ended; reaps it and keeps its exit the first time.
  bool finished();
  /// The child's exit, once finished() said so.
  const ChildExit& exit() const { return m_exit; }
  /// Asks the child to end (SIGTERM; Windows has no such request and ends it at once).
  void terminate();
  /// Ends the child at once (SIGKILL) and waits for it.
  void kill();

 private:
  ChildProcess() = default;
  void release();

#ifdef _WIN32
  void* m_process = nullptr;
  void* m_output = nullptr;
#else
  int m_pid = -1;
  int m_output = -1;
#endif
  bool m_finished = false;
  ChildExit m_exit;
};

/// The file's stamp (identity, size, time of change), to tell whether a run of a child wrote to it;
/// nothing when there is no such file.
struct FileStamp {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  long long size = 0;
  long long changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> fileStamp(const std::string& path);
/// Removes a file; true when it is gone.
bool removeFile(const std::string& path);

/// The environment a child starts with, made from this process's: the paths and text handed to a child are
/// UTF-8, so when the locale the environment names (LC_ALL, else LC_CTYPE, else LANG) is not a UTF-8 one, as
/// under "C" or with none set, the child gets LC_ALL=C.UTF-8 in its place. Otherwise it is unchanged.
std::vector<std::string> childEnvironment(const std::vector<std::string>& parent);

/// The value of an environment variable as UTF-8, nothing when it is not set.
std::optional<std::string> environmentValue(const char* name);
/// Whether path names a regular file this process may run.
bool isExecutableFile(const std::string& path);

}  // namespace ardunex
