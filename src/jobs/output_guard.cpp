// SPDX-License-Identifier: GPL-2.0-or-later
// The demux's check of output names against its inputs and against each other.
#include "jobs/output_guard.h"

#include "base/errors.h"

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

void OutputGuard::reserve(const std::string& path) {
  refuseInput(path);
  if (find(m_outputs, path) != nullptr)
    throw CreateError(path, IS_OUTPUT_ALREADY);
  m_outputs.push_back(Known{path, m_fileSystem.identity(path), IS_OUTPUT_ALREADY});
}

void OutputGuard::checkReserved() const {
  for (const Known& output : m_outputs)
    if (!output.created)
      m_fileSystem.checkCreate(output.path);
}

std::unique_ptr<OutputFile> OutputGuard::create(const std::string& path) {
  // Opened for writing twice, the second create would empty what the first wrote and both would write
  // into one file; the file is taken by the first. Two names of a file that did not exist when they were
  // taken are told apart only now, by the identity the first create gave it.
  refuseInput(path);
  const std::optional<FileIdentity> identity = m_fileSystem.identity(path);
  std::size_t own = m_outputs.size();
  for (std::size_t k = 0; k < m_outputs.size(); ++k) {
    const Known& output = m_outputs[k];
    if (output.path == path && !output.created && own == m_outputs.size())
      own = k;
    else if (output.path == path || (identity && output.identity == identity))
      throw CreateError(path, IS_OUTPUT_ALREADY);
  }
  std::unique_ptr<OutputFile> file = m_fileSystem.create(path);
  if (own == m_outputs.size())
    m_outputs.push_back(Known{path, std::nullopt, IS_OUTPUT_ALREADY});
  m_outputs[own].identity = m_fileSystem.identity(path);
  m_outputs[own].created = true;
  return file;
}

void OutputGuard::refuseOutput(const std::string& path) const {
  if (find(m_outputs, path) != nullptr)
    throw OpenError(path, IS_OUTPUT_ALREADY);
}

}  // namespace ardunex
