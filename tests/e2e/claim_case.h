#pragma once
// One claim of the toolkit, held against the real updater: a script (with the
// files laid out so that its line is the only problem), what lint or
// preflight must say of it, and what the updater must then be seen to do.

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/test_files.h"

// What the updater is seen to do with the script.
enum class Effect {
  StopsAtQuestion,  // its checks ask a question whose text holds `named`
  StopsAtNotice,    // its checks end with an OK box whose text starts with `named`
  FailsCopy,        // "Command failed": "Copy failed, error code: N command: `named`"
  DoesNothing,      // no box; the file `named` keeps its bytes (or stays missing)
  StartsNothing,    // no box; the recorder is started by nobody
  CopiesTo,         // no box; the file `named`, by that exact name, holds `bytes`
  CopiesElsewhere,  // the same, where `named` is another file than a reader of
                    // the line expects
  Starts,           // no box; the recorder at `recorder` records `named` exactly
  ReadyWhileCopying,  // no box; before the last command, a COP of source `named`,
                      // the title already says "Ready, Starting..." and the
                      // percentage has moved
  NotObservable,    // not run: `note` says why
};
const char* EffectName(Effect effect);

struct ClaimCase;
using Arrangement = std::function<void(ClaimCase&)>;

// A row of a claims table. Placeholders in `script` (narrow) and in `named`,
// `recorder` and `scriptPath` (wide): @F@ the case's folder, @S@ its folder
// src (the new files), @A@ its folder app (the installed ones), @R@ the
// command-line recorder started.exe in @F@, @NW@ the prepared folder
// without write permission; an arrangement may add its own.
struct ClaimRow {
  std::string code;      // lint's or preflight's code; empty: any error on the line (see note)
  std::string severity;  // "error", "warning", "info"
  Effect effect = Effect::DoesNothing;
  std::string script;
  std::wstring named;
  int copyError = 0;  // FailsCopy
  std::string bytes = "new a";  // CopiesTo
  std::wstring recorder = L"@R@";
  std::wstring scriptPath = L"@F@\\update.txt";  // written unless it exists
  bool preflight = false;  // the row is one of preflight's findings
  std::size_t line = 1;    // preflight's line (0: the script's folder)
  std::string note;        // why not observable; where lint today disagrees
  Arrangement arrange;
  std::wstring workingFolder;  // the updater's current folder, when set
  // The script is from make --new-folders: preflight is given --new-folders,
  // and the application creates the folders (CreateTargetFolders) before it
  // starts the updater.
  bool newFolders = false;
  // print's row of `line` must tell where the checks stop (its "checkStop"),
  // with the whole text of the box the updater is seen to show.
  bool printStop = false;

  ClaimRow& Error(int code) { copyError = code; return *this; }
  ClaimRow& Bytes(std::string text) { bytes = std::move(text); return *this; }
  ClaimRow& Recorder(std::wstring path) { recorder = std::move(path); return *this; }
  ClaimRow& Script(std::wstring path) { scriptPath = std::move(path); return *this; }
  ClaimRow& Note(std::string text) { note = std::move(text); return *this; }
  ClaimRow& Arrange(Arrangement how) { arrange = std::move(how); return *this; }
  ClaimRow& WorkingFolder(std::wstring path) { workingFolder = std::move(path); return *this; }
  ClaimRow& AtLine(std::size_t number) { line = number; return *this; }
  ClaimRow& NewFolders() { newFolders = true; return *this; }
  ClaimRow& PrintStop() { printStop = true; return *this; }
  ClaimRow& Severity(std::string level) { severity = std::move(level); return *this; }
};

ClaimRow Rule(std::string code, std::string severity, Effect effect, std::string script,
              std::wstring named = L"");
ClaimRow PreflightFinding(std::string code, Effect effect, std::string script,
                          std::wstring named = L"");

// The case's files while it runs.
struct ClaimCase {
  TempFolder folder;
  std::map<std::wstring, std::wstring> vars;  // placeholder -> wide text
  std::vector<std::shared_ptr<void>> keep;    // peers that live as long as the case
  std::wstring Expand(const std::wstring& text) const;
  std::string ExpandNarrow(const std::string& text) const;
};

// Runs the row: lint or preflight on its script, then the real updater.
// Empty when the claim held; otherwise what went wrong and all that was seen.
std::string HoldClaim(const ClaimRow& row);
