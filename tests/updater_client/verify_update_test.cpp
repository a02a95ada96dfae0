// VerifyUpdate under Wine, on the shared vectors that OpenSSL made and that
// the toolkit's tests check natively: the bundle as made is taken, and every
// way of damaging or forging it is refused with the file, the line and both
// values, and changes nothing.
#include "updater_client/verify_update.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using devidudi::BundleProblem;
using devidudi::BundleVerdict;
using devidudi::VerifyUpdate;

const fs::path kVectors = fs::path(DEVIDUDI_SOURCE_DIR) / "tests/fixtures/bundle_vectors";
// Where the vectors' script copies from: the bundle's payload folder there.
const std::wstring kPlaced = L"C:\\ProgramData\\PexaMenu\\update-2.0";

std::string Vector(const std::string& name) { return ReadBytes((kVectors / name).wstring()); }

// The placed bundle, copied where its script expects it, removed afterwards.
class PlacedBundle {
 public:
  PlacedBundle() {
    RemoveTree(kPlaced);
    fs::create_directories(fs::path(kPlaced).parent_path());
    fs::copy(kVectors / "placed", fs::path(kPlaced), fs::copy_options::recursive);
  }
  PlacedBundle(const PlacedBundle&) = delete;
  PlacedBundle& operator=(const PlacedBundle&) = delete;
  ~PlacedBundle() { RemoveTree(kPlaced); }
  std::wstring File(const std::wstring& relative) const { return kPlaced + L"\\" + relative; }
  // A signed variant of MANIFEST (and of the script, where it has one).
  void Take(const std::string& variant) const {
    WriteBytes(File(L"MANIFEST"), Vector("placed-variants/" + variant + ".MANIFEST"));
    WriteBytes(File(L"MANIFEST.sig"), Vector("placed-variants/" + variant + ".MANIFEST.sig"));
    const fs::path script = kVectors / "placed-variants" / (variant + ".update.txt");
    if (fs::exists(script)) WriteBytes(File(L"update.txt"), ReadBytes(script.wstring()));
  }
};

void Edit(const std::wstring& path, const std::function<void(std::string&)>& change) {
  std::string bytes = ReadBytes(path);
  change(bytes);
  WriteBytes(path, bytes);
}

