// The running process: developer diagnostics, thread ids, local time, the single-instance
// lock and documents handed to the desktop.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvex::platform {

// Diagnostic output for developers: stderr when QUORVEX_DEBUG is set, else nothing.
void DebugOutput(std::string_view text);
// Whether DebugOutput writes anything, so that callers skip formatting when it does not.
bool DebugEnabled();

// Id of the calling thread, cheap after the first call on a thread.
uint32_t CurrentThreadId();

struct TLocalTime {
  int Year, Month, Day, Hour, Minute, Second, Millisecond;
};
TLocalTime ToLocalTime(std::chrono::system_clock::time_point t);

enum class TInstanceLock { ilAcquired, ilAlreadyHeld, ilFailed };
// Takes the process-wide lock `name` for the current user; the kernel releases it when
// the process ends. Failed carries a message in `error`.
TInstanceLock AcquireSingleInstanceLock(const std::string& name, std::string* error = nullptr);

// Hands a link or document to the desktop's opener and does not wait for it; a target that
// cannot be opened is dropped silently.
void ShellOpen(const std::string& target);

// Opens `file` with the administrator's rights through the desktop's elevation prompt
// (pkexec) and waits for the end: a Debian package (".deb") is installed with apt-get, any
// other file is run with `parameters` (split at blanks). Answers the exit status (0 when it
// ended well), or -1 when nothing could be started (no elevation tool, no such file).
// `show_command` is the window state asked of a started program; X11 leaves that to it.
int RunElevatedAndWait(const std::string& file, const std::string& parameters, int show_command);

}  // namespace quorvex::platform
