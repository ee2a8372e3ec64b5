#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "checks/utils.h"
#include "platform/linux/screens.h"
#include "platform/linux/session.h"
#include "tests/platform/checks_support.h"
#include "tests/support/checks_fakes.h"

namespace quorvex::testing {
namespace {

using namespace std::chrono_literals;

TEST(CheckDisplay, ADisplayOverTheNetworkIsRemote) {
  struct Case {
    const char* display;
    bool remote;
  };
  for (const Case& c :
       {Case{":0", false}, Case{":1.0", false}, Case{"unix:0", false}, Case{"unix/:0", false},
        Case{"/tmp/launch-x/org.xquartz:0", false}, Case{"", false}, Case{"garbage", false},
        Case{"localhost:10.0", true}, Case{"192.168.1.9:0", true}, Case{"tcp/host:0", true},
        Case{"::1:0", true}}) {
    EXPECT_EQ(platform::DisplayIsRemote(c.display), c.remote) << c.display;
  }
}

// logind's records: session 2 at seat0's console, 7 marked remote, 9 without a seat, c4 on a
// second seat whose console it holds.
class CheckLinuxSession : public FixtureTree {
 protected:
  void SetUp() override {
    Write("run/sessions/2", "# This is private data. Do not parse.\nUID=1000\nSEAT=seat0\n");
    Write("run/sessions/7", "UID=1000\nREMOTE=1\nREMOTE_HOST=10.0.0.5\nSEAT=seat0\n");
    Write("run/sessions/9", "UID=1000\nTYPE=x11\n");
    Write("run/sessions/c4", "UID=1001\nSEAT=seat1\n");
    Write("run/seats/seat0", "IS_SEAT0=1\nACTIVE=2\nACTIVE_UID=1000\n");
    Write("run/seats/seat1", "ACTIVE=c4\n");
    Write("audit", "2\n");
  }

  platform::TLinuxSessionInfo Session(std::map<std::string, std::string> env,
                                      const std::string& audit = "audit") {
    env_ = std::move(env);
    return platform::TLinuxSessionInfo(
        Path("run"),
        [this](const char* name) {
          auto it = env_.find(name);
          return it == env_.end() ? nullptr : it->second.c_str();
        },
        Path(audit));
  }

  // The real session source and marker files in the scratch folder; the rest made up.
  TNwCheckEnv EnvWith(FakeMachineRoom& room, platform::ISessionInfo& session) {
    TNwCheckEnv env = room.Env();
    return TNwCheckEnv{.MarkerPresent = MarkerFilesIn(Root().string() + "/"),
                       .Session = session,
                       .Machine = env.Machine,
                       .Processes = env.Processes,
                       .Log = env.Log,
                       .Strings = env.Strings,
                       .Debug = nullptr,
                       .ShowInformation = nullptr};
  }

