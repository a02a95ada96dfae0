#include "script_tool/target_index.h"

#include <algorithm>
#include <array>
#include <iterator>

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

// A hash of the folded bytes, eight at a time: equal for names that
// SameFileName calls the same; rarely equal otherwise, and then told apart by
// SameFileName. A byte-at-a-time hash waits on one multiplication per byte,
// which was a tenth of linting a long script.
std::uint64_t NameKey(std::string_view name) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t key = name.size();
  std::size_t i = 0;
  while (i < name.size()) {
    std::uint64_t chunk = 0;
    for (std::size_t k = 0; k < 8 && i < name.size(); ++k, ++i) {
      chunk |= std::uint64_t{kFolded[static_cast<unsigned char>(name[i])]} << (8 * k);
    }
    key = (key ^ chunk) * kMultiplier;
    key ^= key >> 29;
  }
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

TargetIndex::TargetIndex(const LintScript& script) {
  ForEachCopyPath(script, [&](const CopyPath& path) {
    if (path.IsTarget) entries_.push_back(Entry{NameKey(path.Text), &path.Line, path.Text, path.Index});
  });
  std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
    return a.Key < b.Key || (a.Key == b.Key && a.Line->Number < b.Line->Number);
  });
}

std::size_t TargetIndex::LastLineCopyingOver(std::string_view name) const {
  const std::uint64_t key = NameKey(name);
  const auto end = std::upper_bound(entries_.begin(), entries_.end(), key,
                                    [](std::uint64_t k, const Entry& e) { return k < e.Key; });
  // From the last line of the key back: the first of the same name is the
  // last line that copies over it.
  for (auto entry = end; entry != entries_.begin() && std::prev(entry)->Key == key; --entry) {
    if (SameFileName(std::prev(entry)->Text, name)) return std::prev(entry)->Line->Number;
  }
  return 0;
}
