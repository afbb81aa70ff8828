#include "update/update_check.h"

#include <utility>

#include "http/http_session.h"
#include "platform_client/version_query.h"
#include "update/tunables.h"

namespace update {

namespace {

constexpr char kCheckPath[] = "/api/updateVersion/checkTallyxSDKVersion";
constexpr long kHttpOk = 200;

}  // namespace

CheckResult CheckUpdateOutcome(UpdateOffer& offer, std::string& error) {
  comm::http::HttpSession session(tunables::serverBaseUrl.Get() + kCheckPath);
  // A platform service that cannot be asked still yields a version to send.
  const std::string installedVersion = platform_client::QueryInstalledVersion();
  const std::string body = BuildUpdateRequest(installedVersion);
  const std::string response = session.Post(body, error);
  if (!error.empty()) return {CheckOutcome::TransportFailed, error};
  // No fail-on-error: an error page is read as a body, so its status decides.
  if (const long status = session.ResponseStatus(); status != kHttpOk) {
    return {CheckOutcome::HttpError, std::to_string(status)};
  }
  if (response.empty()) return {CheckOutcome::EmptyAnswer, {}};
  return ReadUpdateResponse(response, offer);
}

bool CheckUpdate(UpdateOffer& offer, std::string& error) {
  return CheckUpdateOutcome(offer, error).kind == CheckOutcome::Offered;
}

bool CheckUpdate(std::string& downloadUrl, std::string& remoteVersion, std::string& error) {
  UpdateOffer offer{downloadUrl, remoteVersion, {}, {}, {}};
  const bool offered = CheckUpdate(offer, error);
  downloadUrl = std::move(offer.downloadUrl);
  remoteVersion = std::move(offer.remoteVersion);
  return offered;
}

}  // namespace update
