#include "exam/exammode.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace quorvex {
namespace {

// A step made of its two halves.
class TNwStep final : public INwExamModeStep {
 public:
  TNwStep(std::function<void()> perform, std::function<void()> revert)
      : FPerform(std::move(perform)), FRevert(std::move(revert)) {}
  void Perform() override { FPerform(); }
  void Revert() override { FRevert(); }

 private:
  std::function<void()> FPerform, FRevert;
};

// A thread per exam-mode period: at once and then every interval it hides the task managers and
// hands the GUI thread a round of the guard. It never touches the window itself.
class TNwFocusGuard final : public INwExamModeStep {
 public:
  TNwFocusGuard(const TNwExamModeSetup& setup, std::shared_ptr<const std::atomic<bool>> on,
                TNwExamMode* mode)
      : FSetup(setup), FOn(std::move(on)), FMode(mode) {}
  ~TNwFocusGuard() override { Revert(); }

  void Perform() override {
    FStop = false;
    FThread = std::thread([this] { Run(); });
  }

  void Revert() override {
    if (!FThread.joinable()) return;
    {
      std::lock_guard lock(FLock);
      FStop = true;
    }
    FWake.notify_all();
    FThread.join();
  }

 private:
  void Run() {
    for (uint32_t round = 1;; ++round) {
      FSetup.Desktop.HideTaskManagerWindows(FSetup.TaskManagerTitle);
      const bool recheck = round % 10 == 0;
      FSetup.Post([on = FOn, mode = FMode, recheck] {
        // A round that arrives after exam mode has ended (or its owner has gone) does nothing.
        if (*on) mode->GuardRound(recheck);
      });
      std::unique_lock lock(FLock);
      if (FWake.wait_for(lock, FSetup.GuardInterval, [this] { return FStop; })) return;
    }
  }

  const TNwExamModeSetup& FSetup;
  std::shared_ptr<const std::atomic<bool>> FOn;
  TNwExamMode* FMode;
  std::thread FThread;
  std::mutex FLock;
  std::condition_variable FWake;
  bool FStop = false;
};

}  // namespace

TNwExamMode::TNwExamMode(TNwExamModeSetup setup) : FSetup(std::move(setup)) {
  platform::IDesktop& desktop = FSetup.Desktop;
  INwExamWindow& window = FSetup.Window;
  auto step = [this](std::function<void()> perform, std::function<void()> revert) {
    FSteps.push_back(std::make_unique<TNwStep>(std::move(perform), std::move(revert)));
  };
  step([this, &desktop] { FHiddenDocks = desktop.HideDockWindows(); },
       [this, &desktop] { desktop.ShowDockWindows(std::exchange(FHiddenDocks, {})); });
  step([&window] { window.Cover(); }, [&window] { window.Uncover(); });
  // After covering, which may give the window a new native window.
  step([&] { desktop.SetSkipTaskbar(window.NativeWindow(), true); },
       [&] { desktop.SetSkipTaskbar(window.NativeWindow(), false); });
  step(
      [this, &window] {
        // The filter asks where an exit-gesture release came from.
        FSetup.Keys.Watch();
        window.FilterKeys(true);
      },
      [&window] { window.FilterKeys(false); });
  step([&window] { window.GrabInput(); }, [&window] { window.ReleaseInput(); });
  FSteps.push_back(std::make_unique<TNwFocusGuard>(
      FSetup, std::shared_ptr<const std::atomic<bool>>(FState, &FState->On), this));
}

TNwExamMode::~TNwExamMode() {
  Exit();
}

void TNwExamMode::Enter() {
  if (FState->On) return;
  FState->On = true;
  FAway = awNone;
  FEntryRounds = 0;
  FCovered = FInputHeld = FInputLost = FInputRefusedLogged = false;
  for (; FPerformed < FSteps.size(); ++FPerformed) FSteps[FPerformed]->Perform();
}

void TNwExamMode::GuardRound(bool recheck) {
  platform::IDesktop& desktop = FSetup.Desktop;
  INwExamWindow& window = FSetup.Window;
  const unsigned long id = window.NativeWindow();
  const std::vector<unsigned long> own = window.OwnWindows();
  const platform::TWindowPlacement at = desktop.Placement(id, own);

  const TNwAway away = at.Minimised           ? awMinimised
                       : !at.OnCurrentDesktop ? awOtherDesktop
                       : !at.Viewable         ? awHidden
                                              : awNone;
  // Bringing back a window that is still being mapped races the toolkit's own mapping.
  const bool entering = !FInputHeld && ++FEntryRounds <= kEntryRounds;
  if (away != awNone && !entering) {
    desktop.BringBack(id);
    // Logged again when the way out changes, say from minimised to another desktop.
    if (away != FAway) {
      FSetup.Log.Info(away == awMinimised      ? "exam window minimised, restored"
                      : away == awOtherDesktop ? "exam window on another desktop, brought back"
                                               : "exam window hidden, shown again",
                      "");
    }
    // The server let both grabs go when the window left the screen.
    FInputLost = FInputLost || FInputHeld;
  }
  FAway = entering ? awNone : away;

  if (!at.OnTop) {
    desktop.LowerIntrudersAbove(id, own);
    if (!FCovered) FSetup.Log.Info("exam window covered, raised again", "");
  }
  FCovered = !at.OnTop;

  window.BringToFront();
  if (window.HoldInput()) {
    if (FInputLost) FSetup.Log.Info("keyboard grab lost, taken again", "");
    FInputHeld = true;
    FInputLost = FInputRefusedLogged = false;
  } else if (FInputHeld) {
    FInputLost = true;
    if (!FInputRefusedLogged) {
      FSetup.Log.Warn("keyboard grab lost, another program holds it; trying again", "");
      FInputRefusedLogged = true;
    }
  }
  if (recheck) window.ScreenRecheck();
}

void TNwExamMode::Exit() {
  if (!FState->On) return;
  FState->On = false;
  for (; FPerformed > 0; --FPerformed) FSteps[FPerformed - 1]->Revert();
}

}  // namespace quorvex
