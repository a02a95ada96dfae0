#include "script_tool/target_index.h"

#include <array>
#include <cstring>

#include "script_tool/byte_lanes.h"

namespace {

constexpr std::array<unsigned char, 256> FoldingTable() {
  std::array<unsigned char, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    table[byte] = byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a')
                  : byte == '/'              ? '\\'
                                             : static_cast<unsigned char>(byte);
  }
  return table;
}
constexpr std::array<unsigned char, 256> kFolded = FoldingTable();

// ASCII letters in one case, "/" as "\\"; every other byte as it is.
char FoldForComparison(char byte) {
  return static_cast<char>(kFolded[static_cast<unsigned char>(byte)]);
}

// A hash of the folded bytes, sixteen at a time: equal for names that
// SameFileName calls the same; rarely equal otherwise, and then told apart by
// SameFileName. A byte-at-a-time hash waits on one multiplication per byte,
// which was a tenth of linting a long script.
std::uint64_t NameKey(std::string_view name) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t key = name.size();
  ForEachBlock(name, 0, [&](const ByteBlock& block, std::size_t, std::uint32_t) {
    // Folded as FoldForComparison folds each byte: capitals gain 0x20, and
    // '/' becomes '\\'.
    ByteBlock folded = block | ((block >= 'A') & (block <= 'Z') & 0x20);
    folded ^= (folded == '/') & ('/' ^ '\\');
    std::uint64_t words[2];
    std::memcpy(words, &folded, sizeof words);
    for (const std::uint64_t word : words) {
      key = (key ^ word) * kMultiplier;
      key ^= key >> 29;
    }
    return false;
  });
  return key;
}

}  // namespace

bool SameFileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldForComparison(a[i]) != FoldForComparison(b[i])) return false;
  }
  return true;
}

namespace {

std::uint64_t SlotTag(std::uint64_t key) { return key & 0xFFFFFFFF00000000ull; }

// How many targets ahead the insertion loop asks for their slots: the slots
// are read in no order, and waiting on each read in turn was a fifth of
// linting a long script.
constexpr std::size_t kPrefetchDistance = 16;

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
  const std::size_t mask = slotCount - 1;
  for (std::size_t i = 0; i < targets_.size(); ++i) {
    if (i + kPrefetchDistance < targets_.size()) {
      __builtin_prefetch(&slots_[targets_[i + kPrefetchDistance].Key & mask]);
    }
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
