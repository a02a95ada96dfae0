#include "exec/kept_security.h"

#include "platform/scoped_handle.h"

namespace {

constexpr SECURITY_INFORMATION kOwnerAndGroup =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;

// The owner of the open file, compared with the descriptor's: equal owners
// need no change, the usual case of an application the user installed.
bool HasOwnerOf(HANDLE file, PSECURITY_DESCRIPTOR descriptor) {
  PSID wanted = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &wanted, &defaulted) || wanted == nullptr) {
    return true;
  }
  std::vector<BYTE> own(512);
  DWORD needed = 0;
  if (!GetKernelObjectSecurity(file, OWNER_SECURITY_INFORMATION, own.data(),
                               static_cast<DWORD>(own.size()), &needed)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    own.resize(needed);
    if (!GetKernelObjectSecurity(file, OWNER_SECURITY_INFORMATION, own.data(),
                                 static_cast<DWORD>(own.size()), &needed)) {
      return false;
    }
  }
  PSID current = nullptr;
  return GetSecurityDescriptorOwner(own.data(), &current, &defaulted) && current != nullptr &&
         EqualSid(current, wanted);
}

}  // namespace

DWORD ReadSecurityToKeep(const std::wstring& target, std::vector<BYTE>& descriptor) {
  descriptor.clear();
  const SECURITY_INFORMATION wanted = kOwnerAndGroup | DACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  if (GetFileSecurityW(target.c_str(), wanted, nullptr, 0, &needed)) return ERROR_SUCCESS;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ERROR_SUCCESS;
  if (error != ERROR_INSUFFICIENT_BUFFER) return error;
  descriptor.resize(needed);
  if (!GetFileSecurityW(target.c_str(), wanted, descriptor.data(), needed, &needed)) {
    error = GetLastError();
    descriptor.clear();
    return error;
  }
  return ERROR_SUCCESS;
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
  if (HasOwnerOf(file, sd)) return ERROR_SUCCESS;
  // WRITE_OWNER alone asks for no access to the data, so the temporary
  // file's own open without sharing does not stand in its way; this open
  // shares everything, so that it does not stand in that one's. Refused for
  // a foreign owner without the restore privilege: the user stays owner.
  const ScopedHandle owner(ReOpenFile(
      file, WRITE_OWNER, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
  if (owner.IsValid()) SetKernelObjectSecurity(owner.Get(), kOwnerAndGroup, sd);
  return ERROR_SUCCESS;
}
