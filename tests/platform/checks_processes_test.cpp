#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "checks/utils.h"
#include "platform/linux/processes.h"
#include "tests/platform/checks_support.h"
#include "tests/support/checks_fakes.h"

namespace quorvex::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::UnorderedElementsAre;

// Real processes under chosen names: copies of sleep in the scratch folder.
class CheckLinuxProcesses : public FixtureTree {
 protected:
  std::string SleepCopy(const std::string& name) {
    fs::copy_file("/bin/sleep", Root() / name);
    return Path(name);
  }
  std::unique_ptr<e2e::Process> Start(const std::string& path) {
    return std::make_unique<e2e::Process>(std::vector<std::string>{path, "60"},
                                          std::map<std::string, std::string>{},
                                          Root().string() + "/");
  }

  // This machine's processes; markers in the scratch folder.
  TNwCheckEnv Env() {
    TNwCheckEnv fake = room_.Env();
    return TNwCheckEnv{.MarkerPresent = MarkerFilesIn(Root().string() + "/"),
                       .Session = fake.Session,
                       .Machine = fake.Machine,
                       .Processes = platform::ProcessTable(),
                       .Log = fake.Log,
                       .Strings = fake.Strings,
                       .Debug = nullptr,
                       .ShowInformation = nullptr};
  }

  std::optional<std::string> Banned() {
    std::string display;
    if (!FindBannedApp(display, Env())) return std::nullopt;
    return display;
  }

  FakeMachineRoom room_;
};

TEST_F(CheckLinuxProcesses, ForbiddenApplicationFoundWhileItRuns) {
  auto viewer = Start(SleepCopy("TeamViewer"));
  ASSERT_TRUE(e2e::WaitFor([&] { return Banned() == "Team View"; }, 5s));

  Write("banapp.qdx", "");
  EXPECT_EQ(Banned(), std::nullopt);
  fs::remove(Root() / "banapp.qdx");
  EXPECT_EQ(Banned(), "Team View");

  viewer.reset();
  EXPECT_TRUE(e2e::WaitFor([&] { return !Banned(); }, 5s));
}

TEST_F(CheckLinuxProcesses, BuildsForThisSystemAndDeletedExecutables) {
  auto kkbox = Start(SleepCopy("kkbox"));
  auto kk = Start(SleepCopy("kk"));
  ASSERT_TRUE(e2e::WaitFor([&] { return Banned() == "KK Recorder"; }, 5s));
  kk.reset();
  EXPECT_TRUE(e2e::WaitFor([&] { return !Banned(); }, 5s)) << "kkbox is not kk";

  auto desk = Start(SleepCopy("ToDesk"));
  fs::remove(Root() / "ToDesk");
  EXPECT_TRUE(e2e::WaitFor([&] { return Banned() == "ToDesk"; }, 5s));
}

TEST_F(CheckLinuxProcesses, ChatClientAndItsMarker) {
  auto chat = Start(SleepCopy("wechat"));
  ASSERT_TRUE(e2e::WaitFor([&] { return IsChatAppRunning(Env()); }, 5s));
  Write("feim.qdx", "");
  EXPECT_FALSE(IsChatAppRunning(Env()));
}

TEST_F(CheckLinuxProcesses, NamesFromExecutableCommandLineOrKernelName) {
  Link("proc/12/exe", "/opt/teamviewer/tv_bin/TeamViewer");
  // An executable we may not read: the command line names the program.
  Write("proc/13/exe", "");
  Write("proc/13/cmdline", std::string("/usr/bin/QQ\0--silent\0", 22));
  Write("proc/13/comm", "QQ-main\n");
  // No executable at all (a kernel thread): its kernel name.
  Write("proc/14/cmdline", "");
  Write("proc/14/comm", "kworker/0:1\n");
  Link("proc/15/exe", "/tmp/x/ToDesk (deleted)");
  Write("proc/16/exe", "");
  Write("proc/16/cmdline", "");
  Write("proc/16/comm", "bash\n");
  MakeDir("proc/17");  // ended meanwhile
  Link("proc/self", "12");
  Write("proc/meminfo", "MemTotal: 1 kB\n");

  platform::TLinuxProcessTable table(Path("proc"));
  std::vector<std::string> names;
  table.ForEachProcess([&](std::string_view name) {
    names.emplace_back(name);
    return true;
  });
  EXPECT_THAT(names, UnorderedElementsAre("TeamViewer", "QQ", "kworker/0:1", "ToDesk", "bash"));

  int visits = 0;
  table.ForEachProcess([&](std::string_view) { return ++visits < 2; });
  EXPECT_EQ(visits, 2);
}

TEST(CheckThisMachineProcesses, TheTableHoldsThisProcess) {
  std::vector<std::string> names;
  platform::ProcessTable().ForEachProcess([&](std::string_view name) {
    names.emplace_back(name);
    return true;
  });
  EXPECT_THAT(names, Contains("platform_tests"));
}

}  // namespace
}  // namespace quorvex::testing
