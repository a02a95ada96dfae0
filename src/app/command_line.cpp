#include "app/command_line.h"

const wchar_t* ArgumentText(const wchar_t* commandLine) {
  const wchar_t* at = commandLine;
  bool inQuotes = false;
  while (*at != L'\0' && (*at > L' ' || inQuotes)) {
    if (*at == L'"') inQuotes = !inQuotes;
    ++at;
  }
  while (*at != L'\0' && *at <= L' ') ++at;
  return at;
}
