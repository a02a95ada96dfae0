#pragma once
// The runner's progress arithmetic: pure functions over integers, no window.
// The updater's runner and the toolkit's print both take their numbers from
// here, so that print shows what the window will show.

#include <cstddef>
#include <cstdint>
#include <string>

#include "script/file_command.h"

constexpr std::int32_t kFullPercentage = 100;

// The percentage the window shows once `succeeded` of `count` commands have
// succeeded: succeeded * 100 / count, truncating. It starts at 0 and reaches
// 100 exactly with the last command, so the bar is never full while commands
// remain. count > 0 and succeeded <= count.
std::int32_t PercentageAfter(std::size_t succeeded, std::size_t count);

// PercentageAfter over counts of a given width, std::uint32_t or
// std::uint64_t, the widths of size_t in the 32-bit and the 64-bit builds:
// lets a 64-bit build check the arithmetic the 32-bit build does.
template <typename Count>
std::int32_t PercentageAfterIn(Count succeeded, Count count);

// Whether the runner turns the window's title from "Updating PexaMenu, Please
// wait..." to "Ready, Starting..." before a command of this kind runs: before
// any command that is not a copy, a RUN (whether it starts anything or not)
// and a line that does nothing alike. The title then keeps those words for the
// rest of the run, later copies included.
constexpr bool TurnsTitleReady(CommandKind kind) { return kind != CommandKind::Copy; }

// Plain decimal digits with a leading '-' for a negative value: no leading
// zeros, no separators. Error codes with the top bit set are negative.
std::wstring DecimalText(std::int32_t value);
