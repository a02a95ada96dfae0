// What a file holds before lint reads it as a script: UTF-16 without its
// mark, or no text at all.
#include "script_tool/lint/file_kind.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using std::string_literals::operator""s;

TEST(FileKind, UnmarkedUtf16IsToldByItsNuls) {
  const std::string tenLetters = "a\0b\0c\0d\0e\0f\0g\0h\0i\0"s;
  const struct {
    const char* row;
    std::string bytes;
    const char* guess;
  } rows[] = {
      {"ASCII as UTF-16 LE", "C\0O\0P\0\t\0a\0\r\0\n\0"s, "UTF-16 LE"},
      {"ASCII as UTF-16 BE", "\0C\0O\0P\0\t\0a\0\r\0\n"s, "UTF-16 BE"},
      {"an accent in UTF-16 LE", "c\0a\0f\0\xE9\0"s, "UTF-16 LE"},
      {"one character in ten that breaks the pattern", tenLetters + "\x2D\x4E"s, "UTF-16 LE"},
      {"two in ten", tenLetters.substr(4) + "\x2D\x4E\x2D\x4E"s, ""},
      {"a single character", "C\0"s, ""},
      {"Latin-1 text", "COP\tC:\\a\tC:\\b\r\n", ""},
      {"NULs alone", "\0\0\0\0\0\0"s, ""},
      {"a NUL now and then", "ab\0cd\0ef\0"s, ""},
  };
  for (const auto& row : rows) EXPECT_EQ(GuessUnmarkedUtf16(row.bytes), row.guess) << row.row;
}

TEST(FileKind, ProgramsArchivesPicturesAndNulLinesAreNotText) {
  const struct {
    const char* row;
    std::string bytes;
    std::size_t lines, linesWithNul;
    const char* why;  // empty: text
  } rows[] = {
      {"a Windows program", "MZ\x90\0\x03\0"s, 1, 1, "it starts as a Windows program (MZ)"},
      {"MZ as letters", "MZ menu\nCOP", 2, 0, ""},
      {"MZ with a NUL far behind", "MZ" + std::string(100, 'x') + "\0"s, 1, 1, ""},
      {"a Linux program", "\x7F" "ELF\x02\x01", 1, 0, "it starts as a Linux program (ELF)"},
      {"a ZIP archive", "PK\x03\x04\x14\0"s, 1, 1, "it starts as a ZIP archive (PK)"},
      {"a PDF", "%PDF-1.4\n", 1, 0, "it starts as a PDF document"},
      {"a PNG", "\x89PNG\r\n\x1A\n", 2, 0, "it starts as a PNG picture"},
      {"NULs in most lines", "x", 4, 3, "NUL bytes in 3 of its 4 lines"},
      {"NULs in half the lines", "x", 6, 3, ""},
      {"NULs in two lines of two", "x", 2, 2, ""},
      {"text", "COP\ta\tb\n", 1, 0, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(WhyNotText(row.bytes, row.lines, row.linesWithNul), row.why) << row.row;
  }
}

}  // namespace
