#include "script/widen_text.h"

#include <gtest/gtest.h>

namespace {

TEST(WidenText, OneCodeUnitPerByteWithTheBytesOwnValue) {
  EXPECT_EQ(WidenText(""), L"");
  EXPECT_EQ(WidenText("C:\\app\\a.exe"), L"C:\\app\\a.exe");
  // Latin-1: 0xE9 is U+00E9, not the sign-extended U+FFE9.
  EXPECT_EQ(WidenText("caf\xE9"), L"caf\u00E9");
  EXPECT_EQ(WidenText("\x80\xFF"), std::wstring(L"\u0080\u00FF"));
  // UTF-8 is not decoded: two bytes stay two code units.
  EXPECT_EQ(WidenText("\xC3\xA9"), std::wstring(L"\u00C3\u00A9"));
  const std::string withNul("a\0b", 3);
  EXPECT_EQ(WidenText(withNul), std::wstring(L"a\0b", 3));
}

TEST(WidenText, EveryByteValueMapsToItself) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  const std::wstring wide = WidenText(all);
  ASSERT_EQ(wide.size(), 256u);
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(static_cast<int>(wide[byte]), byte) << "byte " << byte;
  }
}

TEST(WidenForSystem, RefusesTextThatANulWouldCutShort) {
  EXPECT_EQ(WidenForSystem("C:\\a\xE9"), std::optional<std::wstring>(L"C:\\a\u00E9"));
  EXPECT_EQ(WidenForSystem(""), std::optional<std::wstring>(L""));
  EXPECT_FALSE(WidenForSystem(std::string("C:\\a.exe\0.txt", 14)));
  EXPECT_FALSE(WidenForSystem(std::string(1, '\0')));
}

}  // namespace
