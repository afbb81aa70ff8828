// One offer check of a JAR in a process of its own, so its peak memory and
// time are the check's alone: the file's size and SHA-256, streamed, and the
// signature over the offer they make. Usage: wardkeep-bench-verify DIRECTORY
// FILE KEY SIGNATURE (FILE in plain ASCII; KEY and SIGNATURE in Base64; the
// offer's version is 1.0.0). Exit status: 0 for a valid signature, 10 + the
// verdict's number otherwise, 9 when the file cannot be read whole, 2 for a
// wrong call.
#include <cstdlib>
#include <string>

#include "os/files.h"
#include "update/offer_signature.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  // The check reads through a Windows path; B: stands for the directory.
  setenv("WARDKEEP_DRIVE_B", argv[1], 1);
  const std::string name = argv[2];
  os::ReadOnlyFile file;
  if (!file.Open(L"B:\\" + std::wstring(name.begin(), name.end()))) return 3;
  update::JarDigest digest;
  if (!update::DigestWholeFile(file, digest)) return 9;
  const update::SignatureVerdict verdict = update::VerifyOfferSignature(
      {"", argv[3]}, update::OfferSignedText("1.0.0", digest.size, digest.sha256), argv[4]);
  return verdict == update::SignatureVerdict::Valid ? 0 : 10 + static_cast<int>(verdict);
}
