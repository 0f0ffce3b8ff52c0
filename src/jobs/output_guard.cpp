// The demux's check of output names against its inputs and against each other.
#include "jobs/output_guard.h"

#include "engine/errors.h"

namespace ardunex {

const OutputGuard::Known* OutputGuard::find(const std::vector<Known>& files, const std::string& path) const {
  const std::optional<FileIdentity> identity = m_fileSystem.identity(path);
  for (const Known& file : files)
    if (file.path == path || (identity && file.identity == identity))
      return &file;
  return nullptr;
}

void OutputGuard::addInput(const std::string& path, const char* reason) {
  m_inputs.push_back(Known{path, m_fileSystem.identity(path), reason});
}

void OutputGuard::refuseInput(const std::string& path) const {
  if (const Known* input = find(m_inputs, path))
    throw CreateError(path, input->reason);
}

std::unique_ptr<OutputFile> OutputGuard::create(const std::string& path) {
  // Opened for writing twice, the second create would empty what the first wrote and both would write
  // into one file; the file is taken by the first.
  refuseInput(path);
  if (find(m_outputs, path) != nullptr)
    throw CreateError(path, IS_OUTPUT_ALREADY);
  std::unique_ptr<OutputFile> file = m_fileSystem.create(path);
  m_outputs.push_back(Known{path, m_fileSystem.identity(path), IS_OUTPUT_ALREADY});
  return file;
}

void OutputGuard::refuseOutput(const std::string& path) const {
  if (find(m_outputs, path) != nullptr)
    throw OpenError(path, IS_OUTPUT_ALREADY);
}

}  // namespace ardunex
