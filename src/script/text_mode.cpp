#include "script/text_mode.h"

std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) {
    text.remove_prefix(kUtf8ByteOrderMark.size());
  }
  return text;
}

std::string ScriptTextFromFileBytes(std::string_view fileBytes) {
  const std::string_view data = fileBytes.substr(0, fileBytes.find(kEndOfData));
  std::string text;
  text.reserve(data.size());
  // From one CR LF to the next, the bytes pass as they are: copied in runs,
  // not byte by byte, for long scripts.
  std::size_t start = 0;
  for (std::size_t crLf = data.find("\r\n"); crLf != std::string_view::npos;
       crLf = data.find("\r\n", crLf + 2)) {
    text.append(data, start, crLf - start);
    start = crLf + 1;  // the CR counts as part of the line end: only the LF stays
  }
  text.append(data, start, std::string_view::npos);
  text.erase(0, text.size() - WithoutByteOrderMark(text).size());
  return text;
}
