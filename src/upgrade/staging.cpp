#include "upgrade/staging.h"

#include <vector>

#include "update/jar_signature.h"
#include "upgrade/failure_cause.h"
#include "upgrade/jar_check.h"

namespace upgrade {

namespace {

constexpr std::size_t kChunk = 1024 * 1024;

bool CopyInto(const std::wstring& source, os::StagedFile& staged) {
  os::ReadOnlyFile in;
  if (!in.Open(source)) return false;
  std::vector<char> buffer(kChunk);
  for (std::int64_t offset = 0;;) {
    const std::int64_t got = in.ReadFullAt(offset, buffer.data(), buffer.size());
    if (got < 0) return false;
    if (got == 0) return true;
    if (!staged.Write(buffer.data(), static_cast<std::size_t>(got))) return false;
    offset += got;
  }
}

}  // namespace

Staging StageVerifiedCopy(const std::wstring& download, const std::wstring& stagingPath,
                          const std::string& signature, os::StagedFile& staged) {
  std::wstring cause;
  if (!Attempt([&] { return staged.Create(stagingPath); }, cause)) {
    return {StagingResult::NotCreated, stagingPath, cause};
  }
  // Whatever happens to the download from here on, only these bytes count.
  if (!Attempt([&] { return CopyInto(download, staged) && staged.FlushToDisk(); }, cause)) {
    staged.Discard();
    return {StagingResult::NotCopied, download, cause};
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
