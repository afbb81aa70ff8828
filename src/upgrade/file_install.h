#pragma once
// Copies that either arrive whole or leave the target as it was.

#include <string>

namespace upgrade {

// The temporary file a replacement of `target` is written to, beside it.
std::wstring TemporaryPathFor(const std::wstring& target);

// True when both files hold the same bytes (read in pieces, bounded memory).
bool SameFileContents(const std::wstring& first, const std::wstring& second);

// Copies `source` to `target` and forces it to disk; true only when the copy
// holds every byte of the source.
bool CopyWholeFile(const std::wstring& source, const std::wstring& target);

// Replaces `target` by a copy of `source` in one step: the copy is written to
// the temporary file beside the target, forced to disk, compared, and moved
// over the target. At every instant the target is the whole old file or the
// whole new one. A temporary file left by an interrupted run is removed first;
// this run's is removed on failure.
bool ReplaceFileWhole(const std::wstring& source, const std::wstring& target);

}  // namespace upgrade
