#include "script/progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(PercentageAfter, RisesEvenlyAndReachesAHundredWithTheLastCommand) {
  const struct {
    std::size_t count;
    std::vector<std::int32_t> shown;  // after 0, 1, ..., count successes
  } cases[] = {
      {1, {0, 100}},
      {2, {0, 50, 100}},
      {3, {0, 33, 66, 100}},
      {4, {0, 25, 50, 75, 100}},
      {7, {0, 14, 28, 42, 57, 71, 85, 100}},
  };
  for (const auto& c : cases) {
    for (std::size_t k = 0; k <= c.count; ++k) {
      EXPECT_EQ(PercentageAfter(k, c.count), c.shown[k]) << k << " of " << c.count;
    }
  }
  // Long scripts: the bar is full only after the last command, and never
  // moves back.
  for (const std::size_t count : {50u, 150u, 300u, 100000u}) {
    std::int32_t before = 0;
    for (std::size_t k = 0; k < count; ++k) {
      const std::int32_t now = PercentageAfter(k, count);
      ASSERT_LT(now, 100) << k << " of " << count;
      ASSERT_GE(now, before) << k << " of " << count;
      before = now;
    }
    EXPECT_EQ(PercentageAfter(count, count), 100) << count;
  }
  // No wrap where succeeded * 100 passes 32 bits: in this build's width and
  // in the 32-bit build's, which only the 32-bit operands show here.
  const struct {
    std::uint32_t succeeded;
    std::uint32_t count;
    std::int32_t shown;
  } past32Bits[] = {
      {3000000000u / 2, 3000000000u, 50},
      {42949673u, 42949673u, 100},  // the smallest count whose 100 * count passes 32 bits
      {UINT32_MAX / 3, UINT32_MAX, 33},
      {UINT32_MAX - 1, UINT32_MAX, 99},
  };
  for (const auto& c : past32Bits) {
    EXPECT_EQ(PercentageAfter(c.succeeded, c.count), c.shown) << c.succeeded << " of " << c.count;
    EXPECT_EQ(PercentageAfterIn<std::uint32_t>(c.succeeded, c.count), c.shown)
        << c.succeeded << " of " << c.count << " in 32 bits";
    EXPECT_EQ(PercentageAfterIn<std::uint64_t>(c.succeeded, c.count), c.shown)
        << c.succeeded << " of " << c.count << " in 64 bits";
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
