#pragma once
// Findings as GitHub Actions workflow commands, one a line on standard
// output, which the runner turns into annotations on the files they name:
//   ::error file=update.txt,line=3,col=5,endColumn=9,title=DS010::message
// error and warning keep their names, info is a notice. Line 0 (the file as
// a whole) gives no line; column 0 (the line as a whole) gives no columns.
// https://docs.github.com/actions/reference/workflow-commands-for-github-actions

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "script_tool/findings/finding.h"

// The runner reads "%", CR and LF as escapes and ends of commands anywhere;
// inside a property ":" and "," also end it.
std::string EscapedCommandData(std::string_view text);
std::string EscapedCommandProperty(std::string_view text);

// The command, without its line end.
std::string GithubCommand(const Finding& finding);

void WriteGithubCommands(std::ostream& out, const std::vector<Finding>& findings);
