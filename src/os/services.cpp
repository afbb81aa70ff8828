// The parts of the services service both backends share.
#include "os/services.h"

namespace os {

OpenedService OpenServiceWithManager(const std::wstring& name, ServiceAccess access) {
  OpenedService opened;
  opened.manager = OpenServiceManager();
  if (opened.manager) opened.service = OpenNamedService(opened.manager, name, access);
  return opened;
}

}  // namespace os
