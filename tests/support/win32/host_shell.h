#pragma once
// Runs a command of the host (Linux) system from a Windows test under Wine:
// the native stand-in, links in the prefix's drive table. Wine starts such a
// program but hands back no process, so callers watch its effects instead.

#include <string>

namespace testing_support::win32 {

// Starts `/bin/sh -c script` on the host; `script` (UTF-8) may not contain a
// double quote. False when Wine refused to start it.
bool StartHostShell(const std::string& script);

// Single-quoted for the host shell.
std::string ShellQuote(const std::string& text);

// The host path of a path under Z: ("Z:\tmp\x" -> "/tmp/x"); empty otherwise.
std::string HostPath(const std::wstring& windowsPath);

}  // namespace testing_support::win32
