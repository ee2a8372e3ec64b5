// Exam mode's steps with a made-up desktop and window: their order, their undoing and the
// focus guard's rounds.
#include "exam/exammode.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <mutex>

#include "tests/support/desktop_fakes.h"
#include "tests/support/fake_log.h"
#include "tests/support/wait.h"

namespace quorvex {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const Lines kEntered = {"hide docks", "cover", "skip taskbar on 2", "filter keys", "grab input"};
const Lines kLeft = {"release input", "stop filtering keys", "skip taskbar off 2", "uncover",
                     "show docks 11 12"};

class ExamMode : public ::testing::Test {
 protected:
  TNwExamMode& Make(std::chrono::milliseconds interval = 1h) {
    mode_ = std::make_unique<TNwExamMode>(TNwExamModeSetup{
        .Desktop = desktop_,
        .Keys = keys_,
        .Window = window_,
        .Log = log_,
        .Post =
            [this](std::function<void()> round) {
              std::lock_guard lock(posted_lock_);
              posted_.push_back(std::move(round));
            },
        .TaskManagerTitle = "Task Manage",
        .GuardInterval = interval,
    });
    return *mode_;
  }

  size_t Posted() {
    std::lock_guard lock(posted_lock_);
    return posted_.size();
  }
  // Runs the rounds posted so far, as the GUI thread would.
  void RunPosted() {
    std::deque<std::function<void()>> rounds;
    {
      std::lock_guard lock(posted_lock_);
      rounds.swap(posted_);
    }
    for (auto& round : rounds) round();
  }

