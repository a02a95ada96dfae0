#include "script_tool/preflight/preflight_checks.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "app/update_messages.h"
#include "checks/blocked_target.h"
#include "checks/busy_target.h"
#include "checks/missing_source.h"
#include "names/text_conversions.h"
#include "names/windows_names.h"
#include "platform/scoped_handle.h"
#include "script/file_command.h"
#include "script/widen_text.h"
#include "script_tool/findings/finding_codes.h"
#include "platform/full_path.h"
#include "script_tool/findings/quoted.h"
#include "script_tool/findings/updater_words.h"
#include "script_tool/script_reader/missing_folders.h"
#include "script_tool/script_reader/run_program.h"
#include "updater_client/target_folders.h"

std::wstring FullPath(const std::wstring& path) { return FullPathOf(path).value_or(path); }

namespace {

std::wstring WindowsFolder(UINT (WINAPI* query)(LPWSTR, UINT)) {
  wchar_t folder[MAX_PATH];
  const UINT units = query(folder, MAX_PATH);
  return units > 0 && units < MAX_PATH ? std::wstring(folder, units) : std::wstring();
}

// The folders CreateProcessW searches for a program named without a path,
// in its order: the starting program's folder, the current folder, the
// system folders, then PATH.
std::wstring ProgramSearchPath(const std::wstring& updaterFolder) {
  const std::wstring windows = WindowsFolder(GetWindowsDirectoryW);
  std::wstring path = updaterFolder + L";" + FullPath(L".") + L";" +
                      WindowsFolder(GetSystemDirectoryW) + L";" + windows + L"\\System;" + windows;
  const DWORD units = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (units > 1) {
    std::wstring variable(units, L'\0');
    const DWORD written = GetEnvironmentVariableW(L"PATH", variable.data(), units);
    if (written > 0 && written < units) path += L";" + variable.substr(0, written);
  }
  return path;
}

// The file a program name leads to, found as CreateProcessW finds it: it
// searches with SearchPathW, which appends ".exe" to a name without an
// extension (to a name with a path too: so Wine does, and Windows in
// practice, though MSDN says otherwise) and
// takes a name with a full path as it stands. Wine's CreateProcessW also
// tries the name without ".exe" when that fails, for Unix programs; Windows
// does not, and neither does this.
std::optional<std::wstring> FindProgramFile(const std::wstring& name,
                                            const std::wstring& searchPath) {
  wchar_t found[MAX_PATH];
  const DWORD units =
      SearchPathW(searchPath.c_str(), name.c_str(), L".exe", MAX_PATH, found, nullptr);
  if (units == 0 || units >= MAX_PATH) return std::nullopt;
  const DWORD attributes = GetFileAttributesW(found);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  return std::wstring(found, units);
}

struct FolderProbe {
  bool Writable = false;
  bool Deletable = false;
  std::wstring LeftBehind;  // a probe that could be made but not deleted
  bool LeftBehindReported = false;  // said once, for the first line it concerns
  bool FolderReported = false;  // the folder's own finding, said once too
};

// Proves that files can be created in the folder, and deleted again, with a
// file of preflight's own unique name that exists only for that moment.
// Creating it is the proof of write access that the updater's own creation
// of a missing target needs; nothing else is made in the folder.
FolderProbe ProbeFolder(const std::wstring& folder,
                        bool (*deleteProbe)(const std::wstring& path)) {
  static unsigned counter = 0;
  FolderProbe probe;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring name = folder + L"\\devidudi-preflight-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter) + L".tmp";
    ScopedHandle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return probe;
    }
    file.Reset();
    probe.Writable = true;
    probe.Deletable =
        deleteProbe != nullptr ? deleteProbe(name) : DeleteFileW(name.c_str()) != FALSE;
    if (!probe.Deletable) probe.LeftBehind = name;
    return probe;
  }
  return probe;
}

// Where a finding stands: its line, and the column where the source, target
// or command line it is about starts (0 for the line as a whole).
struct At {
  std::size_t Line = 0;
  std::size_t Column = 0;
};

namespace code = preflight_code;

// Folder keys as Windows compares folder names.
std::wstring FolderKey(const std::wstring& folder) { return FoldWideName(folder); }

