#pragma once
// Signs offers as a vendor's update server would: "data"."size" and "sha256"
// of the JAR served, and "signature", the Base64 of an Ed25519 signature over
// the five lines
//   wardkeep-offer-v1 / product=stock-relay / version=V / size=N / sha256=H
// each ended by a line feed. The signature scenarios spoil it in the ways a
// client must refuse.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <json/value.h>

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

  // Adds to `data` (which holds "version") what the scenario says of the JAR
  // `s` describes: size, hash and signature, or some of them, or none.
  // `error` is filled when the JAR could not be read.
  void Describe(const Settings& s, Json::Value& data, std::string& error);

 private:
  struct Digests {
    std::int64_t size = 0;  // of the file as served
    std::string served;     // SHA-256 of the file as served
    std::string extended;   // of the same file with one more byte: another file
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
