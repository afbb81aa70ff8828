#include "upgrade/offer_gate.h"

#include "os/machine_values.h"
#include "text/utf8.h"
#include "update/offer_check.h"
#include "update/version_order.h"
#include "upgrade/progress.h"

namespace upgrade {

namespace {

struct InstalledVersion {
  bool readable = false;
  std::optional<std::string> version;  // nothing when none was ever recorded
};

// A record that cannot be read or is not a version is not "none": refusing
// is safe, installing an old JAR is not.
InstalledVersion ReadInstalledVersion() {
  const os::MachineValue stored = os::ReadMachineValue(kInstalledVersionValue);
  switch (stored.status) {
    case os::MachineValueStatus::Absent:
      return {true, std::nullopt};
    case os::MachineValueStatus::Found: {
      std::string version = text::WideToUtf8(stored.value);
      if (!update::ParseVersion(version)) return {};
      return {true, std::move(version)};
    }
    case os::MachineValueStatus::Untrusted:
    case os::MachineValueStatus::Failed:
      break;
  }
  return {};
}

std::wstring Wide(const std::string& text) {
  return text::Utf8ToWideReplacing(text);
}

}  // namespace

std::optional<update::JarDigest> AcceptOffer(const update::UpdateSettings& settings,
                                             const update::UpdateOffer& offer) {
  InstalledVersion installed;
  if (update::SigningKeysIn(settings) == update::SigningKeys::Usable) {
    installed = ReadInstalledVersion();
    if (!installed.readable) {
      Say(L"错误: 无法读取本机已安装的版本记录 (" + os::MachineValuesPlace() + L")，不进行更新");
      return std::nullopt;
    }
  }
  const update::OfferCheck check = update::CheckOffer(settings, offer, installed.version);
  if (check.fault == update::OfferFault::NotLater) {
    Say(L"错误: 提供的版本 (" + Wide(offer.remoteVersion) + L") 不高于本机已安装的版本 (" +
        Wide(*installed.version) + L")，不进行更新");
    return std::nullopt;
  }
  if (check.fault != update::OfferFault::None) {
    Say(L"错误: 更新信息未通过校验 (" + update::DescribeOfferFault(check.fault) +
        L")，不下载新的JAR文件");
    return std::nullopt;
  }
  return check.expected;
}

void RecordInstalledVersion(const update::UpdateSettings& settings,
                            const update::UpdateOffer& offer) {
  if (update::SigningKeysIn(settings) != update::SigningKeys::Usable) return;
  const std::wstring version = Wide(offer.remoteVersion);
  if (os::WriteMachineValue(kInstalledVersionValue, version)) {
    Say(L"已记录已安装的版本: " + version + L" (" + os::MachineValuesPlace() + L")");
  } else {
    Say(L"警告: 无法记录已安装的版本: " + version + L" (" + os::MachineValuesPlace() + L")");
  }
}

}  // namespace upgrade