// The updater refuses a command line with a NUL or one too long; in the
// others CreateProcessW finds no program name.
std::string_view RefusalCode(RunRefusal refusal) {
  if (refusal == RunRefusal::NulByte) return code::kRunWithNul;
  if (refusal == RunRefusal::TooLong) return code::kRunTooLong;
  return code::kRunWithoutProgram;
}

class Preflight {
 public:
  Preflight(const PreflightSetup& setup, std::vector<Finding>& findings)
      : setup_(setup), findings_(findings), searchPath_(ProgramSearchPath(setup.UpdaterFolder)) {}

  void CheckScriptFolder() {
    const std::wstring folder = FolderText(setup_.ScriptPath);
    FolderProbe& probe = Probe(folder);
    probe.LeftBehindReported = true;
    if (!probe.Writable) {
      Add({}, code::kFolderNotWritable,
          "the script's folder " + Quoted(folder) +
              " does not let the updater create its probe file: it stops at " +
              QuotedWords(kWriteAccessToFolderMissing));
    } else if (!probe.Deletable) {
      Add({}, code::kFolderNotDeletable,
          "the script's folder " + Quoted(folder) +
              " lets a file be created but not deleted: the updater stops at " +
              QuotedWords(kDeleteAccessToFolderMissing) + "; preflight's probe " +
              Quoted(probe.LeftBehind) + " was left behind, delete it");
    }
    const DWORD attributes = GetFileAttributesW(setup_.ScriptPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      // The updater's probe is a copy of the script and takes its attributes.
      Add({}, code::kScriptReadOnly,
          "the script is read-only, so the updater's probe (a copy of it) cannot be "
          "deleted: it stops at " + QuotedWords(kDeleteAccessToFolderMissing));
    }
  }

