#include "script/progress.h"

#include <iterator>

template <typename Count>
std::int32_t PercentageAfterIn(Count succeeded, Count count) {
  // Widened first: succeeded * 100 must not wrap for a script of billions of
  // lines on a 32-bit build.
  const std::uint64_t percentage = std::uint64_t{succeeded} * kFullPercentage / count;
  return static_cast<std::int32_t>(percentage);
}

template std::int32_t PercentageAfterIn(std::uint32_t succeeded, std::uint32_t count);
template std::int32_t PercentageAfterIn(std::uint64_t succeeded, std::uint64_t count);

std::int32_t PercentageAfter(std::size_t succeeded, std::size_t count) {
  return PercentageAfterIn<std::size_t>(succeeded, count);
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
