#pragma once
// Copies that either arrive whole or leave the target as it was, made inside
// held folders only: the source is read through a handle opened in its held
// folder, never by a path someone could redirect.

#include <string>

#include "os/errors.h"
#include "os/files.h"
#include "os/folder.h"

namespace upgrade {

// The temporary name a replacement of `name` is written to, beside it.
std::wstring TemporaryNameFor(const std::wstring& name);

// True when both open files hold the same bytes (read in pieces, bounded memory).
bool SameFileContents(const os::ReadOnlyFile& first, const os::ReadOnlyFile& second);

// Replaces `toName` in `to` by a copy of `fromName` in `from` in one step:
// the copy is written to the temporary name beside the target (made
// exclusively; a file or link an interrupted run left there is removed
// first), forced to disk, compared with the source, and moved over the
// target. At every instant the target is the whole old file (or none) or the
// whole new one. Nothing is left beside the target on failure. The cause of
// a failure is the failing step's, captured there; empty on success.
os::Error ReplaceFileWhole(const os::HeldFolder& from, const std::wstring& fromName,
                           const os::HeldFolder& to, const std::wstring& toName);

// Removes what an interrupted run may have left at `name` in `folder`: a
// file or a link, never a folder. True when the name is free afterwards.
bool ClearLeftover(const os::HeldFolder& folder, const std::wstring& name);

}  // namespace upgrade