  testing::Journal journal_;
  testing::FakeDesktop desktop_{journal_};
  testing::FakeKeySource keys_;
  testing::FakeExamWindow window_{journal_};
  testing::FakeLog log_;
  std::mutex posted_lock_;
  std::deque<std::function<void()>> posted_;
  std::unique_ptr<TNwExamMode> mode_;
};

TEST_F(ExamMode, EnterTakesEachStepInOrderAndExitUndoesThemInReverse) {
  TNwExamMode& mode = Make();
  EXPECT_FALSE(mode.On());
  mode.Enter();
  EXPECT_TRUE(mode.On());
  // The taskbar entry of the window that covers the screen, not of the one before it.
  EXPECT_EQ(journal_.Take(), kEntered);
  EXPECT_EQ(keys_.Watches, 1);

  mode.Exit();
  EXPECT_FALSE(mode.On());
  EXPECT_EQ(journal_.Take(), kLeft) << "undone in reverse order, docks given back as hidden";

  // A second period goes the same way.
  mode.Enter();
  mode.Exit();
  Lines both = kEntered;
  both.insert(both.end(), kLeft.begin(), kLeft.end());
  EXPECT_EQ(journal_.Take(), both);
}

TEST_F(ExamMode, TwiceOnIsOnceOnAndTwiceOffIsOnceOff) {
  TNwExamMode& mode = Make();
  mode.Exit();
  EXPECT_TRUE(journal_.Take().empty()) << "leaving exam mode that is off does nothing";
  mode.Enter();
  mode.Enter();
  EXPECT_EQ(journal_.Take(), kEntered);
  mode.Exit();
  mode.Exit();
  EXPECT_EQ(journal_.Take(), kLeft);
}

TEST_F(ExamMode, GoingAwayWhileOnGivesTheDesktopBackOnce) {
  Make().Enter();
  journal_.Take();
  mode_.reset();
  EXPECT_EQ(journal_.Take(), kLeft);

  Make().Enter();
  mode_->Exit();
  journal_.Take();
  mode_.reset();
  EXPECT_TRUE(journal_.Take().empty()) << "nothing is undone twice";
}

TEST_F(ExamMode, TheGuardBringsTheWindowBackEveryRoundAndRechecksEveryTenth) {
  TNwExamMode& mode = Make(1ms);
  mode.Enter();
  // The first round comes at once.
  ASSERT_TRUE(testing::WaitFor([&] { return Posted() >= 20; }, 10s));
  mode.Exit();
  const size_t rounds = Posted();
  EXPECT_GE(desktop_.TaskManagerSweeps.load(), static_cast<int>(rounds));

  // Rounds that reach the GUI thread after exam mode has ended do nothing there.
  RunPosted();
  EXPECT_EQ(window_.Fronts, 0);

  mode.Enter();
  ASSERT_TRUE(testing::WaitFor([&] { return Posted() >= 20; }, 10s));
  RunPosted();
  EXPECT_GE(window_.Fronts, 20);
  EXPECT_EQ(window_.Rechecks, window_.Fronts / 10) << window_.Fronts << " rounds";
  mode.Exit();
}

TEST_F(ExamMode, EachRoundRestoresWhatAnotherProgramUndidAndLogsEachLossOnce) {
  TNwExamMode& mode = Make();
  mode.Enter();
  journal_.Take();
  log_.Lines.clear();
  struct Round {
    const char* what;
    std::function<void()> undo;  // what another program does before the round
    Lines done;                  // the repairs, in order
    Lines logged;
  };
  const Round rounds[] = {
      {"all in place", [] {}, {"hold input"}, {}},
      {"minimised",
       [&] { desktop_.At.Minimised = true; },
       {"bring back 2", "hold input"},
       {"INFO exam window minimised, restored", "INFO keyboard grab lost, taken again"}},
      {"back in place", [] {}, {"hold input"}, {}},
      {"unmapped",
       [&] { desktop_.At.Viewable = false; },
       {"bring back 2", "hold input"},
       {"INFO exam window hidden, shown again", "INFO keyboard grab lost, taken again"}},
      {"back in place", [] {}, {"hold input"}, {}},
      {"another desktop, a client holds the keyboard",
       [&] {
         desktop_.At.OnCurrentDesktop = false;
         window_.Grants = false;
       },
       {"bring back 2", "hold input refused"},
       {"INFO exam window on another desktop, brought back",
        "WARNING keyboard grab lost, another program holds it; trying again"}},
      {"the client still holds it", [] {}, {"hold input refused"}, {}},
      {"the client lets go",
       [&] { window_.Grants = true; },
       {"hold input"},
       {"INFO keyboard grab lost, taken again"}},
      {"a window above that bypasses the window manager",
       [&] { desktop_.At.OnTop = false; },
       {"lower intruders above 2", "hold input"},
       {"INFO exam window covered, raised again"}},
      {"all in place again", [] {}, {"hold input"}, {}},
  };
  for (const Round& round : rounds) {
    round.undo();
    mode.GuardRound(false);
    EXPECT_EQ(journal_.Take(), round.done) << round.what;
    EXPECT_EQ(std::exchange(log_.Lines, {}), round.logged) << round.what;
  }
  EXPECT_EQ(desktop_.OwnSeen, std::vector<unsigned long>{7})
      << "the program's own windows may be above";
  EXPECT_EQ(window_.Fronts, static_cast<int>(std::size(rounds)));
  EXPECT_EQ(window_.Rechecks, 0);
  mode.GuardRound(true);
  EXPECT_EQ(window_.Rechecks, 1);
}

TEST_F(ExamMode, AWindowStillOnItsWayOntoTheScreenIsLeftToTheToolkit) {
  // Until it first holds the input, for a few rounds at most.
  TNwExamMode& mode = Make();
  mode.Enter();
  journal_.Take();
  desktop_.At.Viewable = false;
  window_.Grants = false;
  for (int round = 0; round < TNwExamMode::kEntryRounds; ++round) {
    mode.GuardRound(false);
    EXPECT_EQ(journal_.Take(), Lines{"hold input refused"}) << round;
  }
  EXPECT_TRUE(log_.Lines.empty());
  mode.GuardRound(false);
  EXPECT_EQ(journal_.Take(), (Lines{"bring back 2", "hold input refused"}));
  EXPECT_EQ(log_.Lines, Lines{"INFO exam window hidden, shown again"});

  // Held at once, the window is guarded from the next round on.
  mode.Exit();
  mode.Enter();
  journal_.Take();
  log_.Lines.clear();
  window_.Grants = true;
  mode.GuardRound(false);
  desktop_.At.Minimised = true;
  mode.GuardRound(false);
  EXPECT_EQ(journal_.Take(), (Lines{"hold input", "bring back 2", "hold input"}));
}

TEST_F(ExamMode, AWindowThatStaysAwayAnotherWayIsLoggedAgain) {
  TNwExamMode& mode = Make();
  mode.Enter();
  mode.GuardRound(false);
  log_.Lines.clear();
  // A desktop that does not let the window back at once.
  desktop_.At.Minimised = true;
  mode.GuardRound(false);
  desktop_.At.Minimised = true;
  mode.GuardRound(false);
  desktop_.At.OnCurrentDesktop = false;
  mode.GuardRound(false);
  EXPECT_EQ(log_.Lines,
            (Lines{"INFO exam window minimised, restored", "INFO keyboard grab lost, taken again",
                   "INFO keyboard grab lost, taken again",
                   "INFO exam window on another desktop, brought back",
                   "INFO keyboard grab lost, taken again"}));
}

}  // namespace
}  // namespace quorvex
