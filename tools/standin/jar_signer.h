#pragma once
// Signs the JAR an offer points at, as a vendor's update server would: Ed25519
// over "wardkeep-jar-sha256:" and the lowercase hex SHA-256 of the whole file,
// sent as Base64 in "data"."signature". The signature scenarios spoil it in
// the ways a client must refuse.

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "settings.h"

typedef struct evp_pkey_st EVP_PKEY;

namespace standin {

class JarSigner {
 public:
  // No key: offers carry a signature only in the scenarios that need none.
  JarSigner() = default;
  // False with `error` filled when the file holds no Ed25519 private key.
  bool Load(const std::string& path, std::string& error);
  bool HasKey() const { return m_key != nullptr; }

  // The "data"."signature" text for an offer of the JAR `s` describes; false
  // when the offer carries no signature member. `error` is filled when the
  // JAR could not be read.
  bool Signature(const Settings& s, std::string& text, std::string& error);

 private:
  struct Digests {
    std::string served;    // SHA-256 of the file as served
    std::string extended;  // of the same file with one more byte: another file
  };
  bool DigestsOf(const Settings& s, Digests& digests, std::string& error);

  struct KeyFree {
    void operator()(EVP_PKEY* key) const;
  };
  std::unique_ptr<EVP_PKEY, KeyFree> m_key;
  std::mutex m_mutex;
  std::map<std::string, Digests> m_known;  // by the JAR's entity tag
};

}  // namespace standin
