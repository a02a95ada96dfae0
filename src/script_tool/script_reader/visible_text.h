#pragma once
// Script bytes as a reader should see them: each byte as the character the
// updater makes of it (Latin-1), written as UTF-8, and the characters that
// would otherwise not show made visible. (Latin1ToUtf8, with nothing made
// visible, is in names/text_conversions.h.)

#include <string>
#include <string_view>

// TAB, CR, NUL and the other control characters as "<TAB>", "<CR>", "<NUL>",
// "<0x1B>"; bytes 0x80 to 0x9F (controls in Latin-1) and 0xA0 (a no-break
// space) as "<0x85>"; blanks at the very end as "<SP>" (they count in a name).
std::string VisibleText(std::string_view bytes);
// The same, appended to out: a long script is shown without a string per line.
void AppendVisibleText(std::string& out, std::string_view bytes);
