#include "script_tool/message_text.h"

#include "names/text_conversions.h"
#include "script_tool/visible_text.h"

namespace {

// Shows as a character of its own in a message: printable ASCII (the space
// included) and Latin-1 from 0xA1 on.
bool Shows(unsigned char byte) { return (byte >= 0x20 && byte < 0x7F) || byte > 0xA0; }

std::string HexByte(unsigned char byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[byte >> 4] + kDigits[byte & 0x0F];
}

// A character that does not show, in words.
std::string HiddenInWords(unsigned char byte) {
  switch (byte) {
    case '\t':
      return "a TAB";
    case '\r':
      return "a CR";
    case '\n':
      return "an LF";
    case '\0':
      return "a NUL";
    case 0xA0:
      return "a no-break space";
    default:
      return "the control character " + HexByte(byte);
  }
}

}  // namespace

std::string ByteInWords(unsigned char byte) {
  if (byte == '"') return "a quotation mark";
  if (byte == ' ') return "a space";
  if (!Shows(byte)) return HiddenInWords(byte);
  return "'" + Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(&byte), 1)) + "'";
}

std::string QuotedText(std::string_view bytes) {
  std::string out;
  bool open = false;  // inside a quoted piece
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (Shows(byte)) {
      if (!open) out += out.empty() ? "\"" : ", \"";
      open = true;
      out += Latin1ToUtf8(bytes.substr(i, 1));
      continue;
    }
    if (open) out += '"';
    open = false;
    if (!out.empty()) out += ", ";
    out += HiddenInWords(byte);
  }
  if (open) out += '"';
  return out.empty() ? "\"\"" : out;
}
