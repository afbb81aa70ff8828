#include "jar_signer.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <vector>

#include "jar_source.h"

namespace standin {

namespace {

struct BioFree {
  void operator()(BIO* bio) const { BIO_free_all(bio); }
};
struct MdContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct PkeyContextFree {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
using MdContextPtr = std::unique_ptr<EVP_MD_CTX, MdContextFree>;

std::string Hex(const unsigned char* bytes, std::size_t size) {
  constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
  }
  return text;
}

std::string Finish(EVP_MD_CTX* context) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context, digest, &length) != 1) return {};
  return Hex(digest, length);
}

std::string Base64(const std::string& bytes) {
  std::vector<unsigned char> text(4 * ((bytes.size() + 2) / 3) + 1);
  const int length =
      EVP_EncodeBlock(text.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<int>(bytes.size()));
  return std::string(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(length));
}

// The 64 signature bytes, or empty.
std::string Sign(EVP_PKEY* key, const std::string& message) {
  MdContextPtr context(EVP_MD_CTX_new());
  std::string signature(64, '\0');
  std::size_t length = signature.size();
  if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key) != 1 ||
      EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    return {};
  }
  signature.resize(length);
  return signature;
}

// A key nobody knows, for signatures that must not verify.
std::string SignWithAFreshKey(const std::string& message) {
  std::unique_ptr<EVP_PKEY_CTX, PkeyContextFree> context(
      EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
  EVP_PKEY* raw = nullptr;
  if (!context || EVP_PKEY_keygen_init(context.get()) != 1 ||
      EVP_PKEY_keygen(context.get(), &raw) != 1) {
    return {};
  }
  std::string signature = Sign(raw, message);
  EVP_PKEY_free(raw);
  return signature;
}

std::string OfferText(const std::string& version, std::int64_t size, const std::string& sha256) {
  return "wardkeep-offer-v1\nproduct=stock-relay\nversion=" + version +
         "\nsize=" + std::to_string(size) + "\nsha256=" + sha256 + "\n";
}

}  // namespace

void JarSigner::KeyFree::operator()(EVP_PKEY* key) const {
  EVP_PKEY_free(key);
}

bool JarSigner::Load(const std::string& path, std::string& error) {
  std::unique_ptr<BIO, BioFree> bio(BIO_new_file(path.c_str(), "r"));
  if (!bio) {
    error = "cannot open JAR signing key " + path;
    return false;
  }
  m_key.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  if (!m_key || EVP_PKEY_get_id(m_key.get()) != EVP_PKEY_ED25519) {
    m_key.reset();
    error = "no Ed25519 private key in " + path;
    return false;
  }
  return true;
}

bool JarSigner::DigestsOf(const Settings& s, Digests& digests, std::string& error) {
  std::shared_ptr<JarSource> source = JarSource::Open(s.jarPath, s.jarSize, s.revision, error);
  if (!source) return false;
  // Hashing a large JAR takes seconds: once per version of the file.
  std::lock_guard<std::mutex> lock(m_mutex);
  if (auto found = m_known.find(source->ETag()); found != m_known.end()) {
    digests = found->second;
    return true;
  }
  MdContextPtr context(EVP_MD_CTX_new());
  MdContextPtr longer(EVP_MD_CTX_new());
  if (!context || !longer || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    error = "SHA-256 unavailable";
    return false;
  }
  std::vector<char> chunk(1 << 20);
  for (std::int64_t at = 0; at < source->Size();) {
    const auto n =
        static_cast<std::size_t>(std::min<std::int64_t>(chunk.size(), source->Size() - at));
    if (!source->Read(at, chunk.data(), n)) {
      error = "cannot read the JAR to sign it";
      return false;
    }
    EVP_DigestUpdate(context.get(), chunk.data(), n);
    at += static_cast<std::int64_t>(n);
  }
  if (EVP_MD_CTX_copy_ex(longer.get(), context.get()) != 1 ||
      EVP_DigestUpdate(longer.get(), "\n", 1) != 1) {
    error = "SHA-256 unavailable";
    return false;
  }
  digests = {source->Size(), Finish(context.get()), Finish(longer.get())};
  m_known[source->ETag()] = digests;
  return true;
}

void JarSigner::Describe(const Settings& s, Json::Value& data, std::string& error) {
  switch (s.signature) {
    case SignatureScenario::Omit:
      break;
    case SignatureScenario::Empty:
      data["signature"] = "";
      break;
    case SignatureScenario::NotBase64:
      data["signature"] = std::string(86, '*') + "==";
      break;
    case SignatureScenario::Text:
      data["signature"] = s.signatureText;
      break;
    default:
      break;
  }
  // Without a key the JAR is not even hashed: a large one would hold up the offer.
  if (!m_key && s.signature != SignatureScenario::OtherKey) return;
  Digests digests;
  if (!DigestsOf(s, digests, error)) return;
  const std::string& version = s.offerVersion;
  std::int64_t size = digests.size;
  std::string sha256 = digests.served;
  if (s.signature == SignatureScenario::OtherJar) {
    size += 1;
    sha256 = digests.extended;
  }
  if (m_key) {
    data["size"] = static_cast<Json::Int64>(size);
    data["sha256"] = sha256;
  }
  std::string bytes;
  switch (s.signature) {
    case SignatureScenario::Omit:
    case SignatureScenario::Empty:
    case SignatureScenario::NotBase64:
    case SignatureScenario::Text:
      return;
    case SignatureScenario::OtherKey:
      bytes = SignWithAFreshKey(OfferText(version, size, sha256));
      break;
    case SignatureScenario::OtherHash:
      bytes = Sign(m_key.get(), OfferText(version, size, digests.extended));
      break;
    case SignatureScenario::OtherSize:
      bytes = Sign(m_key.get(), OfferText(version, size + 1, sha256));
      break;
    case SignatureScenario::OtherVersion:
      bytes = Sign(m_key.get(), OfferText(version + ".1", size, sha256));
      break;
    case SignatureScenario::OldFormat:
      bytes = Sign(m_key.get(), "wardkeep-jar-sha256:" + sha256);
      break;
    case SignatureScenario::Valid:
    case SignatureScenario::Short:
    case SignatureScenario::OtherJar:
      bytes = Sign(m_key.get(), OfferText(version, size, sha256));
      break;
  }
  if (bytes.empty()) {
    error = "signing failed";
    return;
  }
  if (s.signature == SignatureScenario::Short) bytes.pop_back();
  data["signature"] = Base64(bytes);
}

}  // namespace standin
