#pragma once
// Checks an update bundle (verify --bundle DIR) against its MANIFEST: every
// line against its file (size, then SHA-256), no file of the bundle left out
// of it, every COP source of the script in it, and, given a public key,
// MANIFEST.sig. Replaying the script from the payload is verify's own
// (verify_replay.h); this is what only a bundle has.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bundle/manifest.h"
#include "script_tool/findings/finding.h"
#include "script_tool/script_reader/script_file.h"

struct BundleCheck {
  // Why the bundle could not be checked at all (no MANIFEST, say); then
  // there is nothing else.
  std::string Error;
  ParsedManifest Manifest;
  // Each with its File: the manifest (with its line), a file of the bundle,
  // or MANIFEST.sig; shown is how the bundle's folder is named in them.
  std::vector<Finding> Findings;
};

// publicKeyPem, when given, must be a usable key (ProblemOfPublicKey).
BundleCheck CheckBundle(const std::filesystem::path& folder, const std::string& shown,
                        const std::optional<std::string>& publicKeyPem);

// A finding at MANIFEST's source-root line when the bundle was made for
// another source root than sourceRoot (Latin-1, compared as Windows compares
// folders): the application checks the bundle where its payload folder is
// MANIFEST's root, so a replay from sourceRoot proves another bundle.
std::optional<Finding> SourceRootDiffers(const ParsedManifest& manifest,
                                         const std::string& sourceRoot, const std::string& shown);

// The COP lines whose source lies below sourceRoot (Latin-1, as the script)
// but names no file the manifest lists under payload/, as findings at the
// source's column. A source below neither root is the replay's to report.
std::vector<Finding> SourcesNotInManifest(const std::vector<ScriptLine>& lines,
                                          const std::string& sourceRoot,
                                          const ParsedManifest& manifest);
