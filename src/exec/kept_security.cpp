#include "exec/kept_security.h"

#include "platform/scoped_handle.h"

namespace {

constexpr SECURITY_INFORMATION kOwnerAndGroup =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;

// The owner Windows gives a file this process creates: its token's default
// owner, read once. Equal owners need no change, the usual case of an
// application the user installed, and the new file's own descriptor need
// not be read for each copy.
const std::vector<BYTE>& DefaultOwner() {
  static const std::vector<BYTE> owner = [] {
    std::vector<BYTE> bytes;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return bytes;
    const ScopedHandle owned(token);
    DWORD needed = 0;
    GetTokenInformation(token, TokenOwner, nullptr, 0, &needed);
    bytes.resize(needed);
    if (needed == 0 || !GetTokenInformation(token, TokenOwner, bytes.data(), needed, &needed)) {
      bytes.clear();
    }
    return bytes;
  }();
  return owner;
}

bool HasDefaultOwner(PSECURITY_DESCRIPTOR descriptor) {
  PSID wanted = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &wanted, &defaulted) || wanted == nullptr) {
    return true;
  }
  const std::vector<BYTE>& owner = DefaultOwner();
  if (owner.empty()) return false;
  const auto* tokenOwner = reinterpret_cast<const TOKEN_OWNER*>(owner.data());
  return EqualSid(tokenOwner->Owner, wanted) != FALSE;
}

}  // namespace

DWORD ReadSecurityToKeep(const std::wstring& target, std::vector<BYTE>& descriptor) {
  // Room for the usual descriptor, so that one call reads it: each call
  // opens the file.
  descriptor.assign(1024, 0);
  const SECURITY_INFORMATION wanted = kOwnerAndGroup | DACL_SECURITY_INFORMATION;
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD needed = 0;
    if (GetFileSecurityW(target.c_str(), wanted, descriptor.data(),
                         static_cast<DWORD>(descriptor.size()), &needed)) {
      return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size()) {
      descriptor.clear();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                 ? static_cast<DWORD>(ERROR_SUCCESS)
                 : error;
    }
    descriptor.assign(needed, 0);
  }
  descriptor.clear();
  return ERROR_INSUFFICIENT_BUFFER;
}

DWORD GiveKeptSecurity(HANDLE file, const std::vector<BYTE>& descriptor) {
  if (descriptor.empty()) return ERROR_SUCCESS;
  const auto sd = const_cast<PSECURITY_DESCRIPTOR>(static_cast<const void*>(descriptor.data()));
  // The raw call sets the access list as it stands, with its inherited
  // entries and its protection from inheritance: the file stays in the
  // target's folder, so what it inherited is what the target inherited.
  if (!SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, sd)) {
    const DWORD error = GetLastError();
    return error;
  }
  if (HasDefaultOwner(sd)) return ERROR_SUCCESS;
  // WRITE_OWNER alone asks for no access to the data, so the temporary
  // file's own open without sharing does not stand in its way; this open
  // shares everything, so that it does not stand in that one's. Refused for
  // a foreign owner without the restore privilege: the user stays owner.
  const ScopedHandle owner(ReOpenFile(
      file, WRITE_OWNER, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
  if (owner.IsValid()) SetKernelObjectSecurity(owner.Get(), kOwnerAndGroup, sd);
  return ERROR_SUCCESS;
}
