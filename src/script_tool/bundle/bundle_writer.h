#pragma once
// Writes an update bundle (make --bundle DIR): the files the script copies
// under DIR/payload, with NEW's bytes and last-write times, the script, and
// the MANIFEST that lists them all with their sizes and SHA-256 (manifest.h),
// signed when a key is given. DIR is written whole or not at all: built in a
// temporary sibling folder, then renamed into place.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "script_tool/tree_walker/folder_tree.h"

struct BundledFile {
  std::string Path;  // relative to the payload folder, '/' between names, UTF-8
  NativePath From;   // the file of NEW
};

struct BundleRequest {
  std::filesystem::path Folder;
  std::string ScriptName;  // a file name, no folder
  std::string ScriptBytes;
  std::string SourceRoot;  // UTF-8, as given
  std::vector<BundledFile> Files;
  // A PEM private key (P-256): the manifest is signed into MANIFEST.sig.
  std::optional<std::string> PrivateKeyPem;
};

struct BundleOutcome {
  // Empty when the bundle was written; otherwise why not, and nothing is
  // left behind.
  std::string Error;
  // The folder exists and is not empty: a usage error, for an earlier
  // bundle is never overwritten.
  bool FolderTaken = false;
  std::size_t Files = 0;     // the manifest's lines, the script included
  std::uint64_t Bytes = 0;   // their sizes added
};

// Empty when name can be the script's name in a bundle: a plain file name
// that is none of the bundle's own names.
std::string ProblemOfBundledScriptName(const std::string& name);

BundleOutcome WriteBundle(const BundleRequest& request);
