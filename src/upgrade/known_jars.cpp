#include "upgrade/known_jars.h"

#include "os/files.h"
#include "os/machine_values.h"
#include "text/utf8.h"
#include "upgrade/progress.h"

namespace upgrade {

namespace {

std::wstring Wide(const std::string& text) {
  return text::Utf8ToWideReplacing(text);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Read through a handle of its own, as the staged copy is; empty when there
// is no JAR or it cannot be read, which is "not the same" (the upgrade then
// backs it up or refuses as it would without this check).
std::string InstalledJarSha256(const installation::PinnedInstallation& pinned) {
  os::ReadOnlyFile installed;
  if (!installed.OpenIn(pinned.app, installation::kJarFileName)) return {};
  return Sha256Of(installed, {});
}

}  // namespace

std::string Sha256Of(const os::ReadOnlyFile& file, const update::JarDigest& expected) {
  if (!expected.sha256.empty()) return expected.sha256;
  update::JarDigest digest;
  if (!update::DigestWholeFile(file, digest)) return {};
  return digest.sha256;
}

bool MayInstallJar(const std::string& sha256, const installation::PinnedInstallation& pinned) {
  if (sha256.empty()) return true;
  if (InstalledJarSha256(pinned) == sha256) {
    Say(L"提供的JAR文件与已安装的相同 (SHA-256 " + Wide(sha256) + L")，不进行更新");
    return false;
  }
  const os::MachineValue rolledBack = os::ReadMachineValue(kRolledBackJarValue);
  switch (rolledBack.status) {
    case os::MachineValueStatus::Found:
      // An administrator may have written it by hand, in capitals.
      if (Lower(text::WideToUtf8(rolledBack.value)) != sha256) return true;
      Say(L"错误: 该JAR文件曾因服务未能运行而被换回 (SHA-256 " + Wide(sha256) + L", " +
          os::MachineValuesPlace() + L")，不进行更新");
      return false;
    case os::MachineValueStatus::Absent:
      return true;
    case os::MachineValueStatus::Untrusted:
    case os::MachineValueStatus::Failed:
      break;
  }
  // Only a guard against a repeated outage: without it the update goes on as
  // it did before the record existed, rather than never again.
  Say(L"警告: 无法读取被换回的JAR文件的记录 (" + os::MachineValuesPlace() + L")");
  return true;
}

void RecordRolledBackJar(const std::string& sha256) {
  if (sha256.empty()) return;
  const std::wstring hash = Wide(sha256);
  if (os::WriteMachineValue(kRolledBackJarValue, hash)) {
    Say(L"已记录未能运行的JAR文件: SHA-256 " + hash + L" (" + os::MachineValuesPlace() + L")");
  } else {
    Say(L"警告: 无法记录未能运行的JAR文件: SHA-256 " + hash + L" (" + os::MachineValuesPlace() +
        L")");
  }
}

}  // namespace upgrade
