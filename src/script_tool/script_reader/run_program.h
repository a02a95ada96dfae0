#pragma once
// Which program a RUN line starts. The updater hands the whole command line
// to CreateProcessW with no application name, so Windows takes the program
// from the front of the line by its own rules; these are they, over the
// script's bytes. Lint reads the program a reader would mean; preflight looks
// for the files Windows would try.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Why the updater starts nothing for a RUN command line, in the order it
// finds out: its own two refusals, then what CreateProcessW refuses.
enum class RunRefusal {
  None,          // handed to CreateProcessW, which starts it if it finds the program
  NulByte,       // the updater refuses it: a NUL would end the command line early
  TooLong,       // the updater refuses it: past kMaxCommandLineUnits it would not fit
  Empty,         // CreateProcessW finds no program in an empty command line
  LeadingBlank,  // nor in one that starts with a space or a TAB (seen under Wine: error 2)
  // An unquoted first word holding a quotation mark: every name Windows
  // tries holds it, and no file name can (seen under Wine: error 2).
  QuoteInName,
};

RunRefusal WhyNothingStarts(std::string_view commandLine);

// The reason as a sentence fragment for print and preflight: "the command
// line holds a NUL byte", "the command line starts with a space: ...".
std::string RefusalReason(RunRefusal refusal, std::string_view commandLine);

// The reason as a stable word for programs (print's JSON "reasonCode"): "nul",
// "too-long", "empty", "leading-blank", "quotation-mark"; empty for None.
// These words are an interface: a new refusal gets a new word, and none
// changes.
std::string_view ReasonCode(RunRefusal refusal);

struct RunProgram {
  std::size_t Index = 0;     // where the program path starts in the command line
  std::string_view Path;     // without its quotation marks
  bool Quoted = false;
  // Unquoted, and a blank comes before the program's extension: the path
  // holds a space ("C:\Program Files\PexaMenu\PexaMenu.exe /updated").
  bool UnquotedWithSpace = false;
  // The program's name has no extension, so Windows looks for it with ".exe"
  // added.
  bool AddsExe = false;
};

// The program the writer of the line meant: a quoted path up to its closing
// quote, an unquoted one up to the first blank, or, when an extension such as
// ".exe" ends a later word, up to that extension, unless a word before it
// starts a switch or a path of its own ("cmd /c C:\App\post.cmd" means cmd).
// Preflight holds this program against the one CreateProcessW would find
// first (DP122). A first word that is a path
// without an extension runs on over the words after it that carry on a path
// (a backslash in them, no drive, no switch): "C:\Program Files\PexaMenu\PexaMenu
// /updated" means "C:\Program Files\PexaMenu\PexaMenu". A command line that
// starts with a blank names no program: an empty Path.
RunProgram FindRunProgram(std::string_view commandLine);

// The names CreateProcessW tries for the program, in its order; the first
// that names an existing file is started. A quoted program is the text up to
// the closing quote (the rest of the line when there is none). An unquoted
// one ends at a blank or a TAB, but when no file of that name exists Windows
// tries the longer text up to the next blank, and so on to the end of the
// line: "C:\Program Files\A.exe" unquoted tries "C:\Program" first.
std::vector<std::string> ProgramCandidates(std::string_view commandLine);
