// The blocking checks in their order, without a window.
#include "checks/checkrun.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "tests/support/checks_fakes.h"

namespace quorvex::testing {
namespace {

// Four checks that fail as told and count their calls.
struct ScriptedChecks {
  std::array<bool, 5> fail{};
  std::array<int, 5> calls{};

  TNwExamChecks Checks() {
    return TNwExamChecks{
        .UnlockableSession = [this] { return ++calls[0], fail[0]; },
        .BannedApp =
            [this](std::string& name) {
              ++calls[1];
              if (fail[1]) name = "Team View";
              return fail[1];
            },
        .Screens = [this] { return ++calls[2], fail[2]; },
        .VirtualMachine = [this] { return ++calls[3], fail[3]; },
        .ChatApp = [this] { return ++calls[4], fail[4]; },
    };
  }
};

TEST(CheckRun, FirstFailureInTableOrderDecidesAndLaterChecksDoNotRun) {
  struct Case {
    std::array<bool, 5> fail;
    const char* section;
    const char* title;  // nullptr: passes
    std::array<int, 5> calls;
  };
  for (const Case& c : {
           Case{{0, 0, 0, 0, 0}, "en-us", nullptr, {1, 1, 1, 1, 1}},
           Case{{1, 1, 1, 1, 1}, "en-us", kUnlockableTitle, {1, 0, 0, 0, 0}},
           Case{{1, 0, 0, 0, 0},
                "zh-cn",
                "当前桌面会话无法为考试锁定。请注销后选择 X11（Xorg）会话，然后重试。",
                {1, 0, 0, 0, 0}},
           Case{{0, 1, 0, 0, 0}, "en-us", kBanTitle, {1, 1, 0, 0, 0}},
           Case{{0, 0, 1, 0, 0}, "en-us", kScreenTitle, {1, 1, 1, 0, 0}},
           Case{{0, 0, 0, 1, 0}, "en-us", kVmTitle, {1, 1, 1, 1, 0}},
           Case{{0, 0, 0, 0, 1}, "en-us", kChatTitle, {1, 1, 1, 1, 1}},
           Case{{0, 1, 1, 0, 0}, "en-us", kBanTitle, {1, 1, 0, 0, 0}},
           Case{{0, 0, 1, 1, 1}, "en-us", kScreenTitle, {1, 1, 1, 0, 0}},
           Case{{0, 0, 0, 1, 1}, "en-us", kVmTitle, {1, 1, 1, 1, 0}},
           Case{{0, 1, 1, 1, 1}, "en-us", kBanTitle, {1, 1, 0, 0, 0}},
           Case{{0, 1, 0, 0, 1},
                "zh-cn",
                "请先关闭软件：Team View， 考试时不允许录屏",
                {1, 1, 0, 0, 0}},
           Case{{0, 0, 0, 0, 1}, "zh-cn", "检测到打开了QQ或微信，请先关闭后考试", {1, 1, 1, 1, 1}},
       }) {
    ScriptedChecks s;
    s.fail = c.fail;
    const TNwCheckRunResult r = RunExamChecks(s.Checks(), ShippedStrings(c.section));
    const std::string label = ::testing::PrintToString(c.fail) + " " + c.section;
    EXPECT_EQ(r.Outcome, c.title ? TNwCheckOutcome::coFailed : TNwCheckOutcome::coPassed) << label;
    EXPECT_EQ(r.Title, c.title ? c.title : "") << label;
    EXPECT_EQ(s.calls, c.calls) << label;
  }
}

TEST(CheckRun, AbandonedRunStopsBeforeTheNextCheck) {
  for (int after = 0; after <= 4; ++after) {
    ScriptedChecks s;
    const auto made = [&] {
      return s.calls[0] + s.calls[1] + s.calls[2] + s.calls[3] + s.calls[4];
    };
    const TNwCheckRunResult r =
        RunExamChecks(s.Checks(), ShippedStrings("en-us"), [&] { return made() >= after; });
    EXPECT_EQ(r.Outcome, TNwCheckOutcome::coAbandoned) << after;
    EXPECT_EQ(made(), after);
  }
}

TEST(CheckRun, ExamChecksAskTheGivenMachine) {
  enum Which { kNone = -1, kSession, kBan, kScreens, kVm, kChat };
  struct Case {
    const char* name;
    std::function<void(FakeMachineRoom&)> arrange;
    int monitors;
    Which holds;
  };
  for (const Case& c : {
           Case{"clean", [](FakeMachineRoom&) {}, 1, kNone},
           Case{"no monitor known", [](FakeMachineRoom&) {}, 0, kNone},
           Case{"forbidden app", [](FakeMachineRoom& r) { r.Processes.Names = {"TeamViewer"}; }, 1,
                kBan},
           Case{"two monitors", [](FakeMachineRoom&) {}, 2, kScreens},
           Case{"remote session", [](FakeMachineRoom& r) { r.Session.Remote = true; }, 1, kScreens},
           Case{"virtual video", [](FakeMachineRoom& r) { r.Machine.Video = {"VMware SVGA II"}; },
                1, kVm},
           Case{"chat", [](FakeMachineRoom& r) { r.Processes.Names = {"QQ.exe"}; }, 1, kChat},
           Case{"wayland, even with every marker",
                [](FakeMachineRoom& r) {
                  r.Session.Wayland = true;
                  r.Markers = {"rdp.qdx", "vm.qdx", "banapp.qdx", "feim.qdx"};
                },
                1, kSession},
       }) {
    FakeMachineRoom room;
    c.arrange(room);
    const TNwExamChecks checks = ExamChecks(room.Env(), c.monitors);
    std::string app;
    EXPECT_EQ(checks.UnlockableSession(), c.holds == kSession) << c.name;
    EXPECT_EQ(checks.BannedApp(app), c.holds == kBan) << c.name;
    EXPECT_EQ(app, c.holds == kBan ? "Team View" : "") << c.name;
    EXPECT_EQ(checks.Screens(), c.holds == kScreens) << c.name;
    EXPECT_EQ(checks.VirtualMachine(), c.holds == kVm) << c.name;
    EXPECT_EQ(checks.ChatApp(), c.holds == kChat) << c.name;
  }
}

TEST(CheckRun, CentredOffsetIsTheNearestPixelTiesToEven) {
  struct Case {
    int outer, inner, expected;
  };
  for (const Case& c : {
           Case{1113, 202, 456},  // 455.5
           Case{704, 193, 256},   // 255.5
           Case{1113, 100, 506},  // 506.5
           Case{1113, 169, 472},
           Case{1113, 101, 506},
           Case{100, 300, -100},
       }) {
    EXPECT_EQ(CentredOffset(c.outer, c.inner), c.expected) << c.outer << " " << c.inner;
  }
}

}  // namespace
}  // namespace quorvex::testing
