#pragma once
// The targets of a script's COP lines, grouped by name as Windows compares
// names (without case, '/' as '\'), without a string or a node per target:
// a script may have 100,000 lines.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "script_tool/lint_script.h"

// The two names denote the same file for Windows.
bool SameFileName(std::string_view a, std::string_view b);

class TargetIndex {
 public:
  explicit TargetIndex(const LintScript& script);

  // The last line (from 1) that copies over name, or 0 when none does.
  std::size_t LastLineCopyingOver(std::string_view name) const;

  // Calls visit(repeat, firstLine) for each target that an earlier line
  // already copies over; firstLine is the first line that does.
  template <typename Visitor>
  void ForEachRepeat(Visitor&& visit) const {
    for (std::size_t group = 0; group < entries_.size();) {
      std::size_t end = group + 1;
      while (end < entries_.size() && entries_[end].Key == entries_[group].Key) ++end;
      // Within one key, by line; a different name under the same key is rare.
      for (std::size_t i = group + 1; i < end; ++i) {
        for (std::size_t first = group; first < i; ++first) {
          if (SameFileName(entries_[first].Text, entries_[i].Text)) {
            const Entry& repeat = entries_[i];
            visit(CopyPath{*repeat.Line, repeat.Text, repeat.Index, true}, entries_[first].Line->Number);
            break;
          }
        }
      }
      group = end;
    }
  }

 private:
  struct Entry {
    std::uint64_t Key;
    const ReadLine* Line;
    std::string_view Text;
    std::size_t Index;
  };
  std::vector<Entry> entries_;  // ordered by key, then by line
};
