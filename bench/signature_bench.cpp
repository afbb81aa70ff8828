// The JAR signature check's cost: peak memory for a small and a 1 GiB file
// (sparse, so the disk does not set the pace), and its rate. The check streams
// the file through SHA-256, so the memory must not grow with the file.
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "benches.h"
#include "process_figures.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kMiB = 1024 * 1024;

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using MdContextPtr = std::unique_ptr<EVP_MD_CTX, MdContextFree>;

std::string Base64(const unsigned char* bytes, std::size_t size) {
  std::vector<unsigned char> text(4 * ((size + 2) / 3) + 1);
  const int length = EVP_EncodeBlock(text.data(), bytes, static_cast<int>(size));
  return std::string(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(length));
}

// A file of `size` zero bytes with no blocks behind them, and a few real bytes
// at the start and the end so the hash is not of zeros alone.
bool MakeSparseFile(const fs::path& path, std::int64_t size) {
  const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  if (fd < 0) return false;
  bool ok = ftruncate(fd, size) == 0 && pwrite(fd, "PK\3\4", 4, 0) == 4 &&
            pwrite(fd, "end", 3, size - 3) == 3;
  return close(fd) == 0 && ok;
}

// The text that is signed for the file, hashed here independently of the check.
std::string SignedText(const fs::path& path) {
  MdContextPtr context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return {};
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return {};
  std::vector<char> chunk(kMiB);
  ssize_t got = 0;
  while ((got = read(fd, chunk.data(), chunk.size())) > 0) {
    EVP_DigestUpdate(context.get(), chunk.data(), static_cast<std::size_t>(got));
  }
  close(fd);
  unsigned char digest[32];
  unsigned int length = 0;
  if (got < 0 || EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return {};
  std::string text = "wardkeep-jar-sha256:";
  char pair[3];
  for (unsigned char b : digest) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    text += pair;
  }
  return text;
}

struct Signer {
  std::unique_ptr<EVP_PKEY, PkeyFree> key;
  std::string publicBase64;

  Signer() {
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
    EVP_PKEY* made = nullptr;
    if (context != nullptr && EVP_PKEY_keygen_init(context) == 1) EVP_PKEY_keygen(context, &made);
    EVP_PKEY_CTX_free(context);
    key.reset(made);
    unsigned char raw[32];
    std::size_t length = sizeof raw;
    if (key && EVP_PKEY_get_raw_public_key(key.get(), raw, &length) == 1) {
      publicBase64 = Base64(raw, length);
    }
  }

  std::string Sign(const std::string& message) const {
    MdContextPtr context(EVP_MD_CTX_new());
    unsigned char signature[64];
    std::size_t length = sizeof signature;
    if (!key || !context ||
        EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), signature, &length,
                       reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) != 1) {
      return {};
    }
    return Base64(signature, length);
  }
};

}  // namespace

std::vector<Row> SignatureBench(const Options& options) {
  std::fprintf(stderr, "bench: signature check, 1 MiB and 1 GiB (sparse)\n");
  const fs::path dir = options.workDir;
  fs::create_directories(dir);
  const Signer signer;
  const std::int64_t sizes[2] = {kMiB, 1024 * kMiB};
  const char* names[2] = {"1 MiB", "1 GiB"};
  long peak[2] = {};
  bool valid[2] = {};
  double seconds[2] = {};
  std::vector<Row> rows;
  for (int i = 0; i < 2; ++i) {
    const fs::path file = dir / "signed.jar";
    if (!MakeSparseFile(file, sizes[i])) {
      return {{"signature check", "not run: no sparse file", "", "", false}};
    }
    const std::string signature = signer.Sign(SignedText(file));
    // The best of three: the first run also pays for the page cache.
    for (int run = 0; run < 3; ++run) {
      const Usage usage = Run({WARDKEEP_BENCH_VERIFY, dir.string(), file.filename().string(),
                               signer.publicBase64, signature},
                              dir.string());
      valid[i] = usage.status == 0;
      if (run == 0 || usage.peakKiB > peak[i]) peak[i] = usage.peakKiB;
      if (run == 0 || usage.seconds < seconds[i]) seconds[i] = usage.seconds;
    }
    fs::remove(file);
    rows.push_back({std::string("signature check peak RSS, ") + names[i],
                    Format("%.1f MiB", static_cast<double>(peak[i]) / 1024), "", "", valid[i]});
  }
  const long growth = peak[1] - peak[0];
  rows.push_back({"signature check peak RSS growth, 1 MiB -> 1 GiB",
                  std::to_string(growth) + " KiB", "", "< 1 MiB",
                  valid[0] && valid[1] && growth < 1024});
  rows.push_back({"signature check rate, 1 GiB (best of 3)",
                  Format("%.0f MiB/s", seconds[1] > 0 ? 1024 / seconds[1] : 0), "", "", valid[1]});
  return rows;
}

}  // namespace bench
