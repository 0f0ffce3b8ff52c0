// SPDX-License-Identifier: GPL-2.0-or-later
// The title view: anchor by the EVO file's base name, trim to the title, list its tracks and chapters.
#include "xpl/xpl_title_view.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/ascii_text.h"
#include "xpl/title_cut.h"
#include "xpl/xpl_attr.h"

namespace ardunex {
namespace {

enum Root { INFO, VIDEO, AUDIO, SUBTITLE, CHAPTER };

constexpr int TRACK_COUNT = 16;  // slots per group of the stream slot table

/// Entry index (1 to 8) of a codec table; an index outside the table reads as an unfilled entry.
std::string codecOf(const std::array<std::string, 8>& table, std::int32_t index) {
  if (index < 1 || index > static_cast<std::int32_t>(table.size()))
    return {};
  return table[static_cast<std::size_t>(index - 1)];
}

/// Marks the slot of track number (1 to 16) in the group starting at firstSlot; false when the number
/// lies outside the group or the track is already listed.
bool claimTrack(StreamSlotTable& slots, int firstSlot, std::int32_t number) {
  if (number < 1 || number > TRACK_COUNT)
    return false;
  return slots.Claim(firstSlot + number - 1, StreamSlotTable::PRESENT);
}

class TitleView {
 public:
  TitleView(std::vector<std::string>& lines, const CodecTables& codecs, StreamSlotTable& slots, Window& window,
            const std::array<int, AUDIO_BOX_COUNT>* audioBoxes, XplCutValues* cut)
      : m_lines(lines), m_codecs(codecs), m_slots(slots), m_window(window), m_audioBoxes(audioBoxes), m_cut(cut) {
    for (const char* root : XPL_TREE_ROOTS)
      m_tree.push_back({root, {}});
  }
  // The tree shows what was listed on every way out, a failed conversion included.
  ~TitleView() { m_window.setXplTree(m_tree); }
  TitleView(const TitleView&) = delete;
  TitleView& operator=(const TitleView&) = delete;

  std::vector<PlaylistBoxLabel>& labels() { return m_labels; }

  void list() {
    for (const std::string& line : m_lines) {
      const std::string upper = asciiUpper(line);
      if (contains(upper, "<TITLE "))
        title(line);
      if (contains(upper, "<VIDEO "))
        video(line);
      if (contains(upper, "<AUDIO "))
        audio(line);
      if (contains(upper, "<SUBTITLE "))
        subtitle(line);
      if (contains(upper, "<CHAPTER "))
        chapter(line);
    }
  }

 private:
  void add(Root root, std::string text) { m_tree[root].children.push_back({std::move(text), {}}); }

  // A text value of a line; one too long to be read is counted.
  std::string value(const std::string& line, const char* name) {
    if (m_cut)
      m_cut->check(line, name);
    return XPLattr(line, name);
  }

  void title(const std::string& line) {
    add(INFO, "Name: " + value(line, "displayName"));
    add(INFO, "Duration: " + value(line, "titleDuration"));
  }

  void video(const std::string& line) {
    const std::int32_t track = parseInt32(XPLattr(line, "track"));
    if (!claimTrack(m_slots, StreamSlotTable::FIRST_VIDEO_SLOT, track))
      return;
    const std::string codec = codecOf(m_codecs.VideoCodecTable, parseInt32(XPLattr(line, "mediaAttr")));
    const std::string label = codec + ".stream.0";
    add(VIDEO, label);
    m_window.log(label);
    if (track == 1)
      showBox(videoBox(0), label, codec);
  }

  void audio(const std::string& line) {
    const std::int32_t stream = parseInt32(XPLattr(line, "streamNumber"));
    if (!claimTrack(m_slots, StreamSlotTable::FIRST_AUDIO_SLOT, stream))
      return;
    const std::string codec = codecOf(m_codecs.AudioCodecTable, parseInt32(XPLattr(line, "mediaAttr")));
    const std::string description = value(line, "description");
    const std::string number = std::to_string(stream - 1);
    const std::string caption = codec + ".stream." + number + "." + description;
    add(AUDIO, "Stream " + number + ": " + description + "." + codec);
    m_window.log(caption);
    const int box = m_audioBoxes ? (*m_audioBoxes)[static_cast<std::size_t>(stream - 1)] : audioBox(stream - 1);
    if (box >= 0)
      showBox(box, caption, codec);
  }

  void subtitle(const std::string& line) {
    const std::int32_t stream = parseInt32(XPLattr(line, "streamNumber"));
    if (!claimTrack(m_slots, StreamSlotTable::FIRST_SUB_SLOT, stream))
      return;
    const std::string codec = codecOf(m_codecs.SubpictureCodecTable, parseInt32(XPLattr(line, "mediaAttr")));
    const std::string label = "Stream " + std::to_string(stream - 1) + ": " + value(line, "description") + "." + codec;
    add(SUBTITLE, label);
    m_window.log(label);
    showBox(subBox(stream - 1), label, codec);
  }

  void chapter(const std::string& line) {
    add(CHAPTER, value(line, "titleTimeBegin") + ": " + value(line, "displayName"));
  }

  void showBox(int box, const std::string& caption, const std::string& codec) {
    m_labels.push_back({box, codec});
    m_window.setBoxEnabled(box, true);
    m_window.setBoxChecked(box, true);
    m_window.setBoxCaption(box, caption);
  }

  std::vector<std::string>& m_lines;
  const CodecTables& m_codecs;
  StreamSlotTable& m_slots;
  Window& m_window;
  const std::array<int, AUDIO_BOX_COUNT>* m_audioBoxes;
  XplCutValues* m_cut;
  std::vector<TreeNode> m_tree;
  std::vector<PlaylistBoxLabel> m_labels;
};

}  // namespace

bool xplTitleFound(const std::vector<std::string>& lines, const std::string& evoBase) {
  return cutTitle(lines, evoBase).has_value();
}

std::vector<PlaylistBoxLabel> showXplTitle(std::vector<std::string>& lines, const CodecTables& codecs,
                                           const std::string& evoBase, StreamSlotTable& slots, Window& window,
                                           const std::array<int, AUDIO_BOX_COUNT>* audioBoxes, XplCutValues* cut) {
  slots.Reset();
  const std::optional<TitleCut> title = cutTitle(lines, evoBase);
  if (!title)
    return {};
  // The lines from the nearest title start tag above the anchor (from line 0 without one) to the first end
  // tag below it, which may be that of the enclosing title set. A first line that holds an end tag itself
  // ends nothing.
  const std::size_t first = title->start.value_or(0);
  const std::size_t last = isTitleEnd(lines[first]) ? lines.size() - 1 : title->last;
  return showXplTitleLines(lines, first, last, codecs, slots, window, audioBoxes, cut);
}

std::vector<PlaylistBoxLabel> showXplTitleLines(std::vector<std::string>& lines, std::size_t first, std::size_t last,
                                                const CodecTables& codecs, StreamSlotTable& slots, Window& window,
                                                const std::array<int, AUDIO_BOX_COUNT>* audioBoxes, XplCutValues* cut) {
  slots.Reset();
  if (lines.empty() || first > last)
    return {};
  last = std::min(last, lines.size() - 1);
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, lines.end());
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(first, lines.size())));

  TitleView view(lines, codecs, slots, window, audioBoxes, cut);
  view.list();
  return std::move(view.labels());
}

}  // namespace ardunex
