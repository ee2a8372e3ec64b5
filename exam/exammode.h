// Exam mode: the lockdown of the exam window as an ordered list of steps that undo themselves
// in reverse order, and the focus guard that holds it while it is on. No widget and no system
// call here: the window and the desktop are handed in.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/log.h"
#include "platform/desktop.h"
#include "platform/keysource.h"

namespace quorvex {

// What exam mode asks of the window it locks. GUI thread only.
class INwExamWindow {
 public:
  virtual ~INwExamWindow() = default;
  // Borderless, above everything, covering the primary screen; and back to a framed,
  // maximized window.
  virtual void Cover() = 0;
  virtual void Uncover() = 0;
  // The window on the screen now; covering may replace it.
  virtual unsigned long NativeWindow() const = 0;
  // Every key event of the program passes the exam's key filter, or no longer.
  virtual void FilterKeys(bool on) = 0;
  // The keyboard and the pointer belong to the program's window in front, or are given back.
  virtual void GrabInput() = 0;
  virtual void ReleaseInput() = 0;
  // Takes both grabs again for the window in front without letting them go first; true when
  // both are held.
  virtual bool HoldInput() = 0;
  // The window in front raised and activated.
  virtual void BringToFront() = 0;
  // The program's other top-level windows on the screen (its dialogs and lists).
  virtual std::vector<unsigned long> OwnWindows() const = 0;
  // Every tenth round: the screen warning shown while its condition holds.
  virtual void ScreenRecheck() = 0;
};

// One step of the lockdown. Revert undoes what Perform did.
class INwExamModeStep {
 public:
  virtual ~INwExamModeStep() = default;
  virtual void Perform() = 0;
  virtual void Revert() = 0;
};

struct TNwExamModeSetup {
  platform::IDesktop& Desktop;
  platform::IKeySource& Keys;
  INwExamWindow& Window;
  ILogWriter& Log;
  // Hands a call from the focus guard's thread to the GUI thread.
  std::function<void(std::function<void()>)> Post;
  // The task manager's window title (its string-table text).
  std::string TaskManagerTitle;
  std::chrono::milliseconds GuardInterval{500};
};

class TNwExamMode {
 public:
  // The steps, in the order Enter performs them: docks hidden, screen covered, taskbar entry
  // hidden, keys filtered, input grabbed, focus guard running.
  explicit TNwExamMode(TNwExamModeSetup setup);
  // Leaves exam mode when it is on.
  ~TNwExamMode();
  TNwExamMode(const TNwExamMode&) = delete;
  TNwExamMode& operator=(const TNwExamMode&) = delete;

  // Every step in order; nothing when already on.
  void Enter();
  // The performed steps undone in reverse order; nothing when already off.
  void Exit();
  // FFullscreened: true from the start of Enter to the start of Exit.
  bool On() const { return FState->On; }

  // A focus-guard round on the GUI thread: whatever another program undid is restored (the
  // window mapped, not minimised, on the current desktop, above everything, active, holding
  // both grabs), each loss logged once; every tenth round the screens are checked again.
  // While the window is still on its way onto the screen after Enter (until it first holds
  // the input, at most kEntryRounds rounds), its being off the screen is no loss.
  void GuardRound(bool recheck);
  static constexpr int kEntryRounds = 4;

 private:
  // Shared with the focus guard's posted rounds, which may arrive after an Exit.
  struct TState {
    std::atomic<bool> On{false};
  };

  TNwExamModeSetup FSetup;
  std::shared_ptr<TState> FState = std::make_shared<TState>();
  std::vector<unsigned long> FHiddenDocks;
  // What the guard has seen lost and not yet back.
  enum TNwAway { awNone, awHidden, awMinimised, awOtherDesktop };
  TNwAway FAway = awNone;
  bool FCovered = false;
  int FEntryRounds = 0;
  bool FInputHeld = false, FInputLost = false, FInputRefusedLogged = false;
  // After FSetup, which the steps refer to.
  std::vector<std::unique_ptr<INwExamModeStep>> FSteps;
  size_t FPerformed = 0;
};

}  // namespace quorvex
