#pragma once
// Native backend only: files that decide for the whole machine (the
// administrator's policy, the values the update run keeps) count only when
// root alone may have written them; anyone else who could write the file or
// its folder could decide instead.

#include <sys/stat.h>

#include <cstddef>
#include <string>

namespace os::posix {

// Owned by root, and writable by neither group nor others.
bool OnlyRootMayWrite(const struct stat& info);

enum class RootFileRead {
  Read,
  Untrusted,  // not a regular file, or not root's alone
  Failed,     // unreadable, or larger than allowed
};

// The whole contents of an open file, when it is a regular file root alone
// may write and at most `maxBytes` long.
RootFileRead ReadRootOnlyFile(int fd, std::size_t maxBytes, std::string& contents);

}  // namespace os::posix
