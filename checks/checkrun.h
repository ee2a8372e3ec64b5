// The blocking checks before the exam, in their fixed order, and the check window's
// placement arithmetic. No widget here: the window only shows what these decide.
#pragma once

#include <functional>
#include <string>

#include "checks/utils.h"
#include "common/language.h"

namespace quorvex {

// The blocking checks; each answers true when its condition holds, which fails the run.
struct TNwExamChecks {
  // A session that cannot be locked; asked first, as nothing else matters there.
  std::function<bool()> UnlockableSession;
  // Sets `display_name` to the running application's display name when it answers true.
  std::function<bool(std::string& display_name)> BannedApp;
  // More than one monitor, or a remote session.
  std::function<bool()> Screens;
  std::function<bool()> VirtualMachine;
  std::function<bool()> ChatApp;
};

// The checks of `env`. `monitor_count` is the application's monitor count, read on the GUI
// thread before the run: the worker thread must not ask the application itself.
TNwExamChecks ExamChecks(const TNwCheckEnv& env, int monitor_count);

enum class TNwCheckOutcome { coPassed, coFailed, coAbandoned };

struct TNwCheckRunResult {
  TNwCheckOutcome Outcome = TNwCheckOutcome::coPassed;
  // The failure title when failed; empty otherwise.
  std::string Title;
};

// Runs the checks in order until one fails; its title comes from `strings`. `abandoned`,
// asked before each check, ends the run early when nobody wants its result any more.
TNwCheckRunResult RunExamChecks(const TNwExamChecks& checks, const INwI8n& strings,
                                const std::function<bool()>& abandoned = {});

// Left (or top) edge that centres an extent `inner` in `outer`: the nearest pixel, a tie
// going to the even neighbour.
int CentredOffset(int outer, int inner);

}  // namespace quorvex
