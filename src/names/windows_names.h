#pragma once
// Windows' rules for the names a script hands it, over the script's own bytes:
// one byte a character (Latin-1), as WidenText passes them to the system. The
// writer, lint, make, verify and preflight all ask here, so that what one of
// them accepts the others accept too. No Windows header: the rules are
// checked on Linux for what the updater will meet on Windows.

#include <cstddef>
#include <string>
#include <string_view>

// MAX_PATH counts the terminator: a path of this many units or more fails in
// the file calls the updater makes (one unit per script byte).
inline constexpr std::size_t kMaxPathUnits = 260;
// The longest name of one file, in units (lpMaximumComponentLength of NTFS).
inline constexpr std::size_t kMaxNameUnits = 255;

// CreateDirectoryW refuses a new folder whose full path, without the
// terminator, is this many units or more (ERROR_FILENAME_EXCED_RANGE): "There
// is a default string size limit for paths of 248 characters. This limit is
// related to how the CreateDirectory function parses paths" (Microsoft Learn,
// CreateDirectoryW). That is MAX_PATH less room for an 8.3 file name in the
// folder. Wine 8 creates such folders: only Windows shows the limit.
inline constexpr std::size_t kMaxNewFolderUnits = 248;

// A path in this form reaches the file system as it stands: no length limit,
// no trailing blanks or dots dropped, no device names. "\\?\C:\..." or
// "\\?\UNC\server\share\...".
inline constexpr std::string_view kVerbatimPrefix = "\\\\?\\";
inline constexpr std::wstring_view kWideVerbatimPrefix = L"\\\\?\\";
// Such a path is bounded only by the system's string length
// (UNICODE_STRING counts bytes in 16 bits), less the terminator.
inline constexpr std::size_t kMaxVerbatimPathUnits = 32766;

