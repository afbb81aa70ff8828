#include "upgrade/jar_acceptance.h"

#include "os/machine_values.h"
#include "text/utf8.h"
#include "update/offer_check.h"
#include "update/version_order.h"
#include "upgrade/failure_cause.h"
#include "upgrade/jar_check.h"
#include "upgrade/progress.h"

namespace upgrade {

namespace {

// Why the bytes are not the file the offer described; empty when they are.
std::wstring DigestFault(const os::ReadOnlyFile& copy, const update::JarDigest& expected) {
  if (expected.size < 0 && expected.sha256.empty()) return {};
  update::JarDigest actual;
  if (!update::DigestWholeFile(copy, actual)) return L"无法完整读取文件";
  if (expected.size >= 0 && actual.size != expected.size) return L"文件大小与更新信息不符";
  if (!expected.sha256.empty() && actual.sha256 != expected.sha256) {
    return L"SHA-256与更新信息不符";
  }
  return {};
}

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

Staging AcceptStaged(os::StagedFile& staged, const update::JarDigest& expected) {
  std::wstring cause;
  if (!Attempt([&] { return staged.FlushToDisk(); }, cause)) {
    staged.Discard();
    return {StagingResult::NotFlushed, L"无法写入磁盘", cause};
  }
  // Only the signed bytes are looked into at all.
  if (std::wstring fault = DigestFault(staged.Contents(), expected); !fault.empty()) {
    staged.Discard();
    return {StagingResult::DigestRefused, std::move(fault), {}};
  }
  // A cut, spliced or damaged archive would leave the service unable to start.
  if (JarCheck check = CheckJarArchive(staged.Contents()); !check) {
    staged.Discard();
    return {StagingResult::ArchiveRefused, DescribeJarFault(check), {}};
  }
  return {StagingResult::Staged, {}, {}};
}

}  // namespace upgrade
