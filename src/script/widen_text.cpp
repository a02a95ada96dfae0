#include "script/widen_text.h"

std::wstring WidenText(const std::string& narrow) {
  std::wstring wide(narrow.size(), L'\0');
  for (std::size_t i = 0; i < narrow.size(); ++i) {
    // Through unsigned char: a plain char is signed here, and sign extension
    // would turn 0xE9 into U+FFE9, a name no file has.
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(narrow[i]));
  }
  return wide;
}

std::optional<std::wstring> WidenForSystem(const std::string& narrow) {
  if (narrow.find('\0') != std::string::npos) return std::nullopt;
  return WidenText(narrow);
}
