#pragma once
// What the updater reads of a script file, as a pure function over its bytes.
// The updater itself reads through the C runtime's text mode (script_reader);
// the toolkit reads the same bytes through this, and a test under Wine proves
// that both give the same text for every script in the corpora.

#include <string>
#include <string_view>

#include "script/line_splitter.h"

// The runtime's text mode takes this byte as the end of the data.
inline constexpr char kEndOfData = '\x1A';

// The three bytes a UTF-8 byte-order mark is made of.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The text without a UTF-8 byte-order mark at its very start. The mark is
// dropped there only: the same bytes anywhere else are ordinary text.
std::string_view WithoutByteOrderMark(std::string_view text);

// The file's bytes as the updater reads them: the data ends at the first byte
// 0x1A, CR LF becomes LF, a lone CR stays, and a byte-order mark at the very
// start is dropped. No code page is applied.
std::string ScriptTextFromFileBytes(std::string_view fileBytes);

// Calls handle(line) for each line of ScriptTextFromFileBytes(fileBytes), in
// order, each a view into fileBytes itself: a long script is read without a
// copy of its text. The text mode drops only a CR right before an LF, so a
// line is the file's bytes up to an LF with such a CR left out; the lint
// fuzzer holds both readings equal on every input.
template <typename LineHandler>
void ForEachScriptLine(std::string_view fileBytes, LineHandler&& handle) {
  const std::string_view data = WithoutByteOrderMark(fileBytes.substr(0, fileBytes.find(kEndOfData)));
  ForEachLine(data, [&](std::string_view line) {
    const bool endedByLineFeed = line.data() + line.size() != data.data() + data.size();
    if (endedByLineFeed && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    handle(line);
  });
}
