// Windows' name rules and the text conversions (src/names): one table of
// cases for each, each failure naming its row.
#include "names/windows_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "names/text_conversions.h"

namespace {

using std::string_literals::operator""s;
using Kind = PathProblemKind;

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::None: return "none";
    case Kind::Empty: return "empty";
    case Kind::ControlCharacter: return "control character";
    case Kind::C1Character: return "C1 character";
    case Kind::NotFullPath: return "not a full path";
    case Kind::ForbiddenCharacter: return "forbidden character";
    case Kind::NameEnd: return "name end";
    case Kind::DeviceName: return "device name";
    case Kind::NamesFolder: return "names a folder";
    case Kind::DotName: return "dot name";
    case Kind::TooLong: return "too long";
  }
  return "?";
}

TEST(WindowsNames, FirstCopyPathProblem) {
  const std::string long259 = "C:\\" + std::string(256, 'x');
  const CopyRole S = CopyRole::Source;
  const CopyRole T = CopyRole::Target;
  const struct {
    const char* row;
    std::string path;
    CopyRole role;
    Kind kind;
    std::size_t begin;  // of the bytes concerned, when there is a problem
  } rows[] = {
      // Full paths, and what is not one.
      {"drive", "C:\\app\\a.txt", T, Kind::None, 0},
      {"drive with slashes", "d:/app/a.txt", T, Kind::None, 0},
      {"share", "\\\\srv\\share\\a.txt", T, Kind::None, 0},
      {"Latin-1 letters", "C:\\caf\xE9\\\xFF\xDF.txt", T, Kind::None, 0},
      {"empty", "", T, Kind::Empty, 0},
      {"relative", "a.txt", S, Kind::NotFullPath, 0},
      {"rooted without a drive", "\\a.txt", S, Kind::NotFullPath, 0},
      {"drive without a separator", "C:a.txt", S, Kind::NotFullPath, 0},
      {"server without a share", "\\\\srv", S, Kind::NotFullPath, 0},
      {"server and an empty share", "\\\\srv\\", S, Kind::NotFullPath, 0},
      // Characters.
      {"TAB inside", "C:\\a\tb", T, Kind::ControlCharacter, 4},
      {"TAB at the end", "C:\\a\t", T, Kind::ControlCharacter, 4},
      {"NUL", "C:\\a\0b"s, T, Kind::ControlCharacter, 4},
      {"0x1F", "C:\\a\x1F", T, Kind::ControlCharacter, 4},
      {"a control character before the drive", "\x01" "C:\\a", T, Kind::ControlCharacter, 0},
      {"C1 0x85", "C:\\a\x85" "b", T, Kind::C1Character, 4},
      {"C1 0x9F", "C:\\a\x9F", T, Kind::C1Character, 4},
      {"0xA0 is a character", "C:\\a\xA0" "b", T, Kind::None, 0},
      {"<", "C:\\a<b", T, Kind::ForbiddenCharacter, 4},
      {">", "C:\\a>b", T, Kind::ForbiddenCharacter, 4},
      {"quote", "C:\\a\"b", T, Kind::ForbiddenCharacter, 4},
      {"|", "C:\\a|b", T, Kind::ForbiddenCharacter, 4},
      {"?", "C:\\a?b", T, Kind::ForbiddenCharacter, 4},
      {"*", "C:\\a*b", T, Kind::ForbiddenCharacter, 4},
      {"a colon not a drive's", "C:\\a:b", T, Kind::ForbiddenCharacter, 4},
      {"a colon in a server name", "\\\\s:v\\share\\a", T, Kind::ForbiddenCharacter, 3},
      // Names.
      {"ends in a dot", "C:\\a.", T, Kind::NameEnd, 4},
      {"ends in a blank", "C:\\a ", T, Kind::NameEnd, 4},
      {"a folder ends in a dot", "C:\\dir.\\a", S, Kind::NameEnd, 6},
      {"three dots", "C:\\...\\a", S, Kind::NameEnd, 5},
      {"dot names inside a target", "C:\\a\\..\\.\\b", T, Kind::DotName, 5},
      {"\".\" inside a target", "C:\\a\\.\\b", T, Kind::DotName, 5},
      {"\"..\" right after the drive", "C:\\..\\b", T, Kind::DotName, 3},
      {"\"..\" inside a source leads to a file", "C:\\a\\..\\b", S, Kind::None, 0},
      {"\"...\" is a name of its own", "C:\\a\\...b\\c", T, Kind::None, 0},
      {"CON", "C:\\CON", T, Kind::DeviceName, 3},
      {"con.txt", "C:\\x\\con.txt", T, Kind::DeviceName, 5},
      {"blanks before the extension", "C:\\CON  .log", T, Kind::DeviceName, 3},
      {"aux as a folder", "C:\\aux\\a.txt", S, Kind::DeviceName, 3},
      {"Nul", "C:\\Nul", T, Kind::DeviceName, 3},
      {"PRN", "C:\\prn.x", T, Kind::DeviceName, 3},
      {"COM1", "C:\\com1", T, Kind::DeviceName, 3},
      {"COM9", "C:\\COM9.dat", T, Kind::DeviceName, 3},
      {"COM superscript one", "C:\\COM\xB9.txt", T, Kind::DeviceName, 3},
      {"COM superscript two", "C:\\COM\xB2", T, Kind::DeviceName, 3},
      {"COM superscript three", "C:\\com\xB3", T, Kind::DeviceName, 3},
      {"LPT superscript three", "C:\\LPT\xB3.log", T, Kind::DeviceName, 3},
      {"LPT1", "C:\\LPT1", T, Kind::DeviceName, 3},
      {"CONIN$", "C:\\app\\CONIN$", T, Kind::DeviceName, 7},
      {"conout$.txt", "C:\\conout$.txt", T, Kind::DeviceName, 3},
      {"COM0 is no device", "C:\\COM0", T, Kind::None, 0},
      {"COM10 is no device", "C:\\COM10", T, Kind::None, 0},
      {"console is no device", "C:\\console", T, Kind::None, 0},
      {"CONIN is no device", "C:\\CONIN", T, Kind::None, 0},
      {"COM with superscript zero-like 0xB0", "C:\\COM\xB0", T, Kind::None, 0},
      {"a device name before a bad end", "C:\\con\\a.", T, Kind::DeviceName, 3},
      {"a bad end before a device name", "C:\\a.\\con", T, Kind::NameEnd, 4},
      // Targets naming a folder.
      {"target ends in a backslash", "C:\\app\\", T, Kind::NamesFolder, 6},
      {"target ends in a slash", "C:\\app/", T, Kind::NamesFolder, 6},
      {"target ends in \\.", "C:\\app\\.", T, Kind::NamesFolder, 7},
      {"target ends in \\..", "C:\\app\\..", T, Kind::NamesFolder, 7},
      {"the drive's root", "C:\\", T, Kind::NamesFolder, 2},
      {"a source ending in \\. is not this rule", "C:\\app\\.", S, Kind::None, 0},
      // Length.
      {"259 characters", long259, T, Kind::None, 0},
      {"260 characters", long259 + "x", T, Kind::TooLong, 0},
      // The verbatim form.
      {"verbatim device name", "\\\\?\\C:\\app\\con", T, Kind::None, 0},
      {"verbatim name end", "\\\\?\\C:\\app\\a.", T, Kind::None, 0},
      {"verbatim and long", "\\\\?\\C:\\" + std::string(300, 'x'), T, Kind::None, 0},
      {"verbatim and forbidden", "\\\\?\\C:\\a?b", T, Kind::ForbiddenCharacter, 8},
      {"verbatim target ending in a backslash", "\\\\?\\C:\\app\\", T, Kind::NamesFolder, 10},
      {"verbatim target with \"..\" inside", "\\\\?\\C:\\a\\..\\b", T, Kind::DotName, 9},
  };
  for (const auto& row : rows) {
    const PathProblem problem = FirstCopyPathProblem(row.path, row.role);
    EXPECT_STREQ(KindName(problem.Kind), KindName(row.kind)) << row.row << ": " << problem.Detail;
    if (problem) {
      EXPECT_EQ(problem.Begin, row.begin) << row.row;
      EXPECT_FALSE(problem.Detail.empty()) << row.row;
    }
  }
}

