// SPDX-License-Identifier: GPL-2.0-or-later
// Keeps a second job from starting while one runs.
#pragma once

#include "base/window.h"
#include "jobs/session.h"

namespace ardunex {

/// Keeps a second job from starting while one runs: the job commands, the file choosing and the Options
/// page are unavailable until the scope ends, then restored (the job itself decides about its own button).
class JobScope {
 public:
  explicit JobScope(Session& session) : m_session(session), m_window(session.m_window) {
    m_readEvo = m_window.buttonEnabled(Button::ReadEvo);
    m_readXpl = m_window.buttonEnabled(Button::ReadXpl);
    m_session.m_jobRunning = true;
    for (Button button :
         {Button::ReadEvo, Button::ReadXpl, Button::Demux, Button::BrowseEvo, Button::BrowseXpl, Button::BrowseDisc})
      m_window.setButtonEnabled(button, false);
    m_window.setOptionsEnabled(false);  // the job has read them
  }
  ~JobScope() {
    m_session.m_jobRunning = false;
    m_window.setOptionsEnabled(true);
    m_window.setButtonEnabled(Button::BrowseEvo, true);
    m_window.setButtonEnabled(Button::BrowseXpl, true);
    m_window.setButtonEnabled(Button::BrowseDisc, true);
    m_window.setButtonEnabled(Button::ReadEvo, m_readEvo);
    m_window.setButtonEnabled(Button::ReadXpl, m_readXpl);
    if (m_demux == DemuxAfter::Rule)
      m_session.cbVideoClick();
    else
      m_window.setButtonEnabled(Button::Demux, m_demux == DemuxAfter::Enabled);
  }
  JobScope(const JobScope&) = delete;
  JobScope& operator=(const JobScope&) = delete;

  enum class DemuxAfter { Rule, Enabled, Disabled };
  void readEvoAfter(bool enabled) { m_readEvo = enabled; }
  void readXplAfter(bool enabled) { m_readXpl = enabled; }
  void demuxAfter(DemuxAfter after) { m_demux = after; }

 private:
  Session& m_session;
  Window& m_window;
  bool m_readEvo = false;
  bool m_readXpl = false;
  DemuxAfter m_demux = DemuxAfter::Rule;
};

}  // namespace ardunex
