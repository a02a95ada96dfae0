// The update bundle: the MANIFEST's text, the bundle make writes, what
// verify finds in a bundle changed after it was made, and the shared vectors
// (tests/fixtures/bundle_vectors) that the OpenSSL and CNG builds both read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "script_tool/bundle/bundle_check.h"
#include "script_tool/bundle/bundle_writer.h"
#include "bundle/manifest.h"
#include "script_tool/bundle/manifest_signature.h"
#include "script_tool/make/make_plan.h"
#include "script_tool/tree_walker/tree_files.h"
#include "script_tool/verify/verify_replay.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kVectors = fs::u8path(DEVIDUDI_SOURCE_DIR "/tests/fixtures/bundle_vectors");

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

constexpr const char* kHeader = "devidudi-manifest 1\nscript update.txt\nsource-root C:\\Up\n";
const std::string kHash(64, 'a');

TEST(Manifest, TextSortsThePathsAsBytesAndReadsBack) {
  // "é" (C3 A9) sorts after every ASCII letter, "Z" before "a".
  const std::vector<ManifestEntry> entries = {
      {kHash, 5, "update.txt"},
      {kHash, 0, "payload/caf\xC3\xA9.txt"},
      {kHash, 12, "payload/a b/c.dll"},
      {kHash, 7, "payload/Z.txt"},
  };
  const std::string text = ManifestText("update.txt", "C:\\Up", entries);
  EXPECT_EQ(text, std::string(kHeader) + kHash + " 7 payload/Z.txt\n" + kHash +
                      " 12 payload/a b/c.dll\n" + kHash + " 0 payload/caf\xC3\xA9.txt\n" + kHash +
                      " 5 update.txt\n");
  const ParsedManifest parsed = ParseManifest(text);
  EXPECT_TRUE(parsed.Problems.empty()) << parsed.Problems[0].Message;
  EXPECT_EQ(parsed.ScriptName, "update.txt");
  EXPECT_EQ(parsed.SourceRoot, "C:\\Up");
  ASSERT_EQ(parsed.Entries.size(), 4u);
  EXPECT_EQ(parsed.Entries[1].Path, "payload/a b/c.dll");
  EXPECT_EQ(parsed.Entries[1].Size, 12u);
  EXPECT_EQ(parsed.EntryLines[1], 5u);
}

TEST(Manifest, EachMalformedLineIsAProblemAtItsLine) {
  const struct {
    const char* name;
    std::string text;  // the whole manifest
    std::size_t line;  // 0: no problem
    const char* says;
  } rows[] = {
      {"a good line", kHeader + kHash + " 1 payload/a\n", 0, ""},
      {"size 0", kHeader + kHash + " 0 payload/a\n", 0, ""},
      {"upper-case hash", kHeader + std::string(64, 'A') + " 1 payload/a\n", 4, "hash field"},
      {"63 digits", kHeader + std::string(63, 'a') + " 1 payload/a\n", 4, "hash field"},
      {"a leading zero", kHeader + kHash + " 01 payload/a\n", 4, "size field \"01\""},
      {"a sign", kHeader + kHash + " +1 payload/a\n", 4, "size field"},
      {"no size", kHeader + kHash + "  payload/a\n", 4, "size field \"\""},
      {"past 64 bits", kHeader + kHash + " 18446744073709551616 payload/a\n", 4, "size field"},
      {"two fields", kHeader + kHash + " 1\n", 4, "is not \"SHA-256 SIZE PATH\""},
      {"a CR", kHeader + kHash + " 1 payload/a\r\n", 4, "holds a CR"},
      {"a name ..", kHeader + kHash + " 1 payload/../x\n", 4, "within the bundle"},
      {"a leading /", kHeader + kHash + " 1 /etc/x\n", 4, "within the bundle"},
      {"a backslash", kHeader + kHash + " 1 payload\\a\n", 4, "within the bundle"},
      {"twice", kHeader + kHash + " 1 a\n" + kHash + " 1 a\n", 5, "a second time"},
      {"out of order", kHeader + kHash + " 1 payload/b\n" + kHash + " 1 payload/a\n", 5,
       "payload/a sorts before payload/b"},
      {"no LF at the end", kHeader + kHash + " 1 payload/a", 4, "does not end in LF"},
      {"another version", "devidudi-manifest 2\nscript u\nsource-root C:\\\n", 1, "is not"},
      {"no script line", "devidudi-manifest 1\nscript \nsource-root C:\\\n", 2, "script NAME"},
      {"cut short", "devidudi-manifest 1\n", 2, "three header lines"},
  };
  for (const auto& row : rows) {
    const ParsedManifest parsed = ParseManifest(row.text);
    if (row.line == 0) {
      EXPECT_TRUE(parsed.Problems.empty()) << row.name << ": " << parsed.Problems[0].Message;
      EXPECT_EQ(parsed.Entries.size(), 1u) << row.name;
      continue;
    }
    ASSERT_EQ(parsed.Problems.size(), 1u) << row.name;
    EXPECT_EQ(parsed.Problems[0].Line, row.line) << row.name;
    EXPECT_NE(parsed.Problems[0].Message.find(row.says), std::string::npos)
        << row.name << ": " << parsed.Problems[0].Message;
  }
}

