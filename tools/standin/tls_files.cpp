#include "tls_files.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace standin {

namespace {

namespace fs = std::filesystem;

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;
using File = std::unique_ptr<std::FILE, FileClose>;

bool AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  if (extension == nullptr) return false;
  const bool added = X509_add_ext(cert, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

// An unsigned certificate for `subjectKey` named `commonName`, issued by
// `issuer` (itself when null), valid from a day ago for ten years.
Cert MakeCertificate(EVP_PKEY* subjectKey, const std::string& commonName, X509* issuer,
                     long serial) {
  Cert cert(X509_new());
  if (!cert) return nullptr;
  X509* c = cert.get();
  X509_set_version(c, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(c), serial);
  X509_gmtime_adj(X509_getm_notBefore(c), -24L * 3600);
  X509_gmtime_adj(X509_getm_notAfter(c), 10L * 365 * 24 * 3600);
  X509_set_pubkey(c, subjectKey);
  X509_NAME* name = X509_get_subject_name(c);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("wardkeep stand-in"), -1, -1,
                             0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
  X509_set_issuer_name(c, issuer != nullptr ? X509_get_subject_name(issuer) : name);
  return cert;
}

bool WritePem(const std::string& path, X509* cert, EVP_PKEY* key) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  if (key != nullptr) {
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    return PEM_write_PrivateKey(file.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  }
  return PEM_write_X509(file.get(), cert) == 1;
}

bool IsIpAddress(const std::string& host) {
  return host.find_first_not_of("0123456789.") == std::string::npos ||
         host.find(':') != std::string::npos;
}

bool MakeFiles(const TlsFiles& files, const std::vector<std::string>& hosts, std::string& error) {
  Key caKey(EVP_RSA_gen(2048));
  Key serverKey(EVP_RSA_gen(2048));
  if (!caKey || !serverKey) {
    error = "cannot make RSA keys";
    return false;
  }
  // The authority: its own issuer, allowed to sign certificates and nothing else.
  Cert ca = MakeCertificate(caKey.get(), "wardkeep stand-in test CA", nullptr, 1);
  Cert server;
  if (ca) {
    X509* c = ca.get();
    if (!AddExtension(c, c, NID_basic_constraints, "critical,CA:TRUE") ||
        !AddExtension(c, c, NID_key_usage, "critical,keyCertSign,cRLSign") ||
        !AddExtension(c, c, NID_subject_key_identifier, "hash") ||
        X509_sign(c, caKey.get(), EVP_sha256()) == 0) {
      ca.reset();
    }
  }
  std::string names;
  for (const std::string& host : hosts) {
    names += (names.empty() ? "" : ",") + std::string(IsIpAddress(host) ? "IP:" : "DNS:") + host;
  }
  if (ca) {
    server = MakeCertificate(serverKey.get(), hosts.empty() ? "none" : hosts.front(), ca.get(), 2);
    X509* s = server.get();
    if (server &&
        (!AddExtension(s, ca.get(), NID_basic_constraints, "critical,CA:FALSE") ||
         !AddExtension(s, ca.get(), NID_key_usage, "critical,digitalSignature,keyEncipherment") ||
         !AddExtension(s, ca.get(), NID_ext_key_usage, "serverAuth") ||
         !AddExtension(s, ca.get(), NID_authority_key_identifier, "keyid") ||
         (!names.empty() && !AddExtension(s, ca.get(), NID_subject_alt_name, names)) ||
         X509_sign(s, caKey.get(), EVP_sha256()) == 0)) {
      server.reset();
    }
  }
  if (!ca || !server) {
    error = "cannot make the certificates";
    return false;
  }
  if (!WritePem(files.serverKey, nullptr, serverKey.get()) ||
      !WritePem(files.serverCertificate, server.get(), nullptr) ||
      !WritePem(files.caCertificate, ca.get(), nullptr)) {
    error = "cannot write the certificates";
    return false;
  }
  return true;
}

}  // namespace

bool PrepareTlsFiles(const std::string& dir, const std::vector<std::string>& hosts, TlsFiles& files,
                     std::string& error) {
  const fs::path base(dir);
  files.caCertificate = (base / "ca.pem").string();
  files.serverCertificate = (base / "server.pem").string();
  files.serverKey = (base / "server-key.pem").string();
  std::error_code ec;
  if (fs::exists(files.caCertificate, ec) && fs::exists(files.serverCertificate, ec) &&
      fs::exists(files.serverKey, ec)) {
    return true;
  }
  fs::create_directories(base, ec);
  if (ec) {
    error = "cannot create " + dir + ": " + ec.message();
    return false;
  }
  if (!MakeFiles(files, hosts, error)) {
    error += " in " + dir;
    return false;
  }
  return true;
}

}  // namespace standin
