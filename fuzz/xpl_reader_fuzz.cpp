// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary bytes, cut into arbitrary blocks, through the playlist reader and the title view.
//
// Input: one byte giving the length (0 to 31) of the EVO base name, the name itself, four bytes choosing the
// block sizes (1 to 766 bytes, in turn), then the playlist. Reading in blocks must give what reading the
// whole text at once gives; ConvertError is an expected end, anything else a fault. The lines must stay
// proportional to the input, and the title view must touch only boxes and slots of the tracks it lists.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "engine/stream_slot_table.h"
#include "replay_main.h"
#include "support/headless_window.h"
#include "xpl/codec_tables.h"
#include "xpl/xpl_reader.h"
#include "xpl/xpl_title_view.h"

namespace {

using namespace ardunex;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t MAX_BASE_LENGTH = 32;
constexpr std::size_t SIZE_BYTES = 4;
constexpr std::size_t MAX_INDENT = 2 * XPL_MAX_INDENT_DEPTH;  // spaces of the deepest indentation

[[noreturn]] void crash(const char* what) {
  std::fprintf(stderr, "xpl_reader_fuzz: %s\n", what);
  std::abort();
}

// A headless window that keeps the boxes and the tree, and fails on a box index outside the 40 boxes.
class FuzzWindow : public HeadlessWindow {
 public:
  std::array<bool, BOX_COUNT> checked{};
  std::array<bool, BOX_COUNT> enabled{};
  std::array<bool, BOX_COUNT> captioned{};
  std::vector<TreeNode> tree;
  bool treeSet = false;
  std::size_t logged = 0;

  void log(std::string_view) override { ++logged; }
  bool boxChecked(int box) const override { return checked[index(box)]; }
  void setBoxChecked(int box, bool value) override { checked[index(box)] = value; }
  bool boxEnabled(int box) const override { return enabled[index(box)]; }
  void setBoxEnabled(int box, bool value) override { enabled[index(box)] = value; }
  std::string boxCaption(int box) const override {
    index(box);
    return {};
  }
  void setBoxCaption(int box, std::string_view) override { captioned[index(box)] = true; }
  bool buttonEnabled(Button) const override { return true; }
  void setXplTree(const std::vector<TreeNode>& roots) override {
    tree = roots;
    treeSet = true;
  }

