#include "script/line_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

TEST(ForEachLine, LineEnds) {
  using L = std::vector<std::string>;
  EXPECT_EQ(Lines(""), L{});
  EXPECT_EQ(Lines("a\nb\nc"), (L{"a", "b", "c"})) << "last line without LF";
  EXPECT_EQ(Lines("a\nb\nc\n"), (L{"a", "b", "c"})) << "final LF adds no line";
  EXPECT_EQ(Lines("\n"), L{""});
  EXPECT_EQ(Lines("a\n\n\nb"), (L{"a", "", "", "b"})) << "empty lines count";
  EXPECT_EQ(Lines("a\rb\r"), L{"a\rb\r"}) << "CR is an ordinary byte";
  EXPECT_EQ(Lines(std::string_view("a\0b\nc", 5)), (L{std::string("a\0b", 3), "c"}));
}

}  // namespace
