#include "update/update_check.h"

#include "http/http_session.h"
#include "platform_client/version_query.h"

namespace update {

namespace {

constexpr char kCheckPath[] = "/api/updateVersion/checkTallyxSDKVersion";
constexpr long kHttpOk = 200;

}  // namespace

CheckResult CheckUpdate(const UpdateSettings& settings, UpdateOffer& offer) {
  comm::http::HttpSession session(settings.serverUrl + kCheckPath, settings.transfer);
  // A platform service that cannot be asked still yields a version to send.
  const std::string installedVersion = platform_client::QueryInstalledVersion(settings.platformUrl);
  const std::string body = BuildUpdateRequest(installedVersion);
  const comm::http::ExchangeResult answer = session.Post(body);
  if (!answer.Answered()) return {CheckOutcome::TransportFailed, answer.text};
  // No fail-on-error: an error page is read as a body, so its status decides.
  if (answer.httpStatus != kHttpOk)
    return {CheckOutcome::HttpError, std::to_string(answer.httpStatus)};
  if (answer.body.empty()) return {CheckOutcome::EmptyAnswer, {}};
  return ReadUpdateResponse(answer.body, settings, offer);
}

}  // namespace update
