// Signature texts of any shape, as an update server may send them: the check
// must refuse what it cannot read without touching the file, and Base64 is
// read one way only.

#include <cstddef>
#include <cstdint>
#include <string>

#include "os/files.h"
#include "update/base64.h"
#include "update/jar_signature.h"
#include "update/tunables.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Whatever decodes is the one text its bytes encode to.
    std::string bytes;
    if (update::Base64Decode(text, bytes)) {
      const std::string again = update::Base64Encode(
          reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
      if (again != text) __builtin_trap();
    }

    // A key is built in (RFC 8032's first test key) and no file is open:
    // only a well-formed signature gets as far as reading it.
    static tunable::ScopedTunable<std::string> builtIn(
        update::tunables::jarSigningKey, "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=");
    const os::ReadOnlyFile closed;
    const update::SignatureVerdict verdict = update::VerifyJarSignature(closed, text);
    const bool wellFormed =
        !text.empty() && update::Base64Decode(text, bytes) && bytes.size() == 64;
    const update::SignatureVerdict expected =
        text.empty() ? update::SignatureVerdict::Missing
                     : (wellFormed ? update::SignatureVerdict::Unreadable
                                   : update::SignatureVerdict::Malformed);
    if (verdict != expected) __builtin_trap();
  } catch (...) {
    __builtin_trap();
  }
  return 0;
}
