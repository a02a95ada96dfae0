#pragma once
// The runner's progress arithmetic: pure functions over integers, no window.

#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::int32_t kFullPercentage = 100;

// How far the percentage moves after each successful command: 100 / count + 1,
// truncating. The + 1 makes the bar reach 100 before the last of 51 or more
// commands; the value after the last command is never shown. count > 0.
std::uint32_t ProgressStep(std::size_t count);

// The percentage after one more successful command, never over 100.
std::int32_t AdvancePercentage(std::int32_t percentage, std::uint32_t step);

// Plain decimal digits with a leading '-' for a negative value: no leading
// zeros, no separators. Error codes with the top bit set are negative.
std::wstring DecimalText(std::int32_t value);
