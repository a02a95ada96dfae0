#include "script_tool/script_reader/visible_text.h"

#include "names/text_conversions.h"

namespace {

void AppendHexByte(std::string& out, unsigned char byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += "<0x";
  out.push_back(kDigits[byte >> 4]);
  out.push_back(kDigits[byte & 0x0F]);
  out.push_back('>');
}

}  // namespace

std::string VisibleText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 8);
  AppendVisibleText(out, bytes);
  return out;
}

void AppendVisibleText(std::string& out, std::string_view bytes) {
  std::size_t visibleEnd = bytes.size();
  while (visibleEnd > 0 && bytes[visibleEnd - 1] == ' ') --visibleEnd;

  for (std::size_t i = 0; i < bytes.size(); ++i) {
    // Runs of printable ASCII, most of any script, are copied whole.
    std::size_t plain = i;
    while (plain < visibleEnd && bytes[plain] >= 0x20 && bytes[plain] < 0x7F) ++plain;
    if (plain > i) {
      out.append(bytes, i, plain - i);
      i = plain;
      if (i == bytes.size()) break;
    }
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (i >= visibleEnd) {
      out += "<SP>";
    } else if (byte == '\t') {
      out += "<TAB>";
    } else if (byte == '\r') {
      out += "<CR>";
    } else if (byte == '\0') {
      out += "<NUL>";
    } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0xA0)) {
      AppendHexByte(out, byte);
    } else {
      AppendLatin1AsUtf8(out, bytes.substr(i, 1));
    }
  }
}
