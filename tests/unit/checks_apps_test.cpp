#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "checks/utils.h"
#include "tests/support/checks_fakes.h"

namespace quorvex::testing {
namespace {

using ::testing::ElementsAre;

struct BanCase {
  const char* name;
  std::vector<std::string> processes;
  std::string section;
  std::optional<std::string> expected;  // display name, none when nothing is found
};
// Named in test listings and failures, rather than dumped as bytes.
void PrintTo(const BanCase& c, std::ostream* os) {
  *os << c.name;
}

class CheckBannedApp : public ::testing::TestWithParam<BanCase> {};

TEST_P(CheckBannedApp, ShippedTables) {
  const BanCase& c = GetParam();
  FakeMachineRoom room;
  room.Strings = &ShippedStrings(c.section);
  room.Processes.Names = c.processes;
  std::string display = "untouched";
  EXPECT_EQ(FindBannedApp(display, room.Env()), c.expected.has_value());
  EXPECT_EQ(display, c.expected.value_or("untouched"));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, CheckBannedApp,
    ::testing::Values(
        BanCase{"NothingListedRuns", {"systemd", "bash", "Xorg"}, "en-us", std::nullopt},
        BanCase{"DingTalkInEnglish", {"systemd", "DingTalk.exe"}, "en-us", "Ding Talk"},
        BanCase{"DingTalkInChinese", {"systemd", "DingTalk.exe"}, "zh-cn", "钉钉"},
        // The entry with a blank before its name.
        BanCase{"EntryWithABlankBeforeItsName", {"EVCapture.exe"}, "en-us", "EV Record"},
        BanCase{"EntryWithABlankInChinese", {"evcapture"}, "zh-cn", "EV录屏"},
        // Whole names only; a build for this system has no ".exe".
        BanCase{"KKBoxIsNotKK", {"KKBox.exe"}, "en-us", std::nullopt},
        BanCase{"KKBoxWithoutExeIsNotKK", {"kkbox"}, "en-us", std::nullopt},
        BanCase{"KKWithExe", {"kk.exe"}, "en-us", "KK Recorder"},
        BanCase{"KKWithoutExe", {"kk"}, "zh-cn", "KK录屏"},
        BanCase{"KKWithAnotherExtension", {"kk.bin"}, "en-us", std::nullopt},
        BanCase{"TeamViewerWithoutExe", {"TeamViewer"}, "en-us", "Team View"},
        BanCase{"PowerPointInCapitals", {"POWERPNT.EXE"}, "zh-cn", "PPT软件"},
        // Several running: the first in the table of processes, not in the list.
        BanCase{"FirstInTheProcessTableTeamViewer",
                {"bash", "TeamViewer", "ToDesk"},
                "en-us",
                "Team View"},
        BanCase{
            "FirstInTheProcessTableToDesk", {"bash", "ToDesk", "TeamViewer"}, "en-us", "ToDesk"}),
    [](const auto& info) { return info.param.name; });

TEST(CheckBannedAppTable, EntriesWithoutANameOrDisplayAreLeftOut) {
  const TNwI18n strings(
      "[en-us]\nbanAPP=;noequals;=Nameless; Odd = Odd Tool ;dup=First;dup=Second;ok=OK;\n",
      "en-us");
  FakeMachineRoom room;
  room.Strings = &strings;
  struct Case {
    const char* process;
    std::optional<std::string> expected;
  };
  for (const Case& c : {Case{"noequals", std::nullopt}, Case{".exe", std::nullopt},
                        Case{"odd", " Odd Tool "}, Case{"dup", "First"}, Case{"ok.exe", "OK"}}) {
    room.Processes.Names = {c.process};
    std::string display;
    EXPECT_EQ(FindBannedApp(display, room.Env()), c.expected.has_value()) << c.process;
    if (c.expected) {
      EXPECT_EQ(display, *c.expected) << c.process;
    }
  }
}

TEST(CheckBannedAppTable, MissingTableFindsNothing) {
  const TNwI18n strings("[en-us]\nother=x\n", "en-us");
  FakeMachineRoom room;
  room.Strings = &strings;
  room.Processes.Names = {"banAPP", "banapp.exe"};
  std::string display;
  EXPECT_FALSE(FindBannedApp(display, room.Env()));
}

TEST(CheckMarkers, EachMarkerSwitchesOnlyItsOwnScan) {
  FakeMachineRoom room;
  room.Processes.Names = {"TeamViewer", "QQ.exe"};
  std::string display;

  room.Markers = {"banapp.qdx"};
  EXPECT_FALSE(FindBannedApp(display, room.Env()));
  EXPECT_EQ(room.Processes.Walks, 0);
  EXPECT_TRUE(IsChatAppRunning(room.Env()));

  room.Markers = {"feim.qdx"};
  room.Log.Lines.clear();
  room.Processes.Walks = 0;
  EXPECT_FALSE(IsChatAppRunning(room.Env()));
  EXPECT_EQ(room.Processes.Walks, 0);
  EXPECT_TRUE(room.Log.Lines.empty());
  EXPECT_TRUE(FindBannedApp(display, room.Env()));
  EXPECT_EQ(display, "Team View");
}

TEST(CheckChatApps, FixedListWithItsLogLine) {
  struct Case {
    const char* process;
    bool expected;
  };
  for (const Case& c : {Case{"QQ.exe", true}, Case{"qq", true}, Case{"WeChat", true},
                        Case{"wechat.exe", true}, Case{"TIM.EXE", true}, Case{"tim", true},
                        Case{"wechatapp", false}, Case{"qqmusic", false}, Case{"timer", false}}) {
    FakeMachineRoom room;
    room.Processes.Names = {"bash", c.process};
    EXPECT_EQ(IsChatAppRunning(room.Env()), c.expected) << c.process;
    EXPECT_THAT(room.Log.Lines, ElementsAre("INFO start check qq, wechat"));
  }
}

TEST(CheckRunningProcess, MatchedItemKeepsItsBlanksAndTheFirstItemWins) {
  FakeMachineRoom room;
  room.Processes.Names = {"bash", " QQ.exe\t"};
  std::string matched = "untouched";
  EXPECT_TRUE(FindRunningProcess("Foo.exe, QQ.exe ,qq.exe", matched, room.Env()));
  EXPECT_EQ(matched, " qq.exe ");

  matched = "untouched";
  EXPECT_FALSE(FindRunningProcess("Foo.exe,,bar", matched, room.Env()));
  EXPECT_FALSE(FindRunningProcess("", matched, room.Env()));
  EXPECT_EQ(matched, "untouched");

  room.Processes.Names.clear();
  EXPECT_FALSE(FindRunningProcess("bash", matched, room.Env()));
}

TEST(CheckRunningProcess, OneDebugLinePerComparisonUntilTheMatch) {
  FakeMachineRoom room;
  room.Processes.Names = {"Bash", "qq.exe", "never-reached"};
  std::string matched;
  room.DebugOn = true;
  EXPECT_TRUE(FindRunningProcess("X.exe, qq.exe", matched, room.Env()));
  EXPECT_THAT(room.DebugLines,
              ElementsAre("bash-x.exe-1", "bash-qq.exe--1", "qq.exe-x.exe-1", "qq.exe-qq.exe--1"));
}

}  // namespace
}  // namespace quorvex::testing
