#include <json/value.h>
#include <json/writer.h>

#include "update/request_encryption.h"
#include "update/update_check.h"
#include "update/update_config.h"

namespace update {

std::string BuildUpdateRequest(const std::string& installedVersion) {
  // Encryption rewrites its key argument, so it gets a copy.
  std::string keyText(UpdatePublicKey);
  Json::Value request(Json::objectValue);
  request["version"] = EncryptWithPublicKey(installedVersion, keyText);
  request["type"] = "14";
  return Json::FastWriter().write(request);
}

}  // namespace update