// An installed version, a new one, and make's bundle of the two.
class Release {
 public:
  Release() {
    MakeTree(Old(), {{"PexaMenu.exe", {"old program", 48}},
                     {"readme.txt", {"read me", 48}},
                     {"lib/core.dll", {"old core", 48}}});
    MakeTree(New(), {{"PexaMenu.exe", {"new program!", 2}},
                     {"readme.txt", {"read me", 48}},
                     {"lib/core.dll", {"new core", 2}},
                     {"lib/read me.txt", {"added", 1}}});
    MakeRequest request;
    request.OldFolder = Old();
    request.NewFolder = New();
    request.SourceRoot = L"C:\\Update";
    request.TargetRoot = L"C:\\App";
    made_ = MakeScript(request);
  }
  fs::path Old() const { return scratch_.Path() / "old"; }
  fs::path New() const { return scratch_.Path() / "new"; }
  const MakeOutcome& Made() const { return made_; }

  BundleOutcome Write(const fs::path& folder, bool signedWithTestKey = false) const {
    BundleRequest request;
    request.Folder = folder;
    request.ScriptName = "update.txt";
    request.ScriptBytes = made_.Script.Bytes();
    request.SourceRoot = "C:\\Update";
    request.Files = made_.Copied;
    if (signedWithTestKey) request.PrivateKeyPem = ReadBytes(kVectors / "key.pem");
    return WriteBundle(request);
  }
  fs::path Folder(const std::string& name) const { return scratch_.Path() / name; }

 private:
  const ScratchFolder scratch_{"devidudi-bundle"};
  MakeOutcome made_;
};

// Every file under folder, '/' between names, with its bytes and time (the
// payload's; the script and MANIFEST are written now, with the time of now).
std::map<std::string, std::pair<std::string, WindowsFileTime>> Files(const fs::path& folder) {
  std::map<std::string, std::pair<std::string, WindowsFileTime>> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::error_code error;
    const std::string name = entry.path().lexically_relative(folder).generic_u8string();
    const bool now = name == "MANIFEST" || name == "update.txt";
    files[name] = {ReadBytes(entry.path()), now ? 0 : LastWriteTime(entry.path(), error)};
  }
  return files;
}

TEST(MakeBundle, HoldsTheCopiedFilesAsInNewTheScriptAndTheSameBytesTwice) {
  const Release release;
  ASSERT_TRUE(release.Made().Errors.empty());
  const fs::path first = release.Folder("first");
  const fs::path second = release.Folder("second");
  fs::create_directory(second);  // an empty folder is taken
  ASSERT_EQ(release.Write(first).Error, "");
  ASSERT_EQ(release.Write(second).Error, "");
  const auto files = Files(first);
  EXPECT_EQ(files, Files(second));
  std::vector<std::string> names;
  for (const auto& [name, file] : files) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"MANIFEST", "payload/PexaMenu.exe",
                                             "payload/lib/core.dll", "payload/lib/read me.txt",
                                             "update.txt"}));
  const auto news = Files(release.New());
  for (const char* copied : {"PexaMenu.exe", "lib/core.dll", "lib/read me.txt"}) {
    EXPECT_EQ(files.at(std::string("payload/") + copied), news.at(copied)) << copied;
  }
  EXPECT_EQ(files.at("update.txt").first, release.Made().Script.Bytes());
  EXPECT_TRUE(ParseManifest(files.at("MANIFEST").first).Problems.empty());

  // Neither a bundle nor a file is ever overwritten, and nothing is left beside them.
  WriteBytes(release.Folder("taken"), "x");
  for (const fs::path& taken : {first, release.Folder("taken")}) {
    const BundleOutcome refused = release.Write(taken);
    EXPECT_TRUE(refused.FolderTaken) << taken;
  }
  EXPECT_EQ(Files(first), Files(second));
  const auto entries = std::distance(fs::directory_iterator(release.Folder("")), {});
  EXPECT_EQ(entries, 5) << "old, new, first, second, taken";
}

