#include "script_tool/lint/target_index.h"

#include <array>

#include "names/windows_names.h"

namespace {

// Each byte as Windows compares names (letters folded, '/' as '\\'), by
// table: the key reads every byte of every target.
constexpr std::array<unsigned char, 256> ComparedBytes() {
  std::array<unsigned char, 256> compared{};
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    compared[byte] = static_cast<unsigned char>(IsPathSeparator(c) ? '\\' : FoldNameByte(c));
  }
  return compared;
}
constexpr std::array<unsigned char, 256> kComparedBytes = ComparedBytes();

// A hash of the name as Windows compares it: equal for names that
// SameFileName calls the same; rarely equal otherwise, and then told apart by
// SameFileName. Eight bytes a step: a multiplication per byte cost lint a
// share of its time worth saving on a long script.
std::uint64_t NameKey(std::string_view name) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t key = name.size();
  for (std::size_t at = 0; at < name.size(); at += 8) {
    std::uint64_t word = 0;
    for (std::size_t i = at; i < name.size() && i < at + 8; ++i) {
      word = (word << 8) | kComparedBytes[static_cast<unsigned char>(name[i])];
    }
    key = (key ^ word) * kMultiplier;
    key ^= key >> 29;
  }
  return key;
}

}  // namespace

bool SameFileName(std::string_view a, std::string_view b) { return SamePathForWindows(a, b); }

namespace {

std::uint64_t SlotTag(std::uint64_t key) { return key & 0xFFFFFFFF00000000ull; }

}  // namespace

TargetIndex::TargetIndex(const LintScript& script) {
  targets_.reserve(script.Lines.size());
  ForEachCopyPath(script, [&](const CopyPath& path) {
    if (path.IsTarget) {
      targets_.push_back(Target{NameKey(path.Text), &path.Line, path.Line.Number});
    }
  });
  std::size_t slotCount = 2;
  while (slotCount < 2 * targets_.size()) slotCount *= 2;
  slots_.assign(slotCount, 0);
  for (std::size_t i = 0; i < targets_.size(); ++i) {
    Target& target = targets_[i];
    std::uint64_t& slot = slots_[SlotOf(target.Key, TextOf(target))];
    if (slot == 0) {
      slot = SlotTag(target.Key) | (i + 1);
      continue;
    }
    Target& first = targets_[(slot & 0xFFFFFFFFu) - 1];
    first.LastLine = target.Line->Number;
    repeats_.push_back(Repeat{i, first.Line->Number});
  }
}

std::size_t TargetIndex::SlotOf(std::uint64_t key, std::string_view name) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = key & mask;; slot = (slot + 1) & mask) {
    const std::uint64_t held = slots_[slot];
    if (held == 0) return slot;
    if (SlotTag(held) != SlotTag(key)) continue;
    const Target& first = targets_[(held & 0xFFFFFFFFu) - 1];
    if (first.Key == key && SameFileName(TextOf(first), name)) return slot;
  }
}

std::size_t TargetIndex::LastLineCopyingOver(std::string_view name) const {
  const std::uint64_t slot = slots_[SlotOf(NameKey(name), name)];
  return slot == 0 ? 0 : targets_[(slot & 0xFFFFFFFFu) - 1].LastLine;
}
