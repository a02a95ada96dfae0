#pragma once
// The check functions behind the rules of lint_rules.cpp. Each looks at the
// whole script and reports through the sink of its own rule.

#include "script_tool/lint_rules.h"

// lint_checks_text.cpp: the bytes and the encoding.
void CheckUtf8Mark(const LintScript& script, FindingSink& sink);
void CheckWideMark(const LintScript& script, FindingSink& sink);
void CheckNulBytes(const LintScript& script, FindingSink& sink);
void CheckEndOfDataByte(const LintScript& script, FindingSink& sink);
void CheckC1Bytes(const LintScript& script, FindingSink& sink);
void CheckUtf8Sequences(const LintScript& script, FindingSink& sink);
void CheckLoneCarriageReturns(const LintScript& script, FindingSink& sink);
void CheckEmptyScript(const LintScript& script, FindingSink& sink);
void CheckLatin1Characters(const LintScript& script, FindingSink& sink);
void CheckMixedLineEnds(const LintScript& script, FindingSink& sink);

// lint_checks_commands.cpp: keywords, the shape of a line, the order.
void CheckKeywordCase(const LintScript& script, FindingSink& sink);
void CheckKeywordSpelling(const LintScript& script, FindingSink& sink);
void CheckCopyWithoutSeparator(const LintScript& script, FindingSink& sink);
void CheckEmptySource(const LintScript& script, FindingSink& sink);
void CheckEmptyTarget(const LintScript& script, FindingSink& sink);
void CheckRunTooLong(const LintScript& script, FindingSink& sink);
void CheckRunOfReplacedProgram(const LintScript& script, FindingSink& sink);
void CheckSpaceSeparator(const LintScript& script, FindingSink& sink);
void CheckUnquotedProgramWithSpace(const LintScript& script, FindingSink& sink);
void CheckRunBeforeLastCopy(const LintScript& script, FindingSink& sink);
void CheckNeitherCopyNorRun(const LintScript& script, FindingSink& sink);

// lint_checks_paths.cpp: the names a COP line and a RUN line give Windows.
void CheckForbiddenCharacters(const LintScript& script, FindingSink& sink);
void CheckNameEnds(const LintScript& script, FindingSink& sink);
void CheckDeviceNames(const LintScript& script, FindingSink& sink);
void CheckPathLength(const LintScript& script, FindingSink& sink);
void CheckTargetIsFolder(const LintScript& script, FindingSink& sink);
void CheckSourceIsTarget(const LintScript& script, FindingSink& sink);
void CheckRelativePaths(const LintScript& script, FindingSink& sink);
void CheckSameTargetTwice(const LintScript& script, FindingSink& sink);
