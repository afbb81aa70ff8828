#pragma once
// What a caller hands each transfer beyond the rules every transfer obeys:
// whom it may trust. A value passed down with the call, never held anywhere
// a later transfer could find it.

#include <string>

namespace comm::http {

struct TransferOptions {
  // A CA bundle (a PEM file) that replaces the system's store when an https
  // server's certificate is checked. Empty, the system's store: the program
  // itself never names one, only a test with an authority of its own does.
  std::string caBundle;
};

}  // namespace comm::http
