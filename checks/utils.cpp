// The checks' view of the machine, remote session and screens, hardware adequacy.
#include "checks/utils.h"

#include <cmath>

#include "checks/utils_internal.h"
#include "common/application.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/screens.h"

namespace quorvex {

bool MarkerPresent(const TNwCheckEnv& env, std::string_view name) {
  // No temporary folder means no marker: the check runs.
  try {
    return env.MarkerPresent && env.MarkerPresent(name);
  } catch (...) {
    return false;
  }
}

std::function<bool(std::string_view name)> MarkerFilesIn(std::string dir) {
  return [dir = std::move(dir)](std::string_view name) {
    return platform::IsRegularFile(dir + std::string(name));
  };
}

const TNwCheckEnv& SystemCheckEnv() {
  static const TNwCheckEnv env{
      .MarkerPresent =
          [](std::string_view name) {
            return platform::IsRegularFile(platform::TempDir() + std::string(name));
          },
      .Session = platform::SessionInfo(),
      .Machine = platform::MachineInfo(),
      .Processes = platform::ProcessTable(),
      .Log = GlobalLogWriter(),
      .Strings = I18n(),
      .Debug = platform::DebugEnabled()
                   ? std::function<void(std::string_view)>(
                         [](std::string_view line) { platform::DebugOutput(line); })
                   : nullptr,
      .ShowInformation =
          [](const std::string& caption, const std::string& text) {
            ShowMessageBox(caption, text, TNwMessageBoxIcon::miInformation);
          },
  };
  return env;
}

bool IsWaylandSession(const TNwCheckEnv& env) {
  try {
    return env.Session.IsWaylandSession();
  } catch (...) {
    return false;
  }
}

bool IsRemoteSession(const TNwCheckEnv& env) {
  try {
    if (MarkerPresent(env, "rdp.qdx")) return false;
    if (env.Session.SessionReportsRemote()) return true;
    auto own = env.Session.CurrentSessionId();
    if (!own) return false;
    auto console = env.Session.ConsoleSessionId(*own);
    if (!console) return false;
    return *console != *own;
  } catch (...) {
    return false;
  }
}

bool ScreenConditionHolds(int monitor_count, const std::function<bool()>& is_remote_session) {
  return monitor_count > 1 || is_remote_session();
}

bool ScreenConditionHolds() {
  return ScreenConditionHolds(platform::MonitorCount(), [] { return IsRemoteSession(); });
}

uint64_t GetTotalPhysicalMemory(const TNwCheckEnv& env) {
  try {
    return env.Machine.TotalPhysicalMemory();
  } catch (...) {
    return 0;
  }
}

int64_t MemoryInGiB(uint64_t bytes) {
  const double gib = static_cast<double>(bytes) / 1073741824.0;
  double whole = std::floor(gib);
  const double rest = gib - whole;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<int64_t>(whole);
}

void CheckHardware(const TNwCheckEnv& env) {
  try {
    const int64_t gb = MemoryInGiB(GetTotalPhysicalMemory(env));
    const int cpu_count = env.Machine.LogicalProcessorCount();
    if (cpu_count >= 4 && gb >= 4) return;
    std::string text = env.Strings.i18nf(
        "In order to ensure exam performs normally, please change to a better equipped "
        "computer, the current has a lower configuration, CPU:%d, Memory:%dG",
        {cpu_count, gb});
    if (env.ShowInformation) env.ShowInformation(ApplicationTitle(), text);
  } catch (const std::exception& e) {
    // Only a broken string table gets here; the advisory never blocks the exam.
    env.Log.Error(std::string("hardware advisory failed, ") + e.what(), "");
  }
}

}  // namespace quorvex
