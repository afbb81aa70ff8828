#include "upgrade/staging.h"

#include "installation/layout.h"
#include "update/jar_signature.h"
#include "upgrade/failure_cause.h"
#include "upgrade/file_install.h"
#include "upgrade/jar_check.h"

namespace upgrade {

std::wstring StagedName() {
  return TemporaryNameFor(installation::kJarFileName);
}

bool CreateStaged(const os::HeldFolder& app, os::StagedFile& staged, std::wstring& cause) {
  return Attempt(
      [&] { return ClearLeftover(app, StagedName()) && staged.Create(app, StagedName()); }, cause);
}

Staging StageVerifiedCopy(const std::wstring& download, const os::HeldFolder& app,
                          const std::string& signature, os::StagedFile& staged) {
  std::wstring cause;
  if (!CreateStaged(app, staged, cause)) {
    return {StagingResult::NotCreated, app.Path() + L"\\" + StagedName(), cause};
  }
  // Whatever happens to the download from here on, only these bytes count.
  os::ReadOnlyFile source;
  if (!Attempt([&] { return source.Open(download) && CopyInto(source, staged); }, cause)) {
    staged.Discard();
    return {StagingResult::NotCopied, download, cause};
  }
  return VerifyStaged(staged, signature);
}

Staging VerifyStaged(os::StagedFile& staged, const std::string& signature) {
  std::wstring cause;
  if (!Attempt([&] { return staged.FlushToDisk(); }, cause)) {
    staged.Discard();
    return {StagingResult::NotCopied, L"无法写入磁盘", cause};
  }
  // A cut, spliced or damaged archive would leave the service unable to start.
  if (JarCheck check = CheckJarArchive(staged.Contents()); !check) {
    staged.Discard();
    return {StagingResult::ArchiveRefused, DescribeJarFault(check), {}};
  }
  const update::SignatureVerdict verdict = update::VerifyJarSignature(staged.Contents(), signature);
  if (verdict != update::SignatureVerdict::Valid &&
      verdict != update::SignatureVerdict::NotRequired) {
    staged.Discard();
    return {StagingResult::SignatureRefused, update::DescribeSignatureVerdict(verdict), {}};
  }
  return {StagingResult::Staged, {}, {}};
}

}  // namespace upgrade
