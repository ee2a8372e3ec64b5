#include "checks/checkrun.h"

#include <cmath>

namespace quorvex {

TNwExamChecks ExamChecks(const TNwCheckEnv& env, int monitor_count) {
  // The worker may outlive whoever built these: everything is held by value.
  return TNwExamChecks{
      .UnlockableSession = [env] { return IsWaylandSession(env); },
      .BannedApp = [env](std::string& display_name) { return FindBannedApp(display_name, env); },
      .Screens =
          [env, monitor_count] {
            return ScreenConditionHolds(monitor_count, [&env] { return IsRemoteSession(env); });
          },
      .VirtualMachine = [env] { return IsVirtualMachine(env); },
      .ChatApp = [env] { return IsChatAppRunning(env); },
  };
}

TNwCheckRunResult RunExamChecks(const TNwExamChecks& checks, const INwI8n& strings,
                                const std::function<bool()>& abandoned) {
  const auto gone = [&] { return abandoned && abandoned(); };
  const auto failed = [](std::string title) {
    return TNwCheckRunResult{TNwCheckOutcome::coFailed, std::move(title)};
  };
  const TNwCheckRunResult dropped{TNwCheckOutcome::coAbandoned, {}};

  if (gone()) return dropped;
  if (checks.UnlockableSession && checks.UnlockableSession()) {
    return failed(strings.i18n("RsUnlockableSession"));
  }
  if (gone()) return dropped;
  std::string app;
  if (checks.BannedApp(app)) return failed(strings.i18nf("Have found ban APP:%s.", {app}));
  if (gone()) return dropped;
  if (checks.Screens()) return failed(strings.i18n("RsHaveMultipleScreen"));
  if (gone()) return dropped;
  if (checks.VirtualMachine()) return failed(strings.i18n("RsRunninginVM"));
  if (gone()) return dropped;
  if (checks.ChatApp()) return failed(strings.i18n("RsHaveQQTIM"));
  return {};
}

int CentredOffset(int outer, int inner) {
  return static_cast<int>(std::nearbyint(outer * 0.5 - inner * 0.5));
}

}  // namespace quorvex