// ASCII letters alone: keywords, extensions and rule codes are ASCII, and
// FoldNameByte is for names.
constexpr bool IsAsciiLetter(char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}
constexpr char AsciiUpper(char byte) {
  return byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : byte;
}
constexpr char AsciiLower(char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

// '\' and '/' both separate names to Windows.
constexpr bool IsPathSeparator(char byte) { return byte == '\\' || byte == '/'; }
bool IsVerbatimPath(std::string_view path);

// "C:\..." (either separator) or "\\server\share\...": a path that means the
// same file whatever the updater's working folder. Verbatim paths are of the
// second form.
bool IsFullPath(std::string_view path);

// < > " | ? * : and the control characters 0x00 to 0x1F (TAB, CR, LF and
// NUL among them): none may stand in a name, and a colon only after a drive
// letter.
bool IsForbiddenInNames(char byte);

// 0x80 to 0x9F: control characters in Latin-1. In a script they are all but
// certainly a Windows-1252 or UTF-8 text read byte by byte.
bool IsC1Control(char byte);

// "." and "..": a name of the path's own folder or of the one above.
bool IsDotName(std::string_view name);

// The name's last byte is a blank or a dot (which Windows drops, so another
// file is meant) or a TAB (which it refuses). "." and ".." are not such names.
bool EndsNameBadly(std::string_view name);

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 (also with the Latin-1
// superscript digits ¹ ² ³), CONIN$ and CONOUT$, in any case: Windows opens
// the device in every folder, whatever extension follows and whatever blanks
// stand before it.
bool IsDeviceName(std::string_view name);

// A Latin-1 letter in capitals, as Windows folds names when it compares them:
// a-z and the accented small letters (not the division sign; nor ÿ or µ,
// whose capitals lie beyond Latin-1). Every other byte as it is.
constexpr char FoldNameByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  const bool asciiSmall = value >= 'a' && value <= 'z';
  // 0xF7 is the division sign, 0xFF the y with diaeresis.
  const bool latin1Small = value >= 0xE0 && value != 0xF7 && value != 0xFF;
  return asciiSmall || latin1Small ? static_cast<char>(value - 0x20) : byte;
}
std::string FoldName(std::string_view latin1);
// The same for wide text, on to the capitals beyond Latin-1: ÿ is Ÿ (U+0178)
// and µ is Greek Mu (U+039C). Units beyond Latin-1 are left as they are.
wchar_t FoldNameUnit(wchar_t unit);
std::wstring FoldWideName(std::wstring_view name);

// The two paths name the same file for Windows, byte by byte: letters folded,
// '/' as '\'.
bool SamePathForWindows(std::string_view a, std::string_view b);

// Script bytes in a message, UTF-8, for lint and for the name rules' own
// details below, which the writer and make pass on. What shows stands in quotation marks; a character that
// would not show, or could be mistaken (a quotation mark), is named in words
// outside them, so that no literal text can read like it: print's "<TAB>"
// can be typed into a script, "a TAB" outside the quotes cannot.
//
// One byte: "'Y'", "a quotation mark", "a space", "a TAB", "a CR", "a NUL",
// "the control character 0x1B", "the control character 0x85", "a no-break
// space"; a Latin-1 letter as itself, in quotes.
std::string ByteInWords(char byte);
// A text: "\"C:\app\a\", a TAB, \"b\"". Blanks stay in the quotes, where the
// closing mark shows them. An empty text is "\"\"".
std::string QuotedText(std::string_view latin1);

enum class PathProblemKind {
  None,
  Empty,
  ControlCharacter,  // 0x00 to 0x1F
  C1Character,       // 0x80 to 0x9F
  NotFullPath,
  ForbiddenCharacter,  // < > " | ? * or a colon not a drive's
  NameEnd,             // a name ends in a blank, a dot or a TAB
  DeviceName,
  NamesFolder,  // a target ending in a separator, "." or ".."
  DotName,      // a target with "." or ".." before its last name
  TooLong,
};

// One problem of a path: its kind, the bytes [Begin, End) of the path it
// concerns, and a clause for a message ("the name \"notes.\" ends in a dot"),
// UTF-8. Kind None (false) for no problem.
struct PathProblem {
  PathProblemKind Kind = PathProblemKind::None;
  std::size_t Begin = 0;
  std::size_t End = 0;
  std::string Detail;
  explicit operator bool() const { return Kind != PathProblemKind::None; }
};

enum class CopyRole { Source, Target };

// The first control character (0x00 to 0x1F) or forbidden character at from
// or after it, past a verbatim prefix and a drive's colon; nothing if none.
PathProblem FindForbiddenCharacter(std::string_view path, std::size_t from = 0);
// The first C1 control character.
PathProblem FindC1Character(std::string_view path);
// The first name ending in a blank, a dot or a TAB; nothing for a verbatim
// path, whose names reach the file system as they stand.
PathProblem FindNameEnd(std::string_view path);
// The first name that is a device name; nothing for a verbatim path.
PathProblem FindDeviceName(std::string_view path);
// A path of kMaxPathUnits or more that is not verbatim.
PathProblem FindLengthProblem(std::string_view path);
// A path ending in a separator, or in the name "." or "..": it names a
// folder, which no file can be copied over.
PathProblem FindFolderName(std::string_view path);
// The first "." or ".." name before a path's last name. Windows resolves it
// ("C:\App\..\Other\a.dll" is "C:\Other\a.dll"), so the file meant is not
// the one the text spells, and no comparison of targets by their bytes (the
// same target twice, a temporary file's name, the folders to create) sees it.
PathProblem FindDotNameInside(std::string_view path);
// A folder path (full, as CreateDirectoryW gets it) of kMaxNewFolderUnits or
// more that is not verbatim: Windows creates no such folder.
PathProblem FindNewFolderLengthProblem(std::string_view folder);

// The first thing that stops a copy path from naming the one file it is
// meant to, in this order: empty, a control or C1 character, not a full
// path, a forbidden character, a bad name end or a device name (whichever
// comes first in the path), a target naming a folder, a target with a dot
// name inside, the length. What lint calls an error in a path is here, and
// the writer and make refuse it.
PathProblem FirstCopyPathProblem(std::string_view path, CopyRole role);

// A folder's path as Windows compares it: names folded, one backslash between
// them whatever separators were written, so that two spellings of one folder
// give one key.
std::string FolderCompareKey(std::string_view folder);
