// The progress line as a terminal receives it, with a clock the test moves.
#include "script_tool/cli/progress_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// One step of a case: the clock moves on by `after`, then the line is asked
// whether it is due and, when it is, shown `text` (or cleared for "CLEAR").
struct Step {
  int after;  // milliseconds
  std::string text;
};

TEST(ProgressLine, WritesWhatATerminalShows) {
  const struct {
    const char* why;
    bool shown;
    std::size_t columns;
    std::vector<Step> steps;
    std::string written;
  } cases[] = {
      {"not a terminal: nothing at all", false, 79, {{0, "a"}, {500, "b"}, {0, "CLEAR"}}, ""},
      {"the first text at once, over the line's start", true, 79, {{0, "verify: 1 of 2"}},
       "\rverify: 1 of 2"},
      {"a text too soon after the last is left out", true, 79,
       {{0, "one"}, {50, "two"}, {60, "three"}}, "\rone\rthree"},
      {"a shorter text blanks the rest of the longer one", true, 79,
       {{0, "locale/de"}, {100, "lib"}}, "\rlocale/de\rlib      "},
      {"cut to the terminal's columns", true, 8, {{0, "make: 12,345 of 20,000"}}, "\rmake: 12"},
      {"a UTF-8 character is one column and never cut in two", true, 4,
       {{0, "\xC3\xA9t\xC3\xA9s"}}, "\r\xC3\xA9t\xC3\xA9s"},
      {"cut after whole characters", true, 3, {{0, "\xC3\xA9t\xC3\xA9s"}}, "\r\xC3\xA9t\xC3\xA9"},
      {"a control character in a name cannot move the cursor", true, 79, {{0, "a\nb\rc"}},
       "\ra?b?c"},
      {"cleared at the end, back at the line's start", true, 79, {{0, "abc"}, {0, "CLEAR"}},
       "\rabc\r   \r"},
      {"nothing to clear when nothing was shown", true, 79, {{0, "CLEAR"}}, ""},
      {"cleared once only", true, 79, {{0, "ab"}, {0, "CLEAR"}, {0, "CLEAR"}}, "\rab\r  \r"},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    Clock::time_point now{};
    {
      ProgressLine line(out, c.shown, c.columns, [&now] { return now; });
      for (const Step& step : c.steps) {
        now += milliseconds(step.after);
        if (step.text == "CLEAR") {
          line.Clear();
        } else if (line.Due()) {
          line.Show(step.text);
        }
      }
      if (c.steps.back().text == "CLEAR") {
        EXPECT_EQ(out.str(), c.written) << c.why;
        continue;
      }
    }
    // The line clears itself when it goes: what was written, then the blanking.
    const std::string whole = out.str();
    ASSERT_GE(whole.size(), c.written.size()) << c.why;
    EXPECT_EQ(whole.substr(0, c.written.size()), c.written) << c.why;
    const std::string rest = whole.substr(c.written.size());
    EXPECT_TRUE(rest.empty() || (rest.front() == '\r' && rest.back() == '\r')) << c.why;
  }
}

// Progress lines and summaries alike: separators, and the singular for one.
TEST(ProgressLine, CountsWithThousandsSeparators) {
  const struct {
    std::size_t count;
    const char* text;
    const char* counted;
  } cases[] = {{0, "0", "0 files"},
               {1, "1", "1 file"},
               {999, "999", "999 files"},
               {1000, "1,000", "1,000 files"},
               {20172, "20,172", "20,172 files"},
               {1234567, "1,234,567", "1,234,567 files"}};
  for (const auto& c : cases) {
    EXPECT_EQ(WithThousands(c.count), c.text) << c.count;
    EXPECT_EQ(Counted(c.count, "file", "files"), c.counted) << c.count;
  }
}

}  // namespace
