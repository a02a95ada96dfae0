// The real program with DLLs planted beside it and in its current directory:
// none of them may ever be loaded.
//
// Wine loads its own built-in DLLs in preference to copies it finds, so this
// test runs with WINEDLLOVERRIDES set to prefer found copies of the planted
// DLLs (CTest sets it: Wine reads it from the environment a process starts
// with, not from one passed to CreateProcessW). Wine then searches the
// application folder as Windows would. Left out are imm32 and version, which
// Wine's own user32 and shlwapi import before any of the program's code runs;
// on Windows imm32 is a known DLL, and none of the program's imports needs
// version.dll.
#include <gtest/gtest.h>

#include "e2e/scenario.h"
#include "support/peer_process.h"

namespace {

const wchar_t* const kPlantedDlls[] = {L"comctl32.dll", L"uxtheme.dll", L"dwmapi.dll",
                                       L"winmm.dll",    L"msimg32.dll", L"cryptbase.dll",
                                       L"propsys.dll",  L"userenv.dll"};

const bool kPlanted = RegisterScenario("DLLs planted beside the program", [] {
  auto folder = std::make_shared<TempFolder>();
  const std::wstring script = folder->File(L"update.txt");
  WriteBytes(script, "");
  const std::wstring program = folder->File(L"devidudi.exe");
  CopyFileW(UpdaterProcess::ProgramPath().c_str(), program.c_str(), FALSE);
  for (const wchar_t* dll : kPlantedDlls) {
    CopyFileW(HelperPath(L"planted.dll").c_str(), folder->File(dll).c_str(), FALSE);
  }
  Facts facts = RunUpdater(Launch{L" " + script, program, folder->Path()}, script, {});
  facts.folder = folder;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(folder->File(L"*.loaded").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do facts.notes.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return facts;
});

TEST(PlantedDlls, AreNeverLoaded) {
  const Facts& facts = ScenarioFacts("DLLs planted beside the program");
  EXPECT_EQ(facts.notes, std::vector<std::wstring>{}) << "markers left by planted DLLs";
  EXPECT_EQ(facts.exitCode, 0u);
  EXPECT_FALSE(facts.crashed);
  ASSERT_TRUE(facts.lastDisplay);
  EXPECT_EQ(facts.lastDisplay->bar, 0) << "the progress bar came from the system's comctl32";
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  StartAllScenarios();
  return RUN_ALL_TESTS();
}