  // With NewFolders: the folders above COP targets that the application
  // creates (CreateTargetFolders' rule), each noted at the first line that
  // needs it. A file standing where one must be stops the application's
  // creating there, as it stops CreateTargetFolders: that is a problem, and
  // the folders after it are not taken as created.
  void FindFoldersTheApplicationCreates(const std::vector<ScriptLine>& lines) {
    const CopyTargets copies = CopyTargetsOf(lines);
    // A name with a NUL byte is a finding of its own line: taken as there.
    const auto isFolder = [](const std::string& folder) {
      const std::optional<std::wstring> path = WidenForSystem(folder);
      if (!path) return true;
      const DWORD attributes = GetFileAttributesW(path->c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    const std::vector<devidudi::NeededFolder> folders =
        devidudi::MissingTargetFolders(copies.Targets, isFolder);
    // Windows refuses such a folder, and the application then creates none.
    for (const devidudi::NeededFolder& needed : folders) {
      if (needed.Refused.empty()) continue;
      const std::size_t line = copies.Lines[needed.Target];
      earlyFindings_.emplace(line, CodedFinding(code::kFolderBlockedByFile, line, 0,
                                               "the folder " + Quoted(needed.Path) +
                                                   " cannot be created by the application: " +
                                                   needed.Refused));
      return;
    }
    for (const devidudi::NeededFolder& needed : folders) {
      const std::wstring path = FullPath(WidenText(needed.Path));
      const std::size_t line = copies.Lines[needed.Target];
      if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        earlyFindings_.emplace(
            line, CodedFinding(code::kFolderBlockedByFile, line, 0,
                              "the folder " + Quoted(needed.Path) +
                                  " cannot be created by the application: a file of that name "
                                  "is there"));
        return;
      }
      createdFolders_.insert(FolderKey(path));
      earlyFindings_.emplace(
          line, CodedFinding(code::kFolderCreatedByApplication, line, 0,
                            "the folder " + Quoted(needed.Path) +
                                " is missing: created by the application before it starts the "
                                "updater (CreateTargetFolders)"));
    }
  }

  // One finding a missing folder above the targets whose folder is missing,
  // at the first line that needs it, with how many targets lie below it (as
  // make says DM006 once a folder), each in line order among the findings.
  void ReportMissingFolders() {
    if (folderMissing_.empty()) return;
    std::vector<std::string_view> targets;
    for (const UnwritableTarget& target : folderMissing_) targets.push_back(target.Target);
    const auto isFolder = [this](const std::string& folder) {
      const std::optional<std::wstring> path = WidenForSystem(folder);
      if (!path) return true;
      const std::wstring full = FullPath(*path);
      if (createdFolders_.count(FolderKey(full)) != 0) return true;
      const DWORD attributes = GetFileAttributesW(full.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    const MissingFolders missing = MissingFoldersOfTargets(targets, isFolder);
    std::vector<Finding> found;
    for (const MissingFolder& folder : missing.Folders) {
      const At& at = folderMissing_[folder.FirstTarget].Where;
      found.push_back(CodedFinding(code::kTargetFolderMissing, at.Line, at.Column,
                                   MissingFolderMessage(folder)));
    }
    // A relative target (nothing the rule finds folders above): said alone.
    for (std::size_t t = 0; t < folderMissing_.size(); ++t) {
      if (missing.Below[t]) continue;
      const UnwritableTarget& target = folderMissing_[t];
      found.push_back(CodedFinding(code::kTargetFolderMissing, target.Where.Line,
                                   target.Where.Column,
                                   "the folder of target " + Quoted(target.Target) +
                                       " is missing, and the updater creates no folders: it "
                                       "stops at " + QuotedWords(kWriteAccessToFileMissing)));
    }
    for (Finding& finding : found) {
      const auto at = std::upper_bound(
          findings_.begin(), findings_.end(), finding.Line,
          [](std::size_t line, const Finding& other) { return line < other.Line; });
      findings_.insert(at, std::move(finding));
    }
  }

  void CheckLine(const ScriptLine& line) {
    const auto early = earlyFindings_.equal_range(line.Number);
    for (auto finding = early.first; finding != early.second; ++finding) {
      findings_.push_back(finding->second);
    }
    const FileCommand& command = line.Command;
    if (command.Kind == CommandKind::Run) {
      CheckRun({line.Number, ArgumentColumn(line, 0)}, command.Arguments[0]);
    }
    if (command.Kind != CommandKind::Copy) return;
    if (command.Arguments.size() != 2) {
      Add({line.Number, 0}, code::kCopyWithoutTarget,
          "COP without a source and a target: the updater stops here");
      return;
    }
    CheckSource({line.Number, ArgumentColumn(line, 0)}, command.Arguments[0]);
    CheckTarget({line.Number, ArgumentColumn(line, 1)}, command.Arguments[1]);
  }

 private:
  // A COP line whose target's folder is missing.
  struct UnwritableTarget {
    At Where;
    std::string_view Target;
  };

  std::string MissingFolderMessage(const MissingFolder& folder) const {
    const std::string below = ", with " + CopTargetCount(folder.Targets) + " below it";
    const std::string stops =
        "the updater creates no folders: it stops at " + QuotedWords(kWriteAccessToFileMissing);
    const std::wstring path = FullPath(WidenText(folder.Path));
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      return "the folder " + Quoted(folder.Path) + " is a file here" + below + "; " + stops +
             ", and the application cannot create the folder while the file is there";
    }
    const std::string missing = "the folder " + Quoted(folder.Path) + " is missing" + below + "; ";
    if (setup_.NewFolders) {
      return missing + stops + ", and the application's creating of folders stops before it "
             "(DP119)";
    }
    if (!folder.Refused.empty()) {
      return missing + stops + ", and the application cannot create it either: " + folder.Refused;
    }
    return missing + stops + "; the application must create it before it starts the updater "
           "(CreateTargetFolders): with --new-folders preflight takes it as created";
  }

  void Add(const At& at, std::string_view findingCode, std::string message) {
    findings_.push_back(CodedFinding(findingCode, at.Line, at.Column, std::move(message)));
  }

  FolderProbe& Probe(const std::wstring& folder) {
    const std::wstring key = FolderKey(folder);
    const auto known = probes_.find(key);
    if (known != probes_.end()) return known->second;
    return probes_.emplace(key, ProbeFolder(folder, setup_.DeleteProbe)).first->second;
  }

  // A path of a COP line as the system gets it, and its attributes
  // (INVALID_FILE_ATTRIBUTES when there is no such file); nothing, after a
  // finding, for a name holding a NUL byte.
  struct LookedUp {
    std::wstring Path;
    DWORD Attributes;
  };
  std::optional<LookedUp> LookUp(const At& at, const char* role, const std::string& name) {
    std::optional<std::wstring> path = WidenForSystem(name);
    if (!path) {
      Add(at, code::kPathWithNul, role + (" " + Quoted(name)) + " holds a NUL byte");
      return std::nullopt;
    }
    const DWORD attributes = path->empty() ? INVALID_FILE_ATTRIBUTES
                                           : GetFileAttributesW(path->c_str());
    return LookedUp{std::move(*path), attributes};
  }

  void CheckSource(const At& at, const std::string& source) {
    const std::optional<LookedUp> found = LookUp(at, "source", source);
    if (!found) return;
    // The updater's own verdict (checks/missing_source.h); the attributes
    // only tell a folder from a missing file.
    if (SourceExists(source)) return;
    const DWORD attributes = found->Attributes;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      Add(at, code::kSourceMissing, "source " + Quoted(source) +
                    " is missing: the updater stops at " + QuotedWords(kCantAccessSourceFiles));
    } else {
      // The updater's source check counts a folder as missing.
      Add(at, code::kSourceIsFolder, "source " + Quoted(source) +
                    " is a folder: the updater stops at " + QuotedWords(kCantAccessSourceFiles));
    }
  }

  void CheckTarget(const At& at, const std::string& target) {
    const std::optional<LookedUp> found = LookUp(at, "target", target);
    if (!found) return;
    const DWORD attributes = found->Attributes;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      CheckMissingTarget(at, target, found->Path);
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      Add(at, code::kTargetIsFolder, "target " + Quoted(target) +
                    " is a folder: the updater stops at " + QuotedWords(kTargetBusy));
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
      Add(at, code::kTargetReadOnly, "target " + Quoted(target) +
                    " is read-only: the updater stops at " + QuotedWords(kTargetBusy));
    } else if (CheckExistingTarget(at, target)) {
      CheckExistingTargetsFolder(at, target, found->Path);
    }
  }

