#pragma once
// The codes of make's, verify's and preflight's findings, as data: one table
// of code, tool, severity and title, which the rules page
// (docs/lint-rules.md), the SARIF rules and the tests are read against.
// Lint's own rules are in lint/lint_rules.h, beside their checks.
//
// Codes are stable once released: a finding may be reworded, never
// renumbered. DM0xx are make's (and DS050, make's check of its own --run
// lines, named as lint's are), DV1xx verify's, DP1xx preflight's, and within
// each, as in lint, the severity a code was made with: x01-x39 errors,
// x41-x79 warnings, x81-x99 info.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "script_tool/findings/finding.h"

struct FindingCode {
  std::string_view Code;
  std::string_view Tool;  // "make", "verify" or "preflight"
  Severity Level;
  std::string_view Title;  // the heading of its rules-page section
};

// Every code of make, verify and preflight, by tool, then by code.
const std::vector<FindingCode>& ToolFindingCodes();
// Nothing for a code that is not in the table.
const FindingCode* FindToolFindingCode(std::string_view code);

// A finding of a code of the table, with the table's severity, at a line
// (0: the file as a whole) and a column (0: the whole line).
Finding CodedFinding(std::string_view code, std::size_t line, std::size_t column,
                     std::string message);

namespace make_code {
inline constexpr std::string_view kFolderUnreadable = "DM001";
inline constexpr std::string_view kEntryUnusable = "DM002";
inline constexpr std::string_view kSymbolicLink = "DM003";
inline constexpr std::string_view kNeitherFileNorFolder = "DM004";
inline constexpr std::string_view kNamesEqualToWindows = "DM005";
inline constexpr std::string_view kFolderMissingInOld = "DM006";
inline constexpr std::string_view kNewFolderWithoutFile = "DM007";
inline constexpr std::string_view kNewFolderTooLong = "DM008";
inline constexpr std::string_view kFolderAndFile = "DM009";
inline constexpr std::string_view kFileUnreadable = "DM010";
inline constexpr std::string_view kPathNotForScript = "DM011";
inline constexpr std::string_view kTemporaryNameTaken = "DM012";
inline constexpr std::string_view kRunNotForScript = "DM013";
inline constexpr std::string_view kOnlyInOld = "DM041";
inline constexpr std::string_view kCaseDiffersFromOld = "DM042";
// A RUN program in the installed folder that NEW does not have; named as
// lint's codes are, for it was released so.
inline constexpr std::string_view kRunNotInNew = "DS050";
}  // namespace make_code

namespace verify_code {
inline constexpr std::string_view kCopyWithoutTarget = "DV101";
inline constexpr std::string_view kBelowNeitherRoot = "DV102";
inline constexpr std::string_view kUnmappableName = "DV103";
inline constexpr std::string_view kNamesTheRoot = "DV104";
inline constexpr std::string_view kTargetInNew = "DV105";
inline constexpr std::string_view kSourceIsFolder = "DV106";
inline constexpr std::string_view kSourceMissing = "DV107";
inline constexpr std::string_view kTargetIsFolder = "DV108";
inline constexpr std::string_view kTargetFolderMissing = "DV109";
inline constexpr std::string_view kTargetOutsideCopy = "DV110";
inline constexpr std::string_view kCopyFailed = "DV111";
inline constexpr std::string_view kFolderNotCreated = "DV112";
// A bundle's (verify --bundle): its MANIFEST against its files and the script.
inline constexpr std::string_view kSourceNotInBundle = "DV113";
inline constexpr std::string_view kManifestLineMismatch = "DV114";
inline constexpr std::string_view kFileNotInManifest = "DV115";
inline constexpr std::string_view kManifestLineMalformed = "DV116";
inline constexpr std::string_view kSignatureNotValid = "DV117";
inline constexpr std::string_view kSourceRootDiffers = "DV118";
inline constexpr std::string_view kRunNotStarted = "DV181";
}  // namespace verify_code

namespace preflight_code {
inline constexpr std::string_view kFolderNotWritable = "DP101";
inline constexpr std::string_view kFolderNotDeletable = "DP102";
inline constexpr std::string_view kScriptReadOnly = "DP103";
inline constexpr std::string_view kCopyWithoutTarget = "DP104";
inline constexpr std::string_view kPathWithNul = "DP105";
inline constexpr std::string_view kSourceMissing = "DP106";
inline constexpr std::string_view kSourceIsFolder = "DP107";
inline constexpr std::string_view kTargetIsFolder = "DP108";
inline constexpr std::string_view kTargetReadOnly = "DP109";
inline constexpr std::string_view kTargetInUse = "DP110";
inline constexpr std::string_view kTargetNotWritable = "DP111";
inline constexpr std::string_view kTargetFolderMissing = "DP112";
inline constexpr std::string_view kTargetCannotBeCreated = "DP113";
inline constexpr std::string_view kProbeLeftBehind = "DP114";
inline constexpr std::string_view kRunWithNul = "DP115";
inline constexpr std::string_view kRunTooLong = "DP116";
inline constexpr std::string_view kRunWithoutProgram = "DP117";
inline constexpr std::string_view kRunProgramNotFound = "DP118";
inline constexpr std::string_view kFolderBlockedByFile = "DP119";
inline constexpr std::string_view kTargetFolderTakesNoFile = "DP120";
inline constexpr std::string_view kTargetFolderKeepsFiles = "DP121";
inline constexpr std::string_view kRunStartsAnotherProgram = "DP122";
inline constexpr std::string_view kBundleRefused = "DP123";
inline constexpr std::string_view kFolderCreatedByApplication = "DP181";
}  // namespace preflight_code
