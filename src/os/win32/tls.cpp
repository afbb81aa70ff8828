// Windows backend of the TLS checks: the peer's certificate from Schannel,
// its chain and the SSL policy through CryptoAPI.
#include "os/tls.h"

#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <memory>

namespace os {
namespace {

struct CertificateFree {
  void operator()(const CERT_CONTEXT* certificate) const {
    CertFreeCertificateContext(certificate);
  }
};
struct ChainFree {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};

}  // namespace

bool SchannelPeerIsTrusted(void* securityContext, const std::wstring& host) {
  if (securityContext == nullptr || host.empty()) return false;
  PCCERT_CONTEXT presented = nullptr;
  if (QueryContextAttributesW(static_cast<CtxtHandle*>(securityContext),
                              SECPKG_ATTR_REMOTE_CERT_CONTEXT, &presented) != SEC_E_OK ||
      presented == nullptr) {
    return false;
  }
  std::unique_ptr<const CERT_CONTEXT, CertificateFree> certificate(presented);

  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT built = nullptr;
  if (!CertGetCertificateChain(nullptr, presented, nullptr, presented->hCertStore, &chainPara, 0,
                               nullptr, &built) ||
      built == nullptr) {
    return false;
  }
  std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree> chain(built);
  // Every fault of the chain itself counts (an unknown root shows up as a
  // partial chain, which not every SSL policy check refuses); revocation was
  // not asked for, and validity periods need not nest.
  const DWORD ignored = CERT_TRUST_IS_NOT_TIME_NESTED | CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                        CERT_TRUST_IS_OFFLINE_REVOCATION;
  if ((chain->TrustStatus.dwErrorStatus & ~ignored) != 0) return false;

  std::wstring name = host;
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = name.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status) &&
         status.dwError == 0;
}

}  // namespace os
