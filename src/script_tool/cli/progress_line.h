#pragma once
// A one-line progress on standard error while make or verify walks a large
// tree: rewritten in place with a carriage return, at most a few times a
// second, and cleared when the work is done, so that what follows starts on
// a clean line. Shown only on a terminal: a log or a pipe gets nothing.

#include <chrono>
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

class ProgressLine {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // Writes to out, cut to columns, when shown (standard error is a terminal
  // and --quiet was not given); otherwise never writes at all.
  ProgressLine(std::ostream& out, bool shown, std::size_t columns,
               Clock clock = &std::chrono::steady_clock::now);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() { Clear(); }

  // True when a new text is worth showing now: the line is shown, and
  // nothing was shown yet or the last text is a tenth of a second old.
  // Asked before a text is made, so that most files cost no formatting.
  bool Due();
  // The text over the line, cut to the columns.
  void Show(std::string_view text);
  // Blanks the line and returns to its start; nothing if nothing is on it.
  void Clear();

 private:
  std::ostream& out_;
  bool shown_;
  std::size_t columns_;
  Clock clock_;
  bool everShown_ = false;
  std::chrono::steady_clock::time_point last_{};
  std::size_t onLine_ = 0;  // columns the text on the line takes
};

// The ProgressLine for standard error: shown when it is a console or a
// terminal and quiet is false, as wide as that terminal less one column
// (writing the last column wraps the line on some terminals).
struct StandardErrorProgress {
  bool Shown = false;
  std::size_t Columns = 0;
};
StandardErrorProgress StandardErrorProgressSettings(bool quiet);

// "12,345": a count as a reader takes it in at a glance. Progress lines and
// summaries alike write their counts so.
std::string WithThousands(std::size_t count);
// "1 file", "20,172 files": a count and its noun, singular for one.
std::string Counted(std::size_t count, std::string_view one, std::string_view many);
