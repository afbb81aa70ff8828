#include "update/update_check.h"

#include "http/http_session.h"
#include "platform_client/version_query.h"

namespace update {

namespace {

constexpr char kCheckPath[] = "/api/updateVersion/checkTallyxSDKVersion";
constexpr long kHttpOk = 200;

}  // namespace

CheckResult CheckUpdate(const UpdateSettings& settings, UpdateOffer& offer) {
  comm::http::HttpSession session(settings.serverUrl + kCheckPath);
  // A platform service that cannot be asked still yields a version to send.
  const std::string installedVersion = platform_client::QueryInstalledVersion();
  const std::string body = BuildUpdateRequest(installedVersion);
  std::string error;
  const std::string response = session.Post(body, error);
  if (!error.empty()) return {CheckOutcome::TransportFailed, error};
  // No fail-on-error: an error page is read as a body, so its status decides.
  if (const long status = session.ResponseStatus(); status != kHttpOk) {
    return {CheckOutcome::HttpError, std::to_string(status)};
  }
  if (response.empty()) return {CheckOutcome::EmptyAnswer, {}};
  return ReadUpdateResponse(response, settings, offer);
}

}  // namespace update
