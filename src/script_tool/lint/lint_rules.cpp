#include "script_tool/lint/lint_rules.h"

#include <algorithm>
#include <tuple>

#include "names/windows_names.h"
#include "script_tool/lint/lint_checks.h"

namespace {

constexpr std::string_view kDetailMark = "{}";

// Codes: DS001-DS039 errors, DS041-DS079 warnings, DS081-DS099 info, by the
// severity a rule was made with. A new rule takes the next free code of its
// severity; no code is ever reused. A rule whose severity changed keeps its
// code (DS006, DS015), and its section of the rules page says so.
const std::vector<LintRule> kRules = {
    {"DS001", Severity::Error, "Keyword in the wrong case",
     "{} is not a keyword, for keywords are upper case: the updater does nothing for this line; "
     "write \"COP\" or \"RUN\"",
     "write the keyword in capitals: COP or RUN", CheckKeywordCase},
    {"DS002", Severity::Error, "Misspelt keyword",
     "{}; write \"COP\" or \"RUN\", then one TAB",
     "write COP or RUN, then one TAB", CheckKeywordSpelling},
    {"DS003", Severity::Error, "COP without a separator",
     "a COP line with no TAB or space after its source: {}; write COP, TAB, source, TAB, target",
     "COP<TAB>source<TAB>target", CheckCopyWithoutSeparator},
    {"DS004", Severity::Error, "Empty source",
     "an empty source: {}; write one separator after the keyword, then the source",
     "COP<TAB>source<TAB>target", CheckEmptySource},
    {"DS005", Severity::Error, "Empty target",
     "an empty target: {}; write the target after the separator",
     "COP<TAB>source<TAB>target", CheckEmptyTarget},
    {"DS006", Severity::Info, "UTF-8 byte-order mark",
     "a UTF-8 byte-order mark at the very start: the updater skips it and reads the script from "
     "the byte after it",
     "nothing to do; other tools may want the script saved without it", CheckUtf8Mark},
    {"DS007", Severity::Error, "UTF-16 or UTF-32 script",
     "{}: the updater reads the script byte by byte, so no line is COP or RUN: "
     "it copies and starts nothing, and deletes the script; save it as Latin-1 text",
     "save as Latin-1 (or ASCII) text", CheckWideMark},
    {"DS008", Severity::Error, "NUL byte",
     "{}; remove it",
     "remove the NUL byte", CheckNulBytes},
    {"DS009", Severity::Error, "0x1A before the end",
     "a byte 0x1A: the updater takes it for the end of the script and never reads the {} bytes "
     "after it, nor carries out what they say; remove it",
     "remove the byte 0x1A", CheckEndOfDataByte},
    {"DS010", Severity::Error, "Character Windows forbids in a name",
     "{}: the updater's checks or its copy fail on this path; remove or replace it",
     "no < > \" | ? * or control characters in a name, and a colon only after the drive letter",
     CheckForbiddenCharacters},
    {"DS011", Severity::Error, "Name ending in a space, a dot or a TAB",
     "{}: Windows drops trailing spaces and dots, so another file is meant, and refuses a TAB; "
     "remove them",
     "end every name with a character that shows", CheckNameEnds},
    {"DS012", Severity::Error, "Reserved device name",
     "{}, whatever its extension: the updater would open the device, not a file; choose another "
     "name",
     "rename the file: not CON, PRN, AUX, NUL, COM1-9 or LPT1-9 (superscript digits too), "
     "CONIN$ or CONOUT$",
     CheckDeviceNames},
    {"DS013", Severity::Error, "Path of 260 characters or more",
     "{}: the updater's file calls fail on 260 or more; shorten it",
     "shorten the path below 260 characters", CheckPathLength},
    {"DS014", Severity::Error, "Target naming a folder",
     "{}: the updater cannot copy a file over a folder and stops at its checks; name the target "
     "file itself",
     "write the target's full file name, not ending in \\, \\. or \\..", CheckTargetIsFolder},
    {"DS015", Severity::Warning, "Source equal to target",
     "the source is the target: the updater copies the file onto itself, through a temporary "
     "copy, and leaves it as it was, so the line does nothing; name the new file as the source",
     "copy from the new file", CheckSourceIsTarget},
    {"DS016", Severity::Error, "RUN of 256 characters or more",
     "a command line of {} characters: the updater starts none of 256 or more, so it starts "
     "nothing here, and says nothing; shorten it",
     "shorten the command line below 256 characters", CheckRunTooLong},
    {"DS017", Severity::Error, "RUN of a program that a later COP replaces",
     "the COP of line {} replaces this program: started first, it is running when that copy "
     "comes, and the copy over a running program fails, which ends the run with \"Command "
     "failed\"; put the RUN after the COP",
     "move the RUN line below the COP lines", CheckRunOfReplacedProgram},
    {"DS018", Severity::Error, "C1 control byte",
     "{}: the updater reads each byte as Latin-1, where 0x80 to 0x9F are control characters, and "
     "passes it on in the name, which is not the one a Windows-1252 or UTF-8 editor showed; save "
     "the script as Latin-1 (ISO 8859-1)",
     "save as Latin-1 (ISO 8859-1)", CheckC1Bytes},
    {"DS019", Severity::Error, "RUN that starts nothing",
     "{}: the updater starts nothing; write the program right after RUN and one TAB",
     "RUN<TAB>\"C:\\...\\program.exe\" arguments", CheckRunStartingNothing},
    {"DS020", Severity::Error, "Not a text file",
     "the file is not text: {}; the updater finds no COP or RUN line in it, so it copies and "
     "starts nothing, and deletes the file; give the updater the script instead",
     "name the script, a text file of COP and RUN lines", CheckNotText},
    {"DS021", Severity::Error, "Target named as another target's temporary file",
     "the copy to {} first writes its new bytes to a temporary file of this target's name, then "
     "renames that over its own target: it overwrites this file and renames it away; rename "
     "this file",
     "give the file a name that no copy's temporary file takes", CheckTemporaryFileTargets},
    {"DS022", Severity::Error, "Dot name inside a target",
     "{}: Windows resolves it, so the copy goes to a file the line does not spell out, which "
     "the rules that compare targets by name cannot see; write the target's path without it",
     "write the target's full path without \\.\\ or \\..\\", CheckDotNamesInTargets},

    {"DS041", Severity::Warning, "Space as separator, and spaces after it",
     "the source ends at the first space ({}) and the rest of the line, spaces included, is the "
     "target: the updater copies what the bytes say, but if a name holds a space the line splits "
     "wrong; separate source and target with a TAB",
     "COP<TAB>source<TAB>target", CheckSpaceSeparator},
    {"DS042", Severity::Warning, "UTF-8 characters",
     "{}: the updater reads each byte as one character (Latin-1), so a UTF-8 name names another "
     "file; save the script as Latin-1",
     "save as Latin-1 (ISO 8859-1)", CheckUtf8Sequences},
    {"DS043", Severity::Warning, "Relative path",
     "{} is relative: the updater resolves it from its own working folder (a program also "
     "from the updater's folder and PATH), not from the script's; write the full path (C:\\... "
     "or \\\\server\\...)",
     "write the full path", CheckRelativePaths},
    {"DS044", Severity::Warning, "Unquoted program path with a space",
     "the program path {} holds a space but no quotation marks: Windows tries the name before "
     "the first space first, and starts a program of that name if there is one; put the path in "
     "quotation marks",
     "RUN \"C:\\Program Files\\...\\program.exe\" arguments", CheckUnquotedProgramWithSpace},
    {"DS045", Severity::Warning, "RUN before the last COP",
     "a RUN before the COP of line {}: the title says \"Ready, Starting...\" while files are "
     "still copied; put RUN lines after the last COP",
     "move RUN lines to the end", CheckRunBeforeLastCopy},
    {"DS046", Severity::Warning, "Line that is neither COP nor RUN",
     "{} is neither COP nor RUN: the updater does nothing for this line, yet shows \"Done\" and "
     "\"Ready, Starting...\" and takes a progress step; delete the line",
     "delete the line", CheckNeitherCopyNorRun},
    {"DS047", Severity::Warning, "Same target twice",
     "this target is already copied over on line {} (names are compared without case): the "
     "later copy wins; copy each target once",
     "keep one COP per target", CheckSameTargetTwice},
    {"DS048", Severity::Warning, "Lone CR",
     "a CR that no LF follows: the updater keeps it in the line, so what follows it joins this "
     "line's name or command line; end lines with LF or CR LF",
     "end lines with LF or CR LF", CheckLoneCarriageReturns},
    {"DS049", Severity::Warning, "Stray byte after the keyword",
     "{}; write one TAB after the keyword",
     "write COP or RUN, then one TAB", CheckStrayByteAfterKeyword},

    {"DS081", Severity::Info, "Empty script",
     "the script has no line: the updater deletes it and does nothing; write COP and RUN lines",
     "write COP and RUN lines", CheckEmptyScript},
    {"DS082", Severity::Info, "Latin-1 characters",
     "{}: each byte above 0x7F is read as the Latin-1 character shown; make sure that is the "
     "name meant",
     "check the name", CheckLatin1Characters},
    {"DS083", Severity::Info, "Mixed line ends",
     "{}: the updater reads both alike, but a mix hints at lines pasted from elsewhere; use one "
     "kind of line end",
     "use one kind of line end", CheckMixedLineEnds},
};

// Codes are typed by hand on command lines: "ds001" means DS001.
bool SameRuleCode(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiUpper(x) == AsciiUpper(y);
         });
}

