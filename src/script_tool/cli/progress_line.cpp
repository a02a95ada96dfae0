#include "script_tool/cli/progress_line.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

constexpr std::chrono::milliseconds kShortestShowing{100};
constexpr std::size_t kColumnsWhenUnknown = 80;

bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The longest start of a UTF-8 text that takes at most columns (a column a
// character: the names shown are rarely wider), and the columns it takes.
std::string_view CutToColumns(std::string_view text, std::size_t columns, std::size_t& taken) {
  taken = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsContinuationByte(text[i])) continue;
    if (taken == columns) return text.substr(0, i);
    ++taken;
  }
  return text;
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& out, bool shown, std::size_t columns, Clock clock)
    : out_(out), shown_(shown && columns > 0), columns_(columns), clock_(std::move(clock)) {}

bool ProgressLine::Due() {
  if (!shown_) return false;
  const auto now = clock_();
  if (everShown_ && now - last_ < kShortestShowing) return false;
  everShown_ = true;
  last_ = now;
  return true;
}

void ProgressLine::Show(std::string_view text) {
  if (!shown_) return;
  std::size_t taken = 0;
  const std::string_view cut = CutToColumns(text, columns_, taken);
  std::string line = "\r";
  // A control character in a file name would move the cursor or end the line.
  for (const char byte : cut) line += static_cast<unsigned char>(byte) < 0x20 ? '?' : byte;
  // A shorter text leaves the end of the longer one behind unless blanked.
  if (taken < onLine_) line.append(onLine_ - taken, ' ');
  out_ << line << std::flush;
  onLine_ = taken;
}

void ProgressLine::Clear() {
  if (!shown_ || onLine_ == 0) return;
  out_ << '\r' << std::string(onLine_, ' ') << '\r' << std::flush;
  onLine_ = 0;
}

StandardErrorProgress StandardErrorProgressSettings(bool quiet) {
  StandardErrorProgress settings;
  if (quiet) return settings;
  std::size_t columns = 0;
#ifdef _WIN32
  // _isatty is true for NUL as well; only a console has a console mode.
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (error == nullptr || error == INVALID_HANDLE_VALUE || !GetConsoleMode(error, &mode)) {
    return settings;
  }
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (GetConsoleScreenBufferInfo(error, &screen)) {
    columns = static_cast<std::size_t>(screen.srWindow.Right - screen.srWindow.Left + 1);
  }
#else
  if (isatty(STDERR_FILENO) == 0) return settings;
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0) columns = size.ws_col;
#endif
  if (columns < 2) columns = kColumnsWhenUnknown;
  settings.Shown = true;
  settings.Columns = columns - 1;
  return settings;
}

std::string WithThousands(std::size_t count) {
  std::string digits = std::to_string(count);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string Counted(std::size_t count, std::string_view one, std::string_view many) {
  return WithThousands(count) + " " + std::string(count == 1 ? one : many);
}
