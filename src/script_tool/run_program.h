#pragma once
// The program a RUN command line starts, found as the system finds it when no
// application name is given: a quoted path up to its closing quote, and an
// unquoted one up to the first blank (past which the system only guesses).

#include <cstddef>
#include <string_view>

struct RunProgram {
  std::size_t Index = 0;     // where the program path starts in the command line
  std::string_view Path;     // without its quotation marks
  bool Quoted = false;
  // Unquoted, and a blank comes before the program's extension: the path
  // holds a space ("C:\Program Files\PexaMenu\PexaMenu.exe /updated").
  bool UnquotedWithSpace = false;
};

RunProgram FindRunProgram(std::string_view commandLine);
