#pragma once
// Checks of a TLS server's certificate that the program makes itself, so the
// Windows store decides whatever the TLS library was told or left out.

#include <string>

namespace os {

// The certificate behind a Schannel security context (a CtxtHandle*, as
// libcurl hands it out) chains to a root the user's or the machine's store
// trusts, is meant for servers and names `host`. False on any doubt, and
// always where there is no Schannel.
bool SchannelPeerIsTrusted(void* securityContext, const std::wstring& host);

}  // namespace os
