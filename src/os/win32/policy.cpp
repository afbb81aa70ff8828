// Windows backend of the policy service: values under the machine's Policies key.
#include "os/policy.h"

#include <windows.h>

namespace os {
namespace {

constexpr const wchar_t* kPolicyKey = L"SOFTWARE\\Policies\\Wardkeep";

}  // namespace

std::optional<std::wstring> ReadPolicyText(const std::wstring& name) {
  DWORD bytes = 0;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                     &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // A policy value is a word; anything huge is not one of ours.
  if (bytes > 4096) return std::nullopt;
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name.c_str(), RRF_RT_REG_SZ, nullptr,
                     value.data(), &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // RegGetValueW stores the terminating NUL and counts it.
  value.resize(bytes / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return value;
}

std::optional<std::uint32_t> ReadPolicyNumber(const std::wstring& name) {
  DWORD value = 0;
  DWORD bytes = sizeof value;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name.c_str(), RRF_RT_REG_DWORD, nullptr,
                     &value, &bytes) != ERROR_SUCCESS) {
    std::optional<std::wstring> text = ReadPolicyText(name);
    return text ? ParsePolicyNumber(*text) : std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace os
