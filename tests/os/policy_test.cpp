// The administrator's policies as both backends read them: what an
// administrator writes comes back; a number also as decimal text, as an
// administrator may well store it.
#include "os/policy.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/machine_policy.h"
#include "support/target.h"

namespace {

using testing_support::kWindowsTarget;
using testing_support::MachinePolicy;

TEST(Policy, NothingSetReadsAsAbsent) {
  MachinePolicy policy;
  EXPECT_EQ(os::ReadPolicyText(L"Autostart"), std::nullopt);
  EXPECT_EQ(os::ReadPolicyNumber(L"Updates"), std::nullopt);
}

struct Stored {
  const wchar_t* text;  // stored as text when set, else as the number
  std::uint32_t number;
  std::optional<std::wstring> asText;
  std::optional<std::uint32_t> asNumber;
};

TEST(Policy, EachValueReadsBackAndNumbersOnlyFromDigits) {
  // The registry keeps a number's type; the native file's values are all text.
  const auto numberAsText = [](const wchar_t* digits) {
    return kWindowsTarget ? std::nullopt : std::optional<std::wstring>(digits);
  };
  const Stored rows[] = {
      {L"task", 0, L"task", std::nullopt},
      {L"0", 0, L"0", 0u},
      {L"4294967295", 0, L"4294967295", 4294967295u},
      {L"4294967296", 0, L"4294967296", std::nullopt},
      {L"-1", 0, L"-1", std::nullopt},
      {L"0x1", 0, L"0x1", std::nullopt},
      {nullptr, 0, numberAsText(L"0"), 0u},
      {nullptr, 1, numberAsText(L"1"), 1u},
      {nullptr, 4294967295u, numberAsText(L"4294967295"), 4294967295u},
  };
  for (const Stored& row : rows) {
    SCOPED_TRACE(row.text != nullptr ? "text" : "number " + std::to_string(row.number));
    MachinePolicy policy;
    bool set = row.text != nullptr ? policy.SetText(L"Value", row.text)
                                   : policy.SetNumber(L"Value", row.number);
    if (!set) GTEST_SKIP() << "the machine's policies cannot be written here (not root)";
    EXPECT_EQ(os::ReadPolicyText(L"Value"), row.asText);
    EXPECT_EQ(os::ReadPolicyNumber(L"Value"), row.asNumber);
    EXPECT_EQ(os::ReadPolicyText(L"Other"), std::nullopt);
  }
}

}  // namespace
