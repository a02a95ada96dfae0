#include "script_tool/findings/finding_codes.h"

namespace {

namespace m = make_code;
namespace v = verify_code;
namespace p = preflight_code;

const std::vector<FindingCode> kCodes = {
    {m::kFolderUnreadable, "make", Severity::Error, "Folder that cannot be read"},
    {m::kEntryUnusable, "make", Severity::Error, "Entry that cannot be listed or named"},
    {m::kSymbolicLink, "make", Severity::Error, "Symbolic link"},
    {m::kNeitherFileNorFolder, "make", Severity::Error, "Neither a file nor a folder"},
    {m::kNamesEqualToWindows, "make", Severity::Error, "Names equal to Windows"},
    {m::kFolderMissingInOld, "make", Severity::Error, "Folder of NEW missing in OLD"},
    {m::kNewFolderWithoutFile, "make", Severity::Error, "New folder with no file to copy into it"},
    {m::kNewFolderTooLong, "make", Severity::Error, "New folder the application cannot create"},
    {m::kFolderAndFile, "make", Severity::Error, "Folder in one version, file in the other"},
    {m::kFileUnreadable, "make", Severity::Error, "File that cannot be read"},
    {m::kPathNotForScript, "make", Severity::Error, "Path a script cannot carry"},
    {m::kTemporaryNameTaken, "make", Severity::Error, "Name of a copy's temporary file taken"},
    {m::kRunNotForScript, "make", Severity::Error, "Command line a script cannot carry"},
    {m::kOnlyInOld, "make", Severity::Warning, "File only in OLD"},
    {m::kCaseDiffersFromOld, "make", Severity::Warning, "Name whose case differs from OLD's"},
    {m::kRunNotInNew, "make", Severity::Warning, "RUN of a program that NEW does not have (make)"},
    {v::kCopyWithoutTarget, "verify", Severity::Error, "COP without a source and a target"},
    {v::kBelowNeitherRoot, "verify", Severity::Error, "Path below neither root"},
    {v::kUnmappableName, "verify", Severity::Error,
     "Name that leaves the root or that Windows changes"},
    {v::kNamesTheRoot, "verify", Severity::Error, "Path naming a root folder itself"},
    {v::kTargetInNew, "verify", Severity::Error, "Target in the new version"},
    {v::kSourceIsFolder, "verify", Severity::Error, "Source is a folder"},
    {v::kSourceMissing, "verify", Severity::Error, "Source missing"},
    {v::kTargetIsFolder, "verify", Severity::Error, "Target is a folder"},
    {v::kTargetFolderMissing, "verify", Severity::Error, "Target's folder missing"},
    {v::kTargetOutsideCopy, "verify", Severity::Error, "Target outside the installed folder"},
    {v::kCopyFailed, "verify", Severity::Error, "Copy failed"},
    {v::kFolderNotCreated, "verify", Severity::Error, "Folder the application cannot create"},
    {v::kSourceNotInBundle, "verify", Severity::Error, "Source the bundle lacks"},
    {v::kManifestLineMismatch, "verify", Severity::Error,
     "Manifest line that does not match its file"},
    {v::kFileNotInManifest, "verify", Severity::Error, "File of the bundle not in its manifest"},
    {v::kManifestLineMalformed, "verify", Severity::Error, "Malformed manifest line"},
    {v::kSignatureNotValid, "verify", Severity::Error, "Manifest signature missing or not valid"},
    {v::kSourceRootDiffers, "verify", Severity::Error, "Bundle made for another source root"},
    {v::kRunNotStarted, "verify", Severity::Info, "RUN not started"},
    {p::kFolderNotWritable, "preflight", Severity::Error, "Script's folder not writable"},
    {p::kFolderNotDeletable, "preflight", Severity::Error,
     "Script's folder lets a file be created but not deleted"},
    {p::kScriptReadOnly, "preflight", Severity::Error, "Script read-only"},
    {p::kCopyWithoutTarget, "preflight", Severity::Error, "COP without a source and a target"},
    {p::kPathWithNul, "preflight", Severity::Error, "Path holding a NUL byte"},
    {p::kSourceMissing, "preflight", Severity::Error, "Source missing"},
    {p::kSourceIsFolder, "preflight", Severity::Error, "Source is a folder"},
    {p::kTargetIsFolder, "preflight", Severity::Error, "Target is a folder"},
    {p::kTargetReadOnly, "preflight", Severity::Error, "Target read-only"},
    {p::kTargetInUse, "preflight", Severity::Error, "Target in use"},
    {p::kTargetNotWritable, "preflight", Severity::Error, "Target cannot be opened for writing"},
    {p::kTargetFolderMissing, "preflight", Severity::Error, "Target's folder missing"},
    {p::kTargetCannotBeCreated, "preflight", Severity::Error, "Target cannot be created"},
    {p::kProbeLeftBehind, "preflight", Severity::Error,
     "Target's folder lets a file be created but not deleted"},
    {p::kRunWithNul, "preflight", Severity::Error, "RUN holding a NUL byte"},
    {p::kRunTooLong, "preflight", Severity::Error, "RUN of 256 characters or more"},
    {p::kRunWithoutProgram, "preflight", Severity::Error, "RUN without a program name"},
    {p::kRunProgramNotFound, "preflight", Severity::Error, "RUN program not found"},
    {p::kFolderBlockedByFile, "preflight", Severity::Error,
     "Folder the application cannot create"},
    {p::kTargetFolderTakesNoFile, "preflight", Severity::Error,
     "Target's folder takes no new file"},
    {p::kTargetFolderKeepsFiles, "preflight", Severity::Error,
     "Existing target's folder lets a file be created but not deleted"},
    {p::kRunStartsAnotherProgram, "preflight", Severity::Error,
     "RUN starts another program than the one it names"},
    {p::kBundleRefused, "preflight", Severity::Error, "Update bundle the application refuses"},
    {p::kFolderCreatedByApplication, "preflight", Severity::Info,
     "Folder created by the application"},
};

}  // namespace

const std::vector<FindingCode>& ToolFindingCodes() { return kCodes; }

const FindingCode* FindToolFindingCode(std::string_view code) {
  for (const FindingCode& entry : kCodes) {
    if (entry.Code == code) return &entry;
  }
  return nullptr;
}

Finding CodedFinding(std::string_view code, std::size_t line, std::size_t column,
                     std::string message) {
  const FindingCode* entry = FindToolFindingCode(code);
  Finding finding;
  finding.Line = line;
  finding.Column = column;
  finding.Level = entry != nullptr ? entry->Level : Severity::Error;
  finding.Code = code;
  finding.Message = std::move(message);
  return finding;
}