std::string FillDetail(std::string_view message, std::string_view detail) {
  std::string text(message);
  const std::size_t mark = text.find(kDetailMark);
  if (mark != std::string::npos) text.replace(mark, kDetailMark.size(), detail);
  return text;
}

}  // namespace

const std::vector<LintRule>& LintRules() { return kRules; }

const LintRule* FindLintRule(std::string_view code) {
  for (const LintRule& rule : kRules) {
    if (SameRuleCode(rule.Code, code)) return &rule;
  }
  return nullptr;
}

void FindingSink::Add(std::size_t line, std::size_t column, std::size_t endColumn,
                      std::string_view detail) {
  findings_.push_back(Finding{line, column, std::max(column, endColumn), rule_.Level, rule_.Code,
                              FillDetail(rule_.Message, detail), rule_.Fix, {}});
}

bool AnyFindingAtOrAbove(const std::vector<Finding>& findings, Severity threshold) {
  return std::any_of(findings.begin(), findings.end(),
                     [&](const Finding& finding) { return finding.Level >= threshold; });
}

std::vector<Finding> LintScriptBytes(std::string_view fileBytes,
                                     const std::vector<std::string>& disabled) {
  const LintScript script = ReadLintScript(fileBytes);
  std::vector<Finding> findings;
  std::vector<std::pair<LineCheck, FindingSink>> lineChecks;
  for (const LintRule& rule : kRules) {
    if (std::any_of(disabled.begin(), disabled.end(),
                    [&](const std::string& code) { return SameRuleCode(code, rule.Code); })) {
      continue;
    }
    // Behind a UTF-16 or UTF-32 mark every byte is misread, and a file that
    // is no text has no lines to speak of: that one finding says all there
    // is to say.
    if (!script.WideMark.empty() && rule.Check.OfScript != CheckWideMark) continue;
    if (!script.NotText.empty() && rule.Check.OfScript != CheckNotText) continue;
    FindingSink sink(rule, findings);
    if (rule.Check.OfScript != nullptr) rule.Check.OfScript(script, sink);
    if (rule.Check.OfLine != nullptr) lineChecks.emplace_back(rule.Check.OfLine, sink);
  }
  for (const LintLine& line : script.Lines) {
    for (auto& [check, sink] : lineChecks) check(line, sink);
  }
  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    return std::tie(a.Line, a.Column) < std::tie(b.Line, b.Column);
  });
  return findings;
}
