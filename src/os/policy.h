#pragma once
// Settings an administrator of the machine fixes for every user: read only,
// from a place an ordinary user cannot write. Windows: the values under
// HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Wardkeep (Group Policy's place).
// Natively: the lines "Name=Value" of /etc/wardkeep/policy, or of the file
// $WARDKEEP_POLICY_FILE names; a file (or its folder) that is not owned by
// root or that others may write is not read at all.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace os {

// The text value `name` (Windows: REG_SZ only; natively every value is text);
// none when it is absent or the place is not trusted.
std::optional<std::wstring> ReadPolicyText(const std::wstring& name);

// The number value `name`: a REG_DWORD, or a text of decimal digits that fits
// 32 bits (an administrator's `reg add` without /t REG_DWORD still counts);
// none when it is absent, anything else, or the place is not trusted.
std::optional<std::uint32_t> ReadPolicyNumber(const std::wstring& name);

// Decimal digits only, at most 32 bits; what both backends accept as a number.
std::optional<std::uint32_t> ParsePolicyNumber(std::wstring_view text);

}  // namespace os
