#pragma once
// Splits script text, already through the runtime's text mode (CR LF read as
// LF, 0x1A taken as the end), into lines.

#include <string_view>

// Calls handle(line) for each line of text, in order, without its LF. The last
// line counts without a final LF; an LF at the very end begins no further
// line; an empty text has no lines. A lone CR is an ordinary byte.
template <typename LineHandler>
void ForEachLine(std::string_view text, LineHandler&& handle) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    handle(text.substr(start, end - start));
    start = end + 1;
  }
}
