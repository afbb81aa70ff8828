#include "http/crypto_setup.h"

#include <openssl/crypto.h>

namespace comm::http {

void UseCryptoWithoutConfiguration() {
  // The configuration step runs once per process: taking it here with "no
  // configuration" is what makes every later load a no-op.
  OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
}

}  // namespace comm::http
