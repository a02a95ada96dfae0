#include "script/text_mode.h"

namespace {

// The runtime's text mode takes this byte as the end of the data.
constexpr char kEndOfData = '\x1A';

}  // namespace

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
  for (std::size_t i = 0; i < data.size(); ++i) {
    // A CR counts as part of a line end only when an LF follows it at once.
    if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') continue;
    text.push_back(data[i]);
  }
  return std::string(WithoutByteOrderMark(text));
}
