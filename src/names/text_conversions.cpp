#include "names/text_conversions.h"

namespace {

constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kLowSurrogateFirst = 0xDC00;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kLastLatin1 = 0xFF;

// wchar_t is 16 bits on Windows and 32 elsewhere: read it unsigned either way.
char32_t UnitValue(wchar_t unit) {
  return sizeof(wchar_t) == 2 ? static_cast<char16_t>(unit) : static_cast<char32_t>(unit);
}

void AppendCodePoint(std::wstring& text, char32_t point) {
  if (sizeof(wchar_t) == 2 && point > 0xFFFF) {
    point -= 0x10000;
    text.push_back(static_cast<wchar_t>(kSurrogateFirst + (point >> 10)));
    text.push_back(static_cast<wchar_t>(kLowSurrogateFirst + (point & 0x3FF)));
  } else {
    text.push_back(static_cast<wchar_t>(point));
  }
}

void AppendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out.push_back(static_cast<char>(point));
  } else if (point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (point >> 6)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else if (point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  }
}

// Calls onPoint for each code point of the UTF-8 text; false when the text
// is not UTF-8 (an overlong form, a surrogate, a cut or stray sequence).
template <typename OnPoint>
bool DecodeUtf8(std::string_view bytes, OnPoint&& onPoint) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceLength(bytes, i);
    if (length == 0) return false;
    const auto lead = static_cast<unsigned char>(bytes[i]);
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      point = (point << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
    }
    if (!onPoint(point)) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t index) {
  if (index >= text.size()) return 0;
  const auto byte = [&](std::size_t i) {
    return index + i < text.size() ? static_cast<unsigned char>(text[index + i]) : 0;
  };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  // The range of the second byte: narrowed where a lead byte would otherwise
  // admit an overlong form, a surrogate or a point beyond U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  AppendLatin1AsUtf8(out, latin1);
  return out;
}

void AppendLatin1AsUtf8(std::string& out, std::string_view latin1) {
  out.reserve(out.size() + latin1.size());
  for (const char byte : latin1) AppendUtf8(out, static_cast<unsigned char>(byte));
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
  std::string latin1;
  latin1.reserve(utf8.size());
  const bool decoded = DecodeUtf8(utf8, [&](char32_t point) {
    latin1.push_back(static_cast<char>(point));
    return point <= kLastLatin1;
  });
  if (!decoded) return std::nullopt;
  return latin1;
}

std::optional<std::wstring> Utf8ToWide(std::string_view utf8) {
  std::wstring wide;
  wide.reserve(utf8.size());
  if (!DecodeUtf8(utf8, [&](char32_t point) {
        AppendCodePoint(wide, point);
        return true;
      })) {
    return std::nullopt;
  }
  return wide;
}

std::string WideToUtf8(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t point = UnitValue(wide[i]);
    const bool highSurrogate = point >= kSurrogateFirst && point < kLowSurrogateFirst;
    const char32_t next = i + 1 < wide.size() ? UnitValue(wide[i + 1]) : 0;
    if (sizeof(wchar_t) == 2 && highSurrogate && next >= kLowSurrogateFirst &&
        next <= kSurrogateLast) {
      point = 0x10000 + ((point - kSurrogateFirst) << 10) + (next - kLowSurrogateFirst);
      ++i;
    } else if ((point >= kSurrogateFirst && point <= kSurrogateLast) || point > kLastCodePoint) {
      point = kReplacementCharacter;
    }
    AppendUtf8(out, point);
  }
  return out;
}

std::optional<std::string> WideToLatin1(std::wstring_view wide) {
  std::string latin1;
  latin1.reserve(wide.size());
  for (const wchar_t unit : wide) {
    if (UnitValue(unit) > kLastLatin1) return std::nullopt;
    latin1.push_back(static_cast<char>(UnitValue(unit)));
  }
  return latin1;
}