TEST(VerifyUpdate, TakesTheBundleAsMadeAndRefusesEveryChange) {
  using Tamper = std::function<void(const PlacedBundle&)>;
  const Tamper none = [](const PlacedBundle&) {};
  const struct {
    const char* row;
    Tamper tamper;
    BundleProblem problem;
    const wchar_t* file;  // the end of File; none when accepted
    std::size_t line;
    const char* key = "public.pem";
  } rows[] = {
      {"as made", none, BundleProblem::None, L"", 0},
      {"one flipped byte in a payload file",
       [](const PlacedBundle& b) { Edit(b.File(L"payload\\a.txt"), [](std::string& s) { s[0] ^= 1; }); },
       BundleProblem::HashDiffers, L"payload\\a.txt", 4},
      {"a payload file cut short",
       [](const PlacedBundle& b) {
         Edit(b.File(L"payload\\sub\\b.txt"), [](std::string& s) { s.resize(5); });
       },
       BundleProblem::SizeDiffers, L"payload\\sub\\b.txt", 6},
      {"a payload file missing",
       [](const PlacedBundle& b) { DeleteFileW(b.File(L"payload\\read me.txt").c_str()); },
       BundleProblem::FileMissing, L"payload\\read me.txt", 5},
      {"a folder where a payload file must be",
       [](const PlacedBundle& b) {
         DeleteFileW(b.File(L"payload\\a.txt").c_str());
         CreateDirectoryW(b.File(L"payload\\a.txt").c_str(), nullptr);
       },
       BundleProblem::FileMissing, L"payload\\a.txt", 4},
      {"the script edited",
       [](const PlacedBundle& b) { Edit(b.File(L"update.txt"), [](std::string& s) { s[4] = 'D'; }); },
       BundleProblem::HashDiffers, L"update.txt", 7},
      {"an extra file",
       [](const PlacedBundle& b) { WriteBytes(b.File(L"payload\\sub\\planted.dll"), "MZ"); },
       BundleProblem::FileNotListed, L"payload\\sub\\planted.dll", 0},
      {"an extra file named as the manifest, below the payload",
       [](const PlacedBundle& b) { WriteBytes(b.File(L"payload\\MANIFEST"), "x"); },
       BundleProblem::FileNotListed, L"payload\\MANIFEST", 0},
      {"a script line naming a source the manifest does not list",
       [](const PlacedBundle& b) { b.Take("unlisted"); }, BundleProblem::SourceNotListed,
       L"update.txt", 4},
      {"a script copying from outside the bundle",
       [](const PlacedBundle& b) { b.Take("elsewhere"); }, BundleProblem::SourceNotListed,
       L"update.txt", 1},
      {"the manifest edited after signing",
       [](const PlacedBundle& b) {
         Edit(b.File(L"MANIFEST"), [](std::string& s) { s[s.find(" 6 ") + 1] = '7'; });
       },
       BundleProblem::SignatureNotValid, L"MANIFEST.sig", 0},
      {"a signature by another key",
       [](const PlacedBundle& b) {
         WriteBytes(b.File(L"MANIFEST.sig"), Vector("placed-variants/other-key.MANIFEST.sig"));
       },
       BundleProblem::SignatureNotValid, L"MANIFEST.sig", 0},
      {"the right signature, but checked with another key", none,
       BundleProblem::SignatureNotValid, L"MANIFEST.sig", 0, "other-public.pem"},
      {"an empty signature",
       [](const PlacedBundle& b) { WriteBytes(b.File(L"MANIFEST.sig"), ""); },
       BundleProblem::SignatureNotValid, L"MANIFEST.sig", 0},
      {"a signature cut short",
       [](const PlacedBundle& b) {
         Edit(b.File(L"MANIFEST.sig"), [](std::string& s) { s.resize(s.size() - 1); });
       },
       BundleProblem::SignatureNotValid, L"MANIFEST.sig", 0},
      {"no signature",
       [](const PlacedBundle& b) { DeleteFileW(b.File(L"MANIFEST.sig").c_str()); },
       BundleProblem::SignatureNotValid, L"MANIFEST.sig", 0},
      {"no manifest", [](const PlacedBundle& b) { DeleteFileW(b.File(L"MANIFEST").c_str()); },
       BundleProblem::ManifestUnreadable, L"MANIFEST", 0},
      {"a signed line with a bad hash field", [](const PlacedBundle& b) { b.Take("bad-hash"); },
       BundleProblem::ManifestMalformed, L"MANIFEST", 4},
      {"a signed line with a bad size field", [](const PlacedBundle& b) { b.Take("bad-size"); },
       BundleProblem::ManifestMalformed, L"MANIFEST", 4},
      {"a public key on P-384", none, BundleProblem::KeyUnusable, L"update-2.0", 0,
       "p384-public.pem"},
      {"the private key in place of the public", none, BundleProblem::KeyUnusable,
       L"update-2.0", 0, "key.pem"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.row);
    const PlacedBundle bundle;
    row.tamper(bundle);
    const std::string before = ReadBytes(bundle.File(L"payload\\sub\\b.txt"));
    const BundleVerdict verdict = VerifyUpdate(kPlaced, Vector(row.key));
    EXPECT_EQ(verdict.Problem, row.problem) << Narrow(verdict.Found);
    const std::wstring file = row.file;
    EXPECT_TRUE(verdict.File.size() >= file.size() && (file.empty() == verdict.File.empty()) &&
                verdict.File.compare(verdict.File.size() - file.size(), file.size(), file) == 0)
        << Narrow(verdict.File);
    EXPECT_EQ(verdict.Line, row.line);
    EXPECT_EQ(verdict.ScriptPath, verdict.Accepted() ? kPlaced + L"\\update.txt" : L"");
    EXPECT_EQ(devidudi::DescribeBundleProblem(verdict).empty(), verdict.Accepted());
    EXPECT_EQ(ReadBytes(bundle.File(L"payload\\sub\\b.txt")), before) << "changed nothing";
  }
}

TEST(VerifyUpdate, SaysWhichFileWhatWasExpectedAndWhatWasFound) {
  auto bundle = std::make_unique<PlacedBundle>();
  Edit(bundle->File(L"payload\\a.txt"), [](std::string& s) { s = "alpha!"; });
  const BundleVerdict verdict = VerifyUpdate(kPlaced + L"\\", Vector("public.pem"));
  ASSERT_EQ(verdict.Problem, BundleProblem::HashDiffers);
  const std::wstring said = devidudi::DescribeBundleProblem(verdict);
  for (const std::wstring& part :
       {std::wstring(L"The update bundle is damaged"), kPlaced + L"\\payload\\a.txt, line 4",
        std::wstring(L"expected SHA-256 b6a98d9ce9a2d9149288fa3df42d377c3e42737afdcdaf714e33c0a100b51060"),
        std::wstring(L"found SHA-256 ")}) {
    EXPECT_NE(said.find(part), std::wstring::npos) << Narrow(part) << " in " << Narrow(said);
  }
  // A bundle placed elsewhere than its script copies from says where it must lie.
  bundle.reset();
  bundle = std::make_unique<PlacedBundle>();
  bundle->Take("elsewhere");
  const std::wstring elsewhere =
      devidudi::DescribeBundleProblem(VerifyUpdate(kPlaced, Vector("public.pem")));
  EXPECT_NE(elsewhere.find(L"MANIFEST's source root is C:\\Updates\\2.0"), std::wstring::npos)
      << Narrow(elsewhere);
}

}  // namespace
