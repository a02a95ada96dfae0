#pragma once
// Which program a RUN line starts. The updater hands the whole command line
// to CreateProcessW with no application name, so Windows takes the program
// from the front of the line by its own rules; these are they, over the
// script's bytes.

#include <string>
#include <string_view>
#include <vector>

// The names CreateProcessW tries for the program, in its order; the first
// that names an existing file is started. A quoted program is the text up to
// the closing quote (the rest of the line when there is none). An unquoted
// one ends at a blank or a TAB, but when no file of that name exists Windows
// tries the longer text up to the next blank, and so on to the end of the
// line: "C:\Program Files\A.exe" unquoted tries "C:\Program" first.
std::vector<std::string> ProgramCandidates(std::string_view commandLine);