  // The copy makes its temporary file in the target's folder and renames it
  // over the target, so the updater probes each folder of an existing
  // target with a file created and deleted, once every target passed.
  void CheckExistingTargetsFolder(const At& at, const std::string& target,
                                  const std::wstring& path) {
    const std::wstring folder = FolderText(FullPath(path));
    FolderProbe& probe = Probe(folder);
    if (probe.Writable && probe.Deletable) return;
    if (probe.FolderReported) return;
    probe.FolderReported = true;
    if (!probe.Writable) {
      Add(at, code::kTargetFolderTakesNoFile,
          "the folder " + Quoted(folder) + " of target " + Quoted(target) +
              " does not let a file be created, though the target may be written: the copy "
              "makes its temporary file there, so the updater stops at " +
              QuotedWords(kWriteAccessToFolderMissing));
      return;
    }
    probe.LeftBehindReported = true;
    Add(at, code::kTargetFolderKeepsFiles,
        "the folder " + Quoted(folder) + " of target " + Quoted(target) +
            " lets a file be created but not deleted: the updater stops at " +
            QuotedWords(kDeleteAccessToFolderMissing) + "; preflight's probe " +
            Quoted(probe.LeftBehind) + " was left behind, delete it");
  }

  // The updater's own test (checks/busy_target.h): open for writing with no
  // sharing. An open that writes nothing leaves the file as it was. True when
  // it passed.
  bool CheckExistingTarget(const At& at, const std::string& target) {
    const DWORD error = ExclusiveOpenError(target);
    if (error == ERROR_SUCCESS) return true;
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
      Add(at, code::kTargetInUse, "target " + Quoted(target) +
                    " is in use by another program: the updater stops at " +
                    QuotedWords(kTargetBusy));
    } else {
      Add(at, code::kTargetNotWritable,
          "target " + Quoted(target) + " cannot be opened for writing (error " +
                    std::to_string(error) + "): the updater stops at " +
                    QuotedWords(kTargetBusy));
    }
    return false;
  }

  // The updater creates a missing target during its checks and deletes it
  // at once: preflight makes the updater's own test, which leaves nothing.
  void CheckMissingTarget(const At& at, const std::string& target,
                          const std::wstring& path) {
    const std::wstring folder = FolderText(FullPath(path));
    // Noted where it was found: the application creates it, and the target
    // in it then, as any other, is created by the updater.
    if (createdFolders_.count(FolderKey(folder)) != 0) return;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      // Said once a missing folder, when every line has been seen.
      folderMissing_.push_back({at, target});
      return;
    }
    FolderProbe& probe = Probe(folder);
    if (TargetAccessCode(target) != 0) {
      Add(at, code::kTargetCannotBeCreated,
          "target " + Quoted(target) + " cannot be created in " + Quoted(folder) +
                    ": the updater stops at " + QuotedWords(kWriteAccessToFileMissing));
    } else if (!probe.LeftBehind.empty() && !probe.LeftBehindReported) {
      probe.LeftBehindReported = true;
      Add(at, code::kProbeLeftBehind,
          "the folder " + Quoted(folder) + " lets a file be created but not deleted; "
                    "preflight's probe " + Quoted(probe.LeftBehind) +
                    " was left behind, delete it");
    }
  }

  void CheckRun(const At& at, const std::string& commandLine) {
    const RunRefusal refusal = WhyNothingStarts(commandLine);
    if (refusal != RunRefusal::None) {
      Add(at, RefusalCode(refusal),
          "RUN: " + RefusalReason(refusal, commandLine) + ": the updater starts nothing");
      return;
    }
    const std::vector<std::string> candidates = ProgramCandidates(commandLine);
    // The program lint and print take the line to name: an unquoted one is
    // always one of the names tried, each a longer front of the line.
    const RunProgram meant = FindRunProgram(commandLine);
    for (const std::string& candidate : candidates) {
      const std::optional<std::wstring> found = FindProgramFile(WidenText(candidate), searchPath_);
      if (!found) continue;
      // A longer name than the meant one is what its writer would have
      // written had the name been whole; a shorter one is another program.
      if (!meant.Quoted && candidate.size() < meant.Path.size()) {
        CheckStartsAnotherProgram(at, commandLine, meant, candidate, *found);
      }
      return;
    }
    std::string message = "the program of RUN " + Quoted(candidates.front()) +
                          " is not found where CreateProcessW looks (the updater's "
                          "folder, the current folder, the system folders, PATH)";
    if (candidates.size() > 1) message += ", nor any longer name up to a blank";
    Add(at, code::kRunProgramNotFound, message + ": the updater starts nothing");
  }

  // CreateProcessW takes the first name up to a blank that leads to a file,
  // and here that is a shorter one than the program the line names: the
  // updater starts that file instead (C:\Program.exe for an unquoted
  // C:\Program Files\App\App.exe).
  void CheckStartsAnotherProgram(const At& at, const std::string& commandLine,
                                 const RunProgram& meant, const std::string& candidate,
                                 const std::wstring& found) {
    std::string tried = Quoted(candidate);
    const std::size_t lastName = candidate.find_last_of("\\/");
    if (candidate.find('.', lastName == std::string::npos ? 0 : lastName) == std::string::npos) {
      tried += " with \".exe\" added";
    }
    const std::string quotedLine =
        "RUN \"" + std::string(meant.Path) + "\"" + commandLine.substr(meant.Path.size());
    Add(at, code::kRunStartsAnotherProgram,
        "RUN starts " + Quoted(std::wstring_view(found)) + ", not the program it names, " +
            Quoted(meant.Path) +
            ": the path holds a blank and no quotation marks, CreateProcessW tries the names "
            "up to each blank in turn, and the first that leads to a file is " + tried +
            "; put the program's path in quotation marks (" + Latin1ToUtf8(quotedLine) + ")");
  }

  const PreflightSetup& setup_;
  std::vector<Finding>& findings_;
  std::wstring searchPath_;
  std::map<std::wstring, FolderProbe> probes_;
  std::set<std::wstring> createdFolders_;  // FolderKey of each
  std::multimap<std::size_t, Finding> earlyFindings_;  // by line
  std::vector<UnwritableTarget> folderMissing_;  // in line order
};

}  // namespace


std::vector<Finding> PreflightScript(const std::vector<ScriptLine>& lines,
                                         const PreflightSetup& setup) {
  std::vector<Finding> findings;
  Preflight preflight(setup, findings);
  if (setup.NewFolders) preflight.FindFoldersTheApplicationCreates(lines);
  preflight.CheckScriptFolder();
  for (const ScriptLine& line : lines) preflight.CheckLine(line);
  preflight.ReportMissingFolders();
  return findings;
}
