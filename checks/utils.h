// The environment checks run before and during the exam: screens and remote session,
// virtual machine, forbidden applications, hardware. Every check answers plainly and never
// raises; what the machine cannot tell counts as nothing found.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/language.h"
#include "common/log.h"
#include "platform/hardware.h"
#include "platform/processes.h"
#include "platform/session.h"

namespace quorvex {

// What the checks read and where they report. SystemCheckEnv() is this machine; tests hand
// in fakes.
struct TNwCheckEnv {
  // Whether the marker file `name` switches a check off on this machine.
  std::function<bool(std::string_view name)> MarkerPresent;
  platform::ISessionInfo& Session;
  platform::IMachineInfo& Machine;
  platform::IProcessTable& Processes;
  ILogWriter& Log;
  const INwI8n& Strings;
  // Developer diagnostics; empty when they are off, so that nothing is formatted for them.
  std::function<void(std::string_view line)> Debug;
  // A modal information box with a single OK.
  std::function<void(const std::string& caption, const std::string& text)> ShowInformation;
};

const TNwCheckEnv& SystemCheckEnv();

// Markers are regular files in `dir` (ending with '/'); a directory of that name is none.
std::function<bool(std::string_view name)> MarkerFilesIn(std::string dir);

// A desktop session that no client can lock (Wayland). No marker switches this off.
bool IsWaylandSession(const TNwCheckEnv& env = SystemCheckEnv());

// Remote session and screens.
bool IsRemoteSession(const TNwCheckEnv& env = SystemCheckEnv());
// More than one monitor, or else a remote session; the session is asked only when the count
// alone does not decide.
bool ScreenConditionHolds(int monitor_count, const std::function<bool()>& is_remote_session);
// The X server's monitor count and IsRemoteSession.
bool ScreenConditionHolds();

// Virtual machine. The three texts are the names concatenated without separators; on an
// unreadable source they log and return what they had.
std::string GetVideoControllerText(const TNwCheckEnv& env = SystemCheckEnv());
std::string GetDiskDriveText(const TNwCheckEnv& env = SystemCheckEnv());
std::string GetBiosText(const TNwCheckEnv& env = SystemCheckEnv());
bool HasVirtualHardware(const TNwCheckEnv& env = SystemCheckEnv());
// A Linux kernel under Windows' compatibility layer.
bool IsWineHost(const TNwCheckEnv& env = SystemCheckEnv());
bool IsVirtualMachine(const TNwCheckEnv& env = SystemCheckEnv());

// Forbidden applications. `display_name` is set only when one is found.
bool FindBannedApp(std::string& display_name, const TNwCheckEnv& env = SystemCheckEnv());
bool IsChatAppRunning(const TNwCheckEnv& env = SystemCheckEnv());
// `list`: comma-separated executable file names. `matched_item` is set only when found: the
// matching element lower-cased, with its blanks.
bool FindRunningProcess(std::string_view list, std::string& matched_item,
                        const TNwCheckEnv& env = SystemCheckEnv());

// Hardware.
uint64_t GetTotalPhysicalMemory(const TNwCheckEnv& env = SystemCheckEnv());
// Whole gibibytes, a tie going to the even neighbour.
int64_t MemoryInGiB(uint64_t bytes);
// Shows the advisory on a weak machine and returns once it is dismissed.
void CheckHardware(const TNwCheckEnv& env = SystemCheckEnv());

}  // namespace quorvex
