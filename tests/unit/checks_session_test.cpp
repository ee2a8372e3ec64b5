#include <gtest/gtest.h>

#include "checks/utils.h"
#include "tests/support/checks_fakes.h"

namespace quorvex::testing {
namespace {

struct RemoteCase {
  const char* name;
  bool marker;
  bool reported;
  std::optional<std::string> own, console;
  bool expected;
};
// Named in test listings and failures, rather than dumped as bytes.
void PrintTo(const RemoteCase& c, std::ostream* os) {
  *os << c.name;
}

class CheckRemoteSession : public ::testing::TestWithParam<RemoteCase> {};

TEST_P(CheckRemoteSession, FirstAnswerOnTheWayWins) {
  const RemoteCase& c = GetParam();
  FakeMachineRoom room;
  if (c.marker) room.Markers.insert("rdp.qdx");
  room.Session.Remote = c.reported;
  room.Session.Own = c.own;
  room.Session.Console = c.console;
  EXPECT_EQ(IsRemoteSession(room.Env()), c.expected);
  if (c.marker) {
    EXPECT_EQ(room.Session.Calls, 0) << "the marker ends the test before any query";
  }
  if (c.own && !c.reported) {
    EXPECT_EQ(room.Session.ConsoleAskedFor, *c.own);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Checks, CheckRemoteSession,
    ::testing::Values(RemoteCase{"MarkerBeatsARemoteSession", true, true, "3", "1", false},
                      RemoteCase{"ReportedRemoteWhateverTheConsole", false, true, "1", "1", true},
                      RemoteCase{"ReportedRemoteWithoutSessionIds", false, true, {}, {}, true},
                      RemoteCase{"AtTheConsole", false, false, "2", "2", false},
                      RemoteCase{"ConsoleShowsAnotherSession", false, false, "7", "2", true},
                      RemoteCase{"OwnSessionUnknown", false, false, {}, "2", false},
                      RemoteCase{"NoConsoleSessionPublished", false, false, "7", {}, false}),
    [](const auto& info) { return info.param.name; });

TEST(CheckRemoteSessionFailure, AFailingQueryCountsAsNotRemote) {
  FakeMachineRoom room;
  room.Session.Throws = true;
  EXPECT_FALSE(IsRemoteSession(room.Env()));
}

TEST(CheckScreenCondition, MonitorsAreCountedBeforeTheSessionIsAsked) {
  struct Case {
    int monitors;
    bool remote;
    bool expected;
    int asked;
  };
  for (const Case& c : {Case{2, false, true, 0}, Case{3, true, true, 0}, Case{1, false, false, 1},
                        Case{1, true, true, 1}, Case{0, true, true, 1}, Case{0, false, false, 1}}) {
    int asked = 0;
    EXPECT_EQ(ScreenConditionHolds(c.monitors,
                                   [&] {
                                     ++asked;
                                     return c.remote;
                                   }),
              c.expected)
        << c.monitors << " monitors";
    EXPECT_EQ(asked, c.asked) << c.monitors << " monitors";
  }
}

TEST(CheckScreenCondition, TheRemoteMarkerLeavesASecondMonitorCounted) {
  FakeMachineRoom room;
  room.Markers.insert("rdp.qdx");
  room.Session.Remote = true;
  const TNwCheckEnv env = room.Env();
  auto remote = [&] { return IsRemoteSession(env); };
  EXPECT_TRUE(ScreenConditionHolds(2, remote));
  EXPECT_FALSE(ScreenConditionHolds(1, remote));
}

}  // namespace
}  // namespace quorvex::testing
