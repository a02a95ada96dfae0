#pragma once
// What kind of bytes a file holds before it is read as a script: text, text
// in a wide encoding that lost (or never had) its byte-order mark, or no text
// at all (a program, an archive, a picture given as the script by mistake).
// Each of the last two is one finding; a finding per line would drown it.
// Lint asks only of a file in which the updater finds no COP or RUN line.

#include <string>
#include <string_view>

// "UTF-16 LE" or "UTF-16 BE" when nearly every character is one byte
// followed (LE) or preceded (BE) by a NUL, as ASCII text saved as UTF-16
// without a mark is; empty otherwise.
std::string_view GuessUnmarkedUtf16(std::string_view fileBytes);

// Why the file is not text, in words ("it starts as a Windows program (MZ)",
// "NUL bytes in 12 of its 14 lines"); empty for text. lineCount and
// linesWithNul count the lines as the updater reads them.
std::string WhyNotText(std::string_view fileBytes, std::size_t lineCount,
                       std::size_t linesWithNul);
