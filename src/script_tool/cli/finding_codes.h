#pragma once
// The codes of verify's and preflight's findings, as data: one table of code,
// tool, severity and title, which the rules page (docs/lint-rules.md) and the
// tests are read against. Lint's own rules are in lint/lint_rules.h.
//
// Codes are stable once released: a finding may be reworded, never
// renumbered. DV1xx are verify's, DP1xx preflight's, and within each, as in
// lint, the severity a code was made with: x01-x39 errors, x41-x79
// warnings, x81-x99 info.

#include <string_view>
#include <vector>

#include "script_tool/lint/lint_rules.h"

struct FindingCode {
  std::string_view Code;
  std::string_view Tool;  // "verify" or "preflight"
  Severity Level;
  std::string_view Title;  // the heading of its rules-page section
};

// Every code of verify and preflight, ordered by code.
const std::vector<FindingCode>& ToolFindingCodes();
// Nothing for a code that is not in the table.
const FindingCode* FindToolFindingCode(std::string_view code);

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
inline constexpr std::string_view kFolderCreatedByApplication = "DP181";
}  // namespace preflight_code