// What verify --bundle reports: the bundle's findings, the script's sources
// the manifest lacks, then the replay's findings and differences from NEW.
std::string VerifyBundle(const Release& release, const fs::path& bundle, const std::string& script,
                         const std::optional<std::string>& publicKey, std::string& messages) {
  BundleCheck check = CheckBundle(bundle, "B", publicKey);
  if (!check.Error.empty()) return "error: " + check.Error;
  const std::vector<ScriptLine> lines = ParseScriptLines(script);
  std::vector<Finding> findings = check.Findings;
  if (const auto differs = SourceRootDiffers(check.Manifest, "c:/update/", "B")) {
    findings.push_back(*differs);
  }
  for (const Finding& finding : SourcesNotInManifest(lines, "C:\\Update", check.Manifest)) {
    findings.push_back(finding);
  }
  VerifySetup setup{release.Old(), release.New(), "C:\\Update", "C:\\App"};
  setup.Sources = bundle / "payload";
  const VerifyReport report = VerifyScript(lines, setup);
  findings.insert(findings.end(), report.Findings.begin(), report.Findings.end());
  std::string listed;
  for (const Finding& finding : findings) {
    listed += std::string(finding.Code) + " ";
    messages += finding.Message + "; ";
  }
  for (const TreeDifference& difference : report.Differences) {
    listed += std::string(KindWord(difference.What)) + " " + difference.Path + " ";
  }
  return listed;
}

void Edit(const fs::path& file, const std::function<void(std::string&)>& change) {
  std::string bytes = ReadBytes(file);
  change(bytes);
  WriteBytes(file, bytes);
}

TEST(VerifyBundle, FindsEveryChangeMadeAfterTheBundle) {
  using Tamper = std::function<void(const fs::path& bundle, std::string& script)>;
  const Tamper none = [](const fs::path&, std::string&) {};
  const struct {
    const char* name;
    Tamper tamper;
    bool checkSignature;  // with public.pem, or other-public.pem for "another key"
    const char* found;
    const char* says;  // in the messages
  } rows[] = {
      {"as made", none, false, "", ""},
      {"as made and signed", none, true, "", ""},
      {"a byte flipped",
       [](const fs::path& b, std::string&) {
         Edit(b / "payload/lib/core.dll", [](std::string& s) { s[2] ^= 0x20; });
       },
       false, "DV114 contents lib/core.dll ", "the SHA-256 differs: the manifest says "},
      {"cut short",
       [](const fs::path& b, std::string&) {
         Edit(b / "payload/PexaMenu.exe", [](std::string& s) { s.resize(5); });
       },
       false, "DV114 contents PexaMenu.exe ",
       "the size differs: the manifest says 12 bytes, the file has 5"},
      {"a file missing",
       [](const fs::path& b, std::string&) { fs::remove(b / "payload/lib/read me.txt"); },
       false, "DV114 DV107 ", "is listed but missing"},
      {"a file added",
       [](const fs::path& b, std::string&) { WriteBytes(b / "payload/extra.dll", "x"); },
       false, "DV115 ", "not in its MANIFEST"},
      {"a source the manifest lacks",
       [](const fs::path&, std::string& script) {
         script += "COP\tC:\\Update\\readme.txt\tC:\\App\\readme.txt\r\n";
       },
       false, "DV113 DV107 ", "its MANIFEST lists no payload/readme.txt"},
      {"made for another source root",
       [](const fs::path& b, std::string&) {
         Edit(b / "MANIFEST", [](std::string& s) { s.replace(s.find("C:\\Update"), 9, "C:\\Other"); });
       },
       false, "DV118 ", "made for the source root C:\\Other, not for --source-root c:/update/"},
      {"a bad hash field",
       [](const fs::path& b, std::string&) {
         Edit(b / "MANIFEST", [](std::string& s) { s[s.find('\n', s.find("source-root")) + 1] = 'G'; });
       },
       false, "DV116 DV115 DV113 ", "the hash field"},
      {"a bad size field",
       [](const fs::path& b, std::string&) {
         Edit(b / "MANIFEST", [](std::string& s) { s.replace(s.find(" 12 "), 4, " 012 "); });
       },
       false, "DV116 DV115 DV113 ", "the size field \"012\""},
      {"the manifest edited after signing",
       [](const fs::path& b, std::string&) {
         Edit(b / "MANIFEST", [](std::string& s) { s.replace(s.find("C:\\Update"), 3, "D:\\"); });
       },
       true, "DV117 DV118 ", "is not a signature of MANIFEST by this key"},
      {"another key", none, true, "DV117 ", "is not a signature of MANIFEST by this key"},
      {"an empty signature",
       [](const fs::path& b, std::string&) { WriteBytes(b / "MANIFEST.sig", ""); },
       true, "DV117 ", "is empty"},
      {"a signature cut short",
       [](const fs::path& b, std::string&) {
         Edit(b / "MANIFEST.sig", [](std::string& s) { s.resize(s.size() / 2); });
       },
       true, "DV117 ", "signature"},
      {"no signature",
       [](const fs::path& b, std::string&) { fs::remove(b / "MANIFEST.sig"); },
       true, "DV117 ", "is missing"},
  };
  const Release release;
  int bundles = 0;
  for (const auto& row : rows) {
    if (row.checkSignature && !CanSignManifests()) continue;  // the Windows build hashes only
    const fs::path bundle = release.Folder("bundle" + std::to_string(++bundles));
    ASSERT_EQ(release.Write(bundle, row.checkSignature).Error, "") << row.name;
    std::string script = release.Made().Script.Bytes();
    row.tamper(bundle, script);
    const std::string key = std::string(row.name) == "another key" ? "other-public.pem"
                                                                     : "public.pem";
    const std::optional<std::string> publicKey =
        row.checkSignature ? std::optional<std::string>(ReadBytes(kVectors / key)) : std::nullopt;
    std::string messages;
    EXPECT_EQ(VerifyBundle(release, bundle, script, publicKey, messages), row.found) << row.name;
    EXPECT_NE(messages.find(row.says), std::string::npos) << row.name << ": " << messages;
  }
}