// Windows folds Latin-1 letters: every ASCII letter with its capital, the
// accented ones too; never the division and multiplication signs, nor ß and
// ÿ, which lie 0x20 apart as well.
TEST(WindowsNames, SamePathForWindows) {
  const struct {
    const char* row;
    std::string a, b;
    bool same;
  } rows[] = {
      {"separators", "C:\\app/a", "c:/APP\\A", true},
      {"e acute", "C:\\\xE9", "C:\\\xC9", true},
      {"a grave", "C:\\\xE0", "C:\\\xC0", true},
      {"thorn", "C:\\\xFE", "C:\\\xDE", true},
      {"division and multiplication", "C:\\\xF7", "C:\\\xD7", false},
      {"y diaeresis and sharp s", "C:\\\xFF", "C:\\\xDF", false},
      {"micro sign and its neighbour", "C:\\\xB5", "C:\\\x95", false},
      {"@ and `", "C:\\@", "C:\\`", false},
      {"[ and {", "C:\\[", "C:\\{", false},
      {"lengths", "C:\\a", "C:\\a ", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SamePathForWindows(row.a, row.b), row.same) << row.row;
    EXPECT_EQ(SamePathForWindows(row.b, row.a), row.same) << row.row << ", swapped";
  }
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    const std::string small(1, letter);
    const std::string capital(1, static_cast<char>(letter - 'a' + 'A'));
    EXPECT_TRUE(SamePathForWindows(small, capital)) << small;
    EXPECT_EQ(FoldName(small), capital) << small;
  }
  const struct {
    wchar_t unit, folded;
  } units[] = {{L'z', L'Z'}, {0xE9, 0xC9}, {0xFF, 0x178}, {0xB5, 0x39C},
               {0xF7, 0xF7}, {0xDF, 0xDF}, {0x100, 0x100}, {L'1', L'1'}};
  for (const auto& u : units) {
    EXPECT_EQ(static_cast<int>(FoldNameUnit(u.unit)), static_cast<int>(u.folded))
        << static_cast<int>(u.unit);
  }
}

