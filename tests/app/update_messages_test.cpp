#include "app/update_messages.h"

#include <gtest/gtest.h>

namespace {

TEST(FolderText, CutsBeforeTheLastBackslashOnly) {
  const struct {
    const wchar_t* scriptPath;
    const wchar_t* folder;
  } cases[] = {
      {L"D:\\Tools\\Upd\\list.txt", L"D:\\Tools\\Upd"},
      {L"list.txt", L"list.txt"},
      {L"D:/Tools/Upd/list.txt", L"D:/Tools/Upd/list.txt"},
      {L"D:\\Tools/Upd/list.txt", L"D:"},
      {L"C:\\dir\\", L"C:\\dir"},
      {L"\\list.txt", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FolderText(c.scriptPath), c.folder) << "script path " << c.scriptPath;
  }
}

TEST(UpdateMessages, ExactTexts) {
  const struct {
    const char* name;
    std::wstring text;
    std::wstring expected;
  } cases[] = {
      {"folder write", FolderWriteMessage(L"D:\\Upd\\list.txt"),
       L"Write access to folder missing:\nD:\\Upd"},
      {"folder delete", FolderDeleteMessage(L"D:\\Upd\\list.txt"),
       L"Delete access to folder missing:\nD:\\Upd"},
      {"target folder write", FolderWriteNotice(L"C:\\App\\Data"),
       L"Write access to folder missing:\nC:\\App\\Data"},
      {"target folder delete", FolderDeleteNotice(L"C:\\App"),
       L"Delete access to folder missing:\nC:\\App"},
      {"busy target", BusyTargetQuestion("C:\\P\\PexaMenu.exe"),
       L"PexaMenu is already running\n(C:\\P\\PexaMenu.exe)\nTry again?"},
      {"missing source", MissingSourceQuestion("new\\a b.dll"),
       L"Can't access source files: new\\a b.dll\nTry again?"},
      {"blocked, code 1", BlockedTargetQuestion("t.dll", 1),
       L"Write access to file missing: t.dll\nTry again?"},
      {"blocked, code 0", BlockedTargetQuestion("t.dll", 0),
       L"Delete access to file missing: t.dll\nTry again?"},
      {"blocked, other code", BlockedTargetQuestion("t.dll", -7),
       L"Delete access to file missing: t.dll\nTry again?"},
      {"Latin-1 name", MissingSourceQuestion("caf\xE9"),
       L"Can't access source files: caf\u00E9\nTry again?"},
      {"a NUL byte does not cut the question off",
       MissingSourceQuestion(std::string("a\0b", 3)),
       L"Can't access source files: a\u2400b\nTry again?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.text, c.expected) << c.name;
  }
}

}  // namespace
