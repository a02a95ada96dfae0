#include "script_tool/make_text.h"

namespace {

constexpr unsigned long kSurrogateFirst = 0xD800;
constexpr unsigned long kSurrogateLast = 0xDFFF;
constexpr unsigned long kLastCodePoint = 0x10FFFF;

void AppendCodePoint(std::wstring& text, unsigned long point) {
  if (sizeof(wchar_t) == 2 && point > 0xFFFF) {
    point -= 0x10000;
    text.push_back(static_cast<wchar_t>(kSurrogateFirst + (point >> 10)));
    text.push_back(static_cast<wchar_t>(0xDC00 + (point & 0x3FF)));
  } else {
    text.push_back(static_cast<wchar_t>(point));
  }
}

}  // namespace

std::optional<std::wstring> WideFromUtf8(std::string_view bytes) {
  std::wstring text;
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || i + length > bytes.size()) {
      return std::nullopt;
    }
    unsigned long point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      point = (point << 6) | (next & 0x3F);
    }
    const unsigned long smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < smallest[length] || point > kLastCodePoint ||
        (point >= kSurrogateFirst && point <= kSurrogateLast)) {
      return std::nullopt;
    }
    AppendCodePoint(text, point);
    i += length;
  }
  return text;
}

std::string Utf8FromWide(const std::wstring& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned long point =
        static_cast<unsigned long>(text[i]) & (sizeof(wchar_t) == 2 ? 0xFFFF : ~0ul);
    // A pair of UTF-16 surrogates is one code point; a lone one is kept as
    // it is, which no valid name holds anyway.
    if (point >= kSurrogateFirst && point < 0xDC00 && i + 1 < text.size() &&
        (static_cast<unsigned long>(text[i + 1]) & 0xFFFF) >= 0xDC00 &&
        (static_cast<unsigned long>(text[i + 1]) & 0xFFFF) <= kSurrogateLast) {
      point = 0x10000 + ((point - kSurrogateFirst) << 10) +
              ((static_cast<unsigned long>(text[++i]) & 0xFFFF) - 0xDC00);
    }
    if (point < 0x80) {
      bytes.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
      bytes.push_back(static_cast<char>(0xC0 | (point >> 6)));
      bytes.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
      bytes.push_back(static_cast<char>(0xE0 | (point >> 12)));
      bytes.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
      bytes.push_back(static_cast<char>(0xF0 | (point >> 18)));
      bytes.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
  }
  return bytes;
}
