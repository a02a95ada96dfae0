#pragma once
// The targets of a script's COP lines, grouped by name as Windows compares
// names (Latin-1 letters without case, '/' as '\': names/windows_names.h),
// without a string or a node per target, so that a long script stays within
// lint's target; a std::unordered_map in its place missed it (the figures
// are in bench/RESULTS.md).

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "script_tool/lint/lint_script.h"

// The two names denote the same file for Windows (SamePathForWindows).
bool SameFileName(std::string_view a, std::string_view b);

class TargetIndex {
 public:
  explicit TargetIndex(const LintScript& script);

  // The last line (from 1) that copies over name, or 0 when none does.
  std::size_t LastLineCopyingOver(std::string_view name) const;

  // Calls visit(repeat, firstLine) for each target that an earlier line
  // already copies over, in line order; firstLine is the first line that does.
  template <typename Visitor>
  void ForEachRepeat(Visitor&& visit) const {
    for (const Repeat& repeat : repeats_) visit(PathOf(targets_[repeat.Target]), repeat.FirstLine);
  }

 private:
  struct Target {
    std::uint64_t Key;
    const ReadLine* Line;  // its target is Command.Arguments[1]
    // On the first target of each name: the last line that copies over it.
    std::size_t LastLine;
  };
  struct Repeat {
    std::size_t Target;
    std::size_t FirstLine;
  };

  static std::string_view TextOf(const Target& target) { return target.Line->Command.Arguments[1]; }
  static CopyPath PathOf(const Target& target) {
    return CopyPath{*target.Line, TextOf(target), IndexInLine(*target.Line, TextOf(target)), true};
  }

  // The slot of the name with this key: the one holding its first target,
  // or the empty one where that would go.
  std::size_t SlotOf(std::uint64_t key, std::string_view name) const;

  std::vector<Target> targets_;  // every target, in line order
  // Open addressing over the first target of each name, at most half full:
  // the key's high half beside the target's position (+ 1; 0 is empty), so
  // that a probe reads the slots alone. A script has far fewer than 2^32
  // lines: its lines alone would fill hundreds of gigabytes first.
  std::vector<std::uint64_t> slots_;
  std::vector<Repeat> repeats_;  // in line order
};
