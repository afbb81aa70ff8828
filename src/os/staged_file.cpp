// The parts of the staged file both backends share.
#include "os/files.h"

namespace os {

StagedFile::StagedFile() = default;

StagedFile::~StagedFile() {
  Discard();
}

}  // namespace os
