// Built with our code's settings, never linked into anything: a copy whose
// length the compiler cannot bound, into a buffer whose size it knows. With
// _FORTIFY_SOURCE in force it becomes a call of __memcpy_chk, which
// check_fortify.py looks for. The program's own copies into fixed buffers are
// all proven to fit at compile time, so the program cannot show this itself.
#include <cstddef>
#include <cstring>

char fortifyProbeBuffer[8];

void FortifyProbe(const char* from, std::size_t size) {
  std::memcpy(fortifyProbeBuffer, from, size);
}
