#pragma once

// The argument text within the process's command line, by the C runtime's
// start-up rule: the program name runs to the first character of code U+0020
// or lower outside double quotes (each quote switching in and out), then
// every character from U+0001 to U+0020 is skipped, and the whole rest is the
// argument, unchanged: quotes are kept, blanks inside and at the end too. So a
// script path with blanks is passed unquoted, as one argument.
// Returns a pointer into commandLine; the text is neither copied nor changed.
const wchar_t* ArgumentText(const wchar_t* commandLine);
