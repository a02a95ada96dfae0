#pragma once
// The check functions behind the rules of lint_rules.cpp, each reporting
// through the sink of its own rule. Most look at one line at a time (all of
// them run on a line before the next, so that a long script is read once); the
// rest look at the whole script.

#include <string>
#include <string_view>

#include "app/update_messages.h"
#include "script_tool/lint/lint_rules.h"

// "the updater stops at its checks with "<question>", naming <name>": the
// question is the first words of one of the updater's (app/update_messages.h),
// and the name is quoted already.
std::string StopsAtChecks(std::wstring_view question, std::string_view name);

// lint_checks_text.cpp: the bytes and the encoding.
void CheckUtf8Mark(const LintScript& script, FindingSink& sink);
void CheckWideMark(const LintScript& script, FindingSink& sink);
void CheckNotText(const LintScript& script, FindingSink& sink);
void CheckNulBytes(const LintLine& line, FindingSink& sink);
void CheckEndOfDataByte(const LintScript& script, FindingSink& sink);
void CheckC1Bytes(const LintLine& line, FindingSink& sink);
void CheckUtf8Sequences(const LintScript& script, FindingSink& sink);
void CheckLoneCarriageReturns(const LintLine& line, FindingSink& sink);
void CheckEmptyScript(const LintScript& script, FindingSink& sink);
void CheckLatin1Characters(const LintScript& script, FindingSink& sink);
void CheckMixedLineEnds(const LintScript& script, FindingSink& sink);

// lint_checks_commands.cpp: keywords, the shape of a line, the order.
void CheckKeywordCase(const LintLine& line, FindingSink& sink);
void CheckKeywordSpelling(const LintLine& line, FindingSink& sink);
void CheckStrayByteAfterKeyword(const LintLine& line, FindingSink& sink);
void CheckRunStartingNothing(const LintLine& line, FindingSink& sink);
void CheckCopyWithoutSeparator(const LintLine& line, FindingSink& sink);
void CheckEmptySource(const LintLine& line, FindingSink& sink);
void CheckEmptyTarget(const LintLine& line, FindingSink& sink);
void CheckRunTooLong(const LintLine& line, FindingSink& sink);
void CheckRunOfReplacedProgram(const LintScript& script, FindingSink& sink);
void CheckSpaceSeparator(const LintLine& line, FindingSink& sink);
void CheckUnquotedProgramWithSpace(const LintLine& line, FindingSink& sink);
void CheckRunBeforeLastCopy(const LintScript& script, FindingSink& sink);
void CheckNeitherCopyNorRun(const LintLine& line, FindingSink& sink);

// lint_checks_paths.cpp: the names a COP line and a RUN line give Windows.
void CheckForbiddenCharacters(const LintLine& line, FindingSink& sink);
void CheckNameEnds(const LintLine& line, FindingSink& sink);
void CheckDeviceNames(const LintLine& line, FindingSink& sink);
void CheckPathLength(const LintLine& line, FindingSink& sink);
void CheckTargetIsFolder(const LintLine& line, FindingSink& sink);
void CheckDotNamesInTargets(const LintLine& line, FindingSink& sink);
void CheckSourceIsTarget(const LintLine& line, FindingSink& sink);
void CheckRelativePaths(const LintLine& line, FindingSink& sink);
void CheckSameTargetTwice(const LintScript& script, FindingSink& sink);
void CheckTemporaryFileTargets(const LintScript& script, FindingSink& sink);