  std::map<std::string, std::string> env_;
};

TEST_F(CheckLinuxSession, SessionIdsFromTheEnvironmentOrTheAuditRecord) {
  struct Case {
    std::map<std::string, std::string> env;
    std::string audit;
    std::optional<std::string> expected;
  };
  Write("audit-none", "4294967295");
  Write("audit-odd", "../../etc");
  for (const Case& c : {Case{{{"XDG_SESSION_ID", "7"}}, "audit", "7"}, Case{{}, "audit", "2"},
                        Case{{{"XDG_SESSION_ID", ""}}, "audit", "2"},
                        Case{{{"XDG_SESSION_ID", "../seats/seat0"}}, "audit", "2"},
                        Case{{}, "audit-none", std::nullopt}, Case{{}, "audit-odd", std::nullopt},
                        Case{{}, "missing", std::nullopt}}) {
    EXPECT_EQ(Session(c.env, c.audit).CurrentSessionId(), c.expected) << c.audit;
  }
}

TEST_F(CheckLinuxSession, WaylandSessionsAreToldBySessionTypeOrTheirDisplay) {
  struct Case {
    std::map<std::string, std::string> env;
    bool wayland;
  };
  for (const Case& c : {
           Case{{{"XDG_SESSION_TYPE", "wayland"}}, true},
           Case{{{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}}, true},
           Case{{{"WAYLAND_DISPLAY", "wayland-0"}}, true},
           Case{{{"XDG_SESSION_TYPE", "tty"}, {"WAYLAND_DISPLAY", "wayland-0"}}, true},
           // An X11 session that also runs a nested compositor is still an X11 session.
           Case{{{"XDG_SESSION_TYPE", "x11"}, {"WAYLAND_DISPLAY", "wayland-0"}}, false},
           Case{{{"XDG_SESSION_TYPE", "x11"}}, false},
           Case{{{"DISPLAY", ":0"}}, false},
           Case{{{"WAYLAND_DISPLAY", ""}}, false},
       }) {
    EXPECT_EQ(Session(c.env).IsWaylandSession(), c.wayland) << ::testing::PrintToString(c.env);
  }
}

TEST_F(CheckLinuxSession, ConsoleOfTheSessionsSeat) {
  auto session = Session({});
  EXPECT_EQ(session.ConsoleSessionId("2"), "2");
  EXPECT_EQ(session.ConsoleSessionId("7"), "2");
  EXPECT_EQ(session.ConsoleSessionId("c4"), "c4");
  // Without a seat of its own a session is compared with the main seat's console.
  EXPECT_EQ(session.ConsoleSessionId("9"), "2");
  // A session logind does not know, or a name that is no record name, tells nothing.
  EXPECT_EQ(session.ConsoleSessionId("42"), std::nullopt);
  EXPECT_EQ(session.ConsoleSessionId("../seats/seat0"), std::nullopt);

  Write("run/seats/seat0", "IS_SEAT0=1\n");
  EXPECT_EQ(session.ConsoleSessionId("2"), std::nullopt);
}

TEST_F(CheckLinuxSession, RemoteSignals) {
  struct Case {
    std::map<std::string, std::string> env;
    bool remote;
  };
  for (const Case& c : {
           Case{{{"XDG_SESSION_ID", "2"}, {"DISPLAY", ":0"}}, false},
           Case{{{"XDG_SESSION_ID", "7"}, {"DISPLAY", ":0"}}, true},
           Case{{{"XDG_SESSION_ID", "2"}, {"SSH_CONNECTION", "10.0.0.5 5122 10.0.0.1 22"}}, true},
           Case{{{"SSH_CLIENT", "10.0.0.5 5122 22"}}, true},
           Case{{{"SSH_TTY", "/dev/pts/3"}}, true},
           Case{{{"SSH_TTY", ""}}, false},
           Case{{{"XRDP_SESSION", "1"}}, true},
           Case{{{"DISPLAY", "localhost:10.0"}}, true},
       }) {
    EXPECT_EQ(Session(c.env).SessionReportsRemote(), c.remote) << ::testing::PrintToString(c.env);
  }
}

TEST_F(CheckLinuxSession, RemoteSessionCheckOverLogindRecords) {
  FakeMachineRoom room;
  struct Case {
    const char* session;
    bool remote;
  };
  for (const Case& c :
       {Case{"2", false}, Case{"7", true}, Case{"9", true}, Case{"c4", false}, Case{"42", false}}) {
    auto session = Session({{"XDG_SESSION_ID", c.session}, {"DISPLAY", ":0"}});
    EXPECT_EQ(IsRemoteSession(EnvWith(room, session)), c.remote) << c.session;
  }

  // Only a file is the marker.
  auto session = Session({{"XDG_SESSION_ID", "7"}});
  const TNwCheckEnv linux_env = EnvWith(room, session);
  MakeDir("rdp.qdx");
  EXPECT_TRUE(IsRemoteSession(linux_env));
  fs::remove(Root() / "rdp.qdx");
  Write("rdp.qdx", "");
  EXPECT_FALSE(IsRemoteSession(linux_env));
}

class CheckMonitors : public ::testing::Test {
 protected:
  void TearDown() override {
    if (saved_display_) {
      setenv("DISPLAY", saved_display_->c_str(), 1);
    } else {
      unsetenv("DISPLAY");
    }
  }
  std::optional<std::string> saved_display_ =
      std::getenv("DISPLAY") ? std::optional<std::string>(std::getenv("DISPLAY")) : std::nullopt;
};

TEST_F(CheckMonitors, OneScreenIsOneMonitor) {
  e2e::XServer x;
  EXPECT_EQ(platform::MonitorCountOn(x.display().c_str()), 1);
  setenv("DISPLAY", x.display().c_str(), 1);
  EXPECT_EQ(platform::MonitorCount(), 1);
}

TEST_F(CheckMonitors, ASecondHeadMakesTheScreenConditionHold) {
  e2e::XServer x({"-screen", "1", "800x600x24", "+xinerama"});
  EXPECT_EQ(platform::MonitorCountOn(x.display().c_str()), 2);
  setenv("DISPLAY", x.display().c_str(), 1);
  EXPECT_TRUE(ScreenConditionHolds());
}

TEST_F(CheckMonitors, TwoSeparateScreensCountAsTwo) {
  e2e::XServer x({"-screen", "1", "800x600x24"});
  EXPECT_EQ(platform::MonitorCountOn(x.display().c_str()), 2);
}

TEST_F(CheckMonitors, NoDisplayIsNoMonitor) {
  EXPECT_EQ(platform::MonitorCountOn(":65000"), 0);
  unsetenv("DISPLAY");
  EXPECT_EQ(platform::MonitorCount(), 0);
}

}  // namespace
}  // namespace quorvex::testing