TEST(BundleVectors, AreTheSameToThisBuildAsToOpenssl) {
  const fs::path bundle = kVectors / "bundle";
  const std::string manifest = ReadBytes(bundle / "MANIFEST");
  // As sha256sum gives them (and FIPS 180-2's "abc").
  EXPECT_EQ(Sha256Hex(manifest),
            "9771269033caffa3c0a0bec3ce3de8547738947ad57cf8a03d1599563b1b3a84");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // make would write this very manifest for these files.
  const ParsedManifest parsed = ParseManifest(manifest);
  EXPECT_EQ(ManifestText(parsed.ScriptName, parsed.SourceRoot, parsed.Entries), manifest);
  EXPECT_TRUE(CheckBundle(bundle, "vectors", std::nullopt).Findings.empty());

  std::string edited = manifest;
  edited[edited.find("2.0")] = '3';
  const struct {
    const char* name;
    std::string manifest;
    const char* signature;
    const char* key;
    bool good;
  } rows[] = {
      {"its signature", manifest, "bundle/MANIFEST.sig", "public.pem", true},
      {"the other key's, by the other key", manifest, "MANIFEST.other-key.sig",
       "other-public.pem", true},
      {"the other key's", manifest, "MANIFEST.other-key.sig", "public.pem", false},
      {"its signature, by the other key", manifest, "bundle/MANIFEST.sig", "other-public.pem",
       false},
      {"an edited manifest", edited, "bundle/MANIFEST.sig", "public.pem", false},
      // The bundle VerifyUpdate's table places, and its signed variants.
      {"placed", ReadBytes(kVectors / "placed/MANIFEST"), "placed/MANIFEST.sig", "public.pem",
       true},
      {"placed, by the other key", ReadBytes(kVectors / "placed/MANIFEST"),
       "placed-variants/other-key.MANIFEST.sig", "public.pem", false},
      {"a signed bad hash field", ReadBytes(kVectors / "placed-variants/bad-hash.MANIFEST"),
       "placed-variants/bad-hash.MANIFEST.sig", "public.pem", true},
      {"a signed bad hash field, its signature on another manifest",
       ReadBytes(kVectors / "placed-variants/bad-size.MANIFEST"),
       "placed-variants/bad-hash.MANIFEST.sig", "public.pem", false},
  };
  for (const auto& row : rows) {
    const std::string refused = CheckManifestSignature(
        row.manifest, ReadBytes(kVectors / row.signature), ReadBytes(kVectors / row.key));
    EXPECT_EQ(refused.empty(), row.good) << row.name << ": " << refused;
  }
  EXPECT_EQ(CheckBundle(bundle, "vectors", ReadBytes(kVectors / "public.pem")).Findings.size(), 0u);
  // Only a P-256 public key is taken.
  EXPECT_EQ(ProblemOfPublicKey(ReadBytes(kVectors / "public.pem")), "");
  EXPECT_NE(ProblemOfPublicKey(ReadBytes(kVectors / "key.pem")), "");
  EXPECT_NE(ProblemOfPublicKey(ReadBytes(kVectors / "p384-public.pem")).find("P-256"),
            std::string::npos);
  if (!CanSignManifests()) return;  // the Windows build checks, but does not sign
  // What make signs, openssl's public key takes.
  const ManifestSignature made = SignManifest(manifest, ReadBytes(kVectors / "key.pem"));
  ASSERT_EQ(made.Error, "");
  EXPECT_EQ(CheckManifestSignature(manifest, made.Der, ReadBytes(kVectors / "public.pem")), "");
  EXPECT_EQ(ProblemOfPrivateKey(ReadBytes(kVectors / "key.pem")), "");
  EXPECT_NE(ProblemOfPrivateKey(ReadBytes(kVectors / "public.pem")), "");
}

}  // namespace