// What shows stays in quotation marks; what would not, or could be
// mistaken, is named in words outside them, which no literal text in the name
// can imitate.
TEST(WindowsNames, QuotesWhatShowsAndSaysTheRestInWords) {
  const struct {
    std::string bytes, said;
  } rows[] = {
      {"menu.txt", "\"menu.txt\""},
      {"", "\"\""},
      {"menu.txt\t", "\"menu.txt\", a TAB"},
      {"menu.txt<TAB>", "\"menu.txt<TAB>\""},
      {"\ta ", "a TAB, \"a \""},
      {"a\r", "\"a\", a CR"},
      {std::string("a\0\x1B", 3), "\"a\", a NUL, the control character 0x1B"},
      {"a\x1B" "b", "\"a\", the control character 0x1B, \"b\""},
      {"\x7F\x85\xA0\xAD",
       "the control character 0x7F, the control character 0x85, a no-break space, a soft hyphen"},
      {"a\"b", "\"a\", a quotation mark, \"b\""},
      {"caf\xE9", "\"caf\xC3\xA9\""},
  };
  for (const auto& row : rows) EXPECT_EQ(QuotedText(row.bytes), row.said) << row.said;
  const struct {
    char byte;
    std::string said;
  } bytes[] = {
      {'Y', "'Y'"},       {'"', "a quotation mark"}, {' ', "a space"},   {'\'', "an apostrophe"},
      {'\t', "a TAB"},    {'\0', "a NUL"},           {'\x1B', "the control character 0x1B"},
      {'\xE9', "'\xC3\xA9'"},
  };
  for (const auto& row : bytes) EXPECT_EQ(ByteInWords(row.byte), row.said) << row.said;
}

TEST(TextConversions, BetweenLatin1Utf8AndWide) {
  const struct {
    const char* row;
    std::string latin1, utf8;
  } both[] = {
      {"ASCII", "menu.txt", "menu.txt"},
      {"e acute", "caf\xE9", "caf\xC3\xA9"},
      {"the edges", "\x01\x7F\x80\xFF", "\x01\x7F\xC2\x80\xC3\xBF"},
  };
  for (const auto& row : both) {
    EXPECT_EQ(Latin1ToUtf8(row.latin1), row.utf8) << row.row;
    EXPECT_EQ(Utf8ToLatin1(row.utf8), row.latin1) << row.row;
    const std::optional<std::wstring> wide = Utf8ToWide(row.utf8);
    ASSERT_TRUE(wide) << row.row;
    EXPECT_EQ(WideToLatin1(*wide), row.latin1) << row.row;
    EXPECT_EQ(WideToUtf8(*wide), row.utf8) << row.row;
  }
  const struct {
    const char* row;
    std::string utf8;
    bool utf8Valid;  // Utf8ToWide takes it; Utf8ToLatin1 takes none of these
  } notLatin1[] = {
      {"U+0100", "\xC4\x80", true},
      {"the euro sign", "\xE2\x82\xAC", true},
      {"the oe ligature", "\xC5\x93", true},
      {"beyond the BMP", "\xF0\x9F\x98\x80", true},
      {"a Latin-1 byte alone", "caf\xE9", false},
      {"an overlong slash", "\xC0\xAF", false},
      {"a surrogate", "\xED\xA0\x80", false},
      {"cut short", "\xC3", false},
      {"a lead byte before ASCII", "\xC3\x41", false},
  };
  for (const auto& row : notLatin1) {
    EXPECT_FALSE(Utf8ToLatin1(row.utf8)) << row.row;
    const std::optional<std::wstring> wide = Utf8ToWide(row.utf8);
    EXPECT_EQ(wide.has_value(), row.utf8Valid) << row.row;
    if (wide) {
      EXPECT_EQ(WideToUtf8(*wide), row.utf8) << row.row;
      EXPECT_FALSE(WideToLatin1(*wide)) << row.row;
    }
  }
  EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD")
      << "a lone surrogate";
  EXPECT_EQ(WideToLatin1(std::wstring(1, static_cast<wchar_t>(0xFF))), "\xFF");
}

}  // namespace
