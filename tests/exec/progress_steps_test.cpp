#include "exec/progress_steps.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(ProgressStep, IsAHundredByCountPlusOne) {
  const struct {
    std::size_t count;
    std::uint32_t step;
  } cases[] = {{1, 101}, {2, 51}, {3, 34},   {4, 26},   {10, 11},
               {50, 3},  {51, 2}, {100, 2},  {101, 1},  {150, 1},
               {100000, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(ProgressStep(c.count), c.step) << "count " << c.count;
  }
}

TEST(AdvancePercentage, AddsTheStepAndStopsAtAHundred) {
  const struct {
    std::int32_t percentage;
    std::uint32_t step;
    std::int32_t advanced;
  } cases[] = {
      {0, 34, 34},     {68, 34, 100},  // 102 is clamped
      {0, 101, 100},   {98, 2, 100},    {99, 1, 100}, {100, 1, 100},
      {0, 1, 1},       {66, 34, 100},
      {100, UINT32_MAX, 100},  // must not wrap round to a small number
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AdvancePercentage(c.percentage, c.step), c.advanced)
        << c.percentage << " + " << c.step;
  }
}

TEST(DecimalText, PlainDigitsWithASignWhenNegative) {
  const struct {
    std::int32_t value;
    const wchar_t* text;
  } cases[] = {
      {0, L"0"},           {5, L"5"},
      {34, L"34"},         {100, L"100"},
      {-1, L"-1"},         {-2147024891, L"-2147024891"},  // 0x80070005
      {INT32_MAX, L"2147483647"},
      {INT32_MIN, L"-2147483648"},  // has no positive counterpart
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecimalText(c.value), c.text) << "value " << c.value;
  }
}

}  // namespace
