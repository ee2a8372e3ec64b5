// A desktop, key sources and an exam window made up for exam mode: what is done to them goes
// into one journal, in order.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "exam/exammode.h"
#include "platform/desktop.h"
#include "platform/keysource.h"

namespace quorvex::testing {

class Journal {
 public:
  void Add(std::string line) {
    std::lock_guard lock(FLock);
    FLines.push_back(std::move(line));
  }
  std::vector<std::string> Take() {
    std::lock_guard lock(FLock);
    return std::exchange(FLines, {});
  }

 private:
  std::mutex FLock;
  std::vector<std::string> FLines;
};

// Two docks on the screen until hidden.
class FakeDesktop final : public platform::IDesktop {
 public:
  explicit FakeDesktop(Journal& journal) : FJournal(journal) {}

  std::atomic<int> TaskManagerSweeps{0};

  std::vector<unsigned long> HideDockWindows() override {
    FJournal.Add("hide docks");
    return {11, 12};
  }
  void ShowDockWindows(const std::vector<unsigned long>& windows) override {
    std::string line = "show docks";
    for (unsigned long w : windows) line += " " + std::to_string(w);
    FJournal.Add(line);
  }
  void SetSkipTaskbar(unsigned long window, bool skip) override {
    FJournal.Add("skip taskbar " + std::string(skip ? "on " : "off ") + std::to_string(window));
  }
  // What Placement answers; a repair is journaled and, as on a real desktop, takes effect.
  platform::TWindowPlacement At;
  std::vector<unsigned long> OwnSeen;

  platform::TWindowPlacement Placement(unsigned long,
                                       const std::vector<unsigned long>& own) override {
    OwnSeen = own;
    return At;
  }
  void BringBack(unsigned long window) override {
    FJournal.Add("bring back " + std::to_string(window));
    At.Viewable = true;
    At.Minimised = false;
    At.OnCurrentDesktop = true;
  }
  int LowerIntrudersAbove(unsigned long window, const std::vector<unsigned long>&) override {
    FJournal.Add("lower intruders above " + std::to_string(window));
    At.OnTop = true;
    return 1;
  }
  // The focus guard's thread: counted, not journaled, as its timing is its own.
  int HideTaskManagerWindows(const std::string&) override {
    ++TaskManagerSweeps;
    return 0;
  }

 private:
  Journal& FJournal;
};

// Answers every release as a person's or every one as made up.
class FakeKeySource final : public platform::IKeySource {
 public:
  explicit FakeKeySource(bool physical = true) : Physical(physical) {}
  bool Physical;
  int Watches = 0;
  void Watch() override { ++Watches; }
  bool IsPhysicalKeyRelease(unsigned int, unsigned long) override { return Physical; }
};

// Covering gives the window a new native window, as it does on X11.
class FakeExamWindow final : public INwExamWindow {
 public:
  explicit FakeExamWindow(Journal& journal) : FJournal(journal) {}

  int Fronts = 0, Rechecks = 0;
  // Whether the next HoldInput gets both grabs.
  bool Grants = true;

  void Cover() override {
    FJournal.Add("cover");
    FNative = 2;
  }
  void Uncover() override {
    FJournal.Add("uncover");
    FNative = 3;
  }
  unsigned long NativeWindow() const override { return FNative; }
  void FilterKeys(bool on) override { FJournal.Add(on ? "filter keys" : "stop filtering keys"); }
  void GrabInput() override { FJournal.Add("grab input"); }
  void ReleaseInput() override { FJournal.Add("release input"); }
  bool HoldInput() override {
    FJournal.Add(Grants ? "hold input" : "hold input refused");
    return Grants;
  }
  void BringToFront() override { ++Fronts; }
  std::vector<unsigned long> OwnWindows() const override { return {7}; }
  void ScreenRecheck() override { ++Rechecks; }

 private:
  Journal& FJournal;
  unsigned long FNative = 1;
};

}  // namespace quorvex::testing