 private:
  static std::size_t index(int box) {
    if (box < 0 || box >= BOX_COUNT)
      crash("box index out of range");
    return static_cast<std::size_t>(box);
  }
};

struct ReadOutcome {
  std::vector<std::string> lines;
  CodecTables codecs;
  bool failed = false;  // ended by ConvertError
};

bool sameCodecs(const CodecTables& a, const CodecTables& b) {
  return a.VideoCodecTable == b.VideoCodecTable && a.AudioCodecTable == b.AudioCodecTable &&
         a.SubpictureCodecTable == b.SubpictureCodecTable;
}

// Feeds the text in blocks (or whole, without sizes), each a copy of its own so that the address
// sanitizer catches a read beyond it.
ReadOutcome read(const std::uint8_t* data, std::size_t size, const std::uint8_t* sizes) {
  ReadOutcome outcome;
  XplReader reader(outcome.lines, outcome.codecs);
  try {
    for (std::size_t at = 0, k = 0; at < size; ++k) {
      std::size_t length = sizes ? 1 + sizes[k % SIZE_BYTES] * 3u : size;
      length = std::min(length, size - at);
      const Bytes block(data + at, data + at + length);
      reader.feed(block.data(), block.size());
      at += length;
    }
  } catch (const ConvertError&) {
    outcome.failed = true;
  }
  return outcome;
}

void checkLines(const ReadOutcome& outcome, const std::uint8_t* data, std::size_t size) {
  const auto tagEnds = static_cast<std::size_t>(std::count(data, data + size, '>'));
  // One line per ">" read; a failed read stops at the ">" of the item that failed.
  if (outcome.failed ? outcome.lines.size() > tagEnds : outcome.lines.size() != tagEnds)
    crash("not one line per tag end");
  std::size_t total = 0;
  for (const std::string& line : outcome.lines) {
    total += line.size();
    const std::size_t text = line.find_first_not_of(' ');
    if (text != std::string::npos && (text > MAX_INDENT || line[text] != '<'))
      crash("line is not indentation and a tag");
    for (const char c : line)
      if (static_cast<std::uint8_t>(c) < ' ')
        crash("control byte in a line");
  }
  // Every byte of tag text comes from one input byte; only the indentation is added per line.
  if (total > size + outcome.lines.size() * MAX_INDENT)
    crash("lines grew beyond the input");
}

std::size_t childCount(const std::vector<TreeNode>& tree, std::size_t root) {
  return root < tree.size() ? tree[root].children.size() : 0;
}

void checkTitleView(const std::vector<std::string>& before, const CodecTables& codecs, const std::string& evoBase) {
  std::vector<std::string> lines = before;
  StreamSlotTable slots;
  slots.Claim(1, 0);  // the view starts from empty slots, whatever a scan left
  FuzzWindow window;
  bool failed = false;
  try {
    showXplTitle(lines, codecs, evoBase, slots, window);
  } catch (const ConvertError&) {
    failed = true;
  }

  // The memo keeps one run of the lines, untouched.
  if (lines.size() > before.size())
    crash("title view added lines");
  if (!lines.empty()) {
    bool found = false;
    for (std::size_t k = 0; !found && k + lines.size() <= before.size(); ++k)
      found = before[k] == lines.front() && std::equal(lines.begin(), lines.end(), before.begin() + k);
    if (!found)
      crash("title view changed lines");
  } else if (!before.empty()) {
    crash("title view removed every line");
  }

  std::size_t present = 0;
  for (int slot = 1; slot <= StreamSlotTable::SLOT_COUNT; ++slot) {
    const std::int32_t value = slots.Get(slot);
    if (value != StreamSlotTable::EMPTY && value != StreamSlotTable::PRESENT)
      crash("slot holds neither empty nor the presence mark");
    present += value == StreamSlotTable::PRESENT;
  }

  if (!window.treeSet) {
    // No title: nothing but the emptied slots changes.
    if (failed || present != 0 || lines != before || window.logged != 0)
      crash("title view acted without a title");
  } else {
    if (window.tree.size() != std::size(XPL_TREE_ROOTS))
      crash("tree without its five roots");
    for (std::size_t root = 0; root < window.tree.size(); ++root)
      if (window.tree[root].text != XPL_TREE_ROOTS[root])
        crash("tree roots out of order");
    // Every listed track has its slot; a conversion failure may leave one slot claimed but unlisted.
    const std::size_t listed = childCount(window.tree, 1) + childCount(window.tree, 2) + childCount(window.tree, 3);
    if (failed ? present < listed || present > listed + 1 : present != listed)
      crash("slots and listed tracks disagree");
  }

  for (int box = 0; box < BOX_COUNT; ++box) {
    const auto b = static_cast<std::size_t>(box);
    if (!window.enabled[b] && !window.checked[b] && !window.captioned[b])
      continue;
    int slot = 0;
    if (box == videoBox(0))
      slot = StreamSlotTable::FIRST_VIDEO_SLOT;
    else if (box >= audioBox(0) && box < audioBox(AUDIO_BOX_COUNT))
      slot = StreamSlotTable::FIRST_AUDIO_SLOT + box - audioBox(0);
    else if (box >= subBox(0) && box < subBox(SUB_BOX_COUNT))
      slot = StreamSlotTable::FIRST_SUB_SLOT + box - subBox(0);
    else
      crash("title view touched a box it never labels");
    if (!slots.present(slot))
      crash("box of a track that was not listed");
    if (!window.enabled[b] || !window.checked[b] || !window.captioned[b])
      crash("box of a listed track not enabled, ticked and labelled");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1)
    return 0;
  const std::size_t baseLength = data[0] % MAX_BASE_LENGTH;
  if (size < 1 + baseLength + SIZE_BYTES)
    return 0;
  const std::string evoBase(reinterpret_cast<const char*>(data + 1), baseLength);
  const std::uint8_t* sizes = data + 1 + baseLength;
  data += 1 + baseLength + SIZE_BYTES;
  size -= 1 + baseLength + SIZE_BYTES;

  const ReadOutcome whole = read(data, size, nullptr);
  const ReadOutcome blocks = read(data, size, sizes);
  if (whole.lines != blocks.lines || !sameCodecs(whole.codecs, blocks.codecs) || whole.failed != blocks.failed)
    crash("reading in blocks differs from reading at once");
  checkLines(blocks, data, size);
  checkTitleView(blocks.lines, blocks.codecs, evoBase);
  return 0;
}
