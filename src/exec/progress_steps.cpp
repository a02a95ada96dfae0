#include "exec/progress_steps.h"

#include <iterator>

std::uint32_t ProgressStep(std::size_t count) {
  return static_cast<std::uint32_t>(kFullPercentage / count + 1);
}

std::int32_t AdvancePercentage(std::int32_t percentage, std::uint32_t step) {
  // Widened first: a step near 2^32 must not wrap the sum below 100.
  const std::int64_t sum = std::int64_t{percentage} + step;
  return sum > kFullPercentage ? kFullPercentage
                               : static_cast<std::int32_t>(sum);
}

std::wstring DecimalText(std::int32_t value) {
  // The magnitude is taken in unsigned arithmetic: negating INT32_MIN as a
  // signed value would overflow.
  std::uint32_t magnitude = static_cast<std::uint32_t>(value);
  if (value < 0) magnitude = 0u - magnitude;
  wchar_t digits[11];  // room for "-2147483648"
  wchar_t* first = std::end(digits);
  do {
    *--first = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = L'-';
  return std::wstring(first, std::end(digits));
}
