#include "names/temporary_path.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_files.h"

namespace {

std::wstring Repeat(wchar_t unit, std::size_t count) { return std::wstring(count, unit); }

TEST(TemporaryPathFor, TheTargetsPathWithTheSuffixCutShortOnlyWhereItMustBe) {
  const std::wstring folder = L"C:\\" + Repeat(L'f', 99);  // 102 units
  struct Case {
    const char* name;
    std::wstring target;
    std::optional<std::wstring> temporary;
  };
  const Case cases[] = {
      {"full path", L"C:\\PexaMenu\\PexaMenu.exe", L"C:\\PexaMenu\\PexaMenu.exe.ddu-new"},
      {"relative path", L"menu.txt", L"menu.txt.ddu-new"},
      {"drive-relative path", L"C:menu.txt", L"C:menu.txt.ddu-new"},
      {"forward slash", L"C:/PexaMenu/menu.txt", L"C:/PexaMenu/menu.txt.ddu-new"},
      {"a name already ending in the suffix", L"C:\\a.ddu-new", L"C:\\a.ddu-new.ddu-new"},
      {"path of 251 units: fits exactly", folder + L"\\" + Repeat(L'n', 148),
       folder + L"\\" + Repeat(L'n', 148) + L".ddu-new"},
      {"path of 252 units: the name loses one", folder + L"\\" + Repeat(L'n', 149),
       folder + L"\\" + Repeat(L'n', 148) + L".ddu-new"},
      {"path of 259 units", folder + L"\\" + Repeat(L'n', 156),
       folder + L"\\" + Repeat(L'n', 148) + L".ddu-new"},
      {"name of 247 units: fits exactly", L"C:\\" + Repeat(L'n', 247),
       L"C:\\" + Repeat(L'n', 247) + L".ddu-new"},
      {"name of 255 units: cut to 247 before the suffix", L"\\\\?\\C:\\" + Repeat(L'n', 255),
       L"\\\\?\\C:\\" + Repeat(L'n', 247) + L".ddu-new"},
      {"verbatim path past 259 units: only the name counts",
       L"\\\\?\\" + folder + L"\\" + folder.substr(3) + L"\\" + Repeat(L'n', 100),
       L"\\\\?\\" + folder + L"\\" + folder.substr(3) + L"\\" + Repeat(L'n', 100) + L".ddu-new"},
      {"cut right before the target's own suffix", folder + L"\\" + Repeat(L'n', 148) + L".DDU-NEW",
       folder + L"\\" + Repeat(L'n', 147) + L".ddu-new"},
      {"folder leaves room for one unit of name", Repeat(L'f', 249) + L"\\nn",
       Repeat(L'f', 249) + L"\\n.ddu-new"},
      {"folder leaves no room for a name", Repeat(L'f', 250) + L"\\nn", std::nullopt},
      {"folder alone too long", Repeat(L'f', 258) + L"\\n", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<std::wstring> temporary = TemporaryPathFor(c.target);
    ASSERT_EQ(temporary.has_value(), c.temporary.has_value());
    if (!temporary) continue;
    EXPECT_EQ(*temporary, *c.temporary);
    EXPECT_NE(*temporary, c.target);
  }
}

TEST(NtPathOf, EveryKindOfFullPath) {
  const struct {
    const wchar_t* full;
    const wchar_t* nt;
  } cases[] = {
      {L"C:\\PexaMenu\\PexaMenu.exe", L"\\??\\C:\\PexaMenu\\PexaMenu.exe"},
      {L"Z:\\", L"\\??\\Z:\\"},
      {L"\\\\server\\share\\menu.txt", L"\\??\\UNC\\server\\share\\menu.txt"},
      {L"\\\\?\\C:\\a\\menu.txt.", L"\\??\\C:\\a\\menu.txt."},
      {L"\\\\?\\UNC\\server\\share\\a", L"\\??\\UNC\\server\\share\\a"},
      {L"\\\\.\\C:\\a", L"\\??\\C:\\a"},
  };
  for (const auto& c : cases) EXPECT_EQ(NtPathOf(c.full), c.nt) << Narrow(c.full);
}

}  // namespace
