#include "upgrade/staging.h"

#include "installation/layout.h"
#include "upgrade/failure_cause.h"
#include "upgrade/file_install.h"
#include "upgrade/jar_check.h"

namespace upgrade {

namespace {

// Why the copy is not the file the offer described; empty when it is.
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

}  // namespace

std::wstring StagedName() {
  return TemporaryNameFor(installation::kJarFileName);
}

os::Error CreateStaged(const os::HeldFolder& app, os::StagedFile& staged) {
  os::ClearLastError();
  if (ClearLeftover(app, StagedName()) && staged.Create(app, StagedName())) return {};
  return os::LastErrorOr(L"无法创建文件");
}

Staging VerifyStaged(os::StagedFile& staged, const update::JarDigest& expected) {
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
