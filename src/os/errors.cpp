#include "os/errors.h"

#include <utility>

namespace os {

Error LastErrorOr(std::wstring what) {
  Error error = LastError();
  if (!error) error.text = std::move(what);
  return error;
}

}  // namespace os
