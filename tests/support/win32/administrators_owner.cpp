#include "support/win32/administrators_owner.h"

#include <aclapi.h>
#include <windows.h>

namespace testing_support::win32 {

bool GiveToAdministrators(const std::filesystem::path& path) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size)) return false;
  std::wstring name = path.wstring();
  if (::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, sid, nullptr,
                              nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(name.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool given = owner != nullptr && ::EqualSid(owner, sid);
  ::LocalFree(descriptor);
  return given;
}

}  // namespace testing_support::win32
