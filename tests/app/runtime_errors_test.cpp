// The program's own versions of libstdc++'s error reports
// (src/app/runtime_errors.cpp), linked into this test as into the program.
// Whatever the library reports must still arrive as an exception, so that the
// worker's catch-all closes the window instead of the process ending.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

namespace {

TEST(RuntimeErrors, EveryReportStillThrows) {
  // Volatile, so that the compiler cannot see the faults coming.
  static volatile std::size_t past = 3;
  static const char* volatile null = nullptr;
  const struct {
    const char* name;
    std::function<void()> fault;
  } cases[] = {
      {"an index past the end", [] { (void)std::string("ab").substr(past); }},
      {"a checked access past the end", [] { (void)std::wstring(L"ab").at(past); }},
      {"a string longer than max_size", [] {
         std::string text;
         text.reserve(text.max_size() + past);
       }},
      {"a vector longer than max_size", [] {
         std::vector<int> list;
         list.reserve(list.max_size() + past);
       }},
      {"a string from a null pointer", [] { std::string text(null); }},
  };
  for (const auto& c : cases) {
    EXPECT_THROW(c.fault(), std::bad_alloc) << c.name;
  }
}

}  // namespace
