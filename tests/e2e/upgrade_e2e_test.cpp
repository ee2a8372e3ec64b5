// The exam page asking for an upgrade, as a candidate meets it: the exam leaves exam mode and
// the upgrade window comes up. The program's own download address is not reachable from the
// test machine, so the download fails here, and nothing may be started.
#include "common/text.h"
#include "tests/e2e/road.h"
#include "tests/support/elevation_standin.h"

namespace quorvex::e2e {
namespace {

class SelfUpgrade : public Road {};

TEST_F(SelfUpgrade, ThePageLeavesExamModeForTheWindowAndAFailedDownloadStartsNothing) {
  // On PATH before the client starts, which inherits it.
  testing::ElevationStandIn tool;
  std::unique_ptr<Process> demo;
  std::string window;
  auto client = OpenExamPage(demo, window);
  ASSERT_FALSE(window.empty());
  const std::string exam = EnterExamMode(window);
  ASSERT_FALSE(exam.empty()) << Log();

  ClickPage(exam, "upgrade");
  std::vector<std::string> upgrade;
  ASSERT_TRUE(WaitFor(
      [&] { return !(upgrade = x_.FindWindows("^Upgrade the Quorvex module$")).empty(); }, 10s))
      << client->Stderr();
  const std::vector<int> g = x_.Geometry(upgrade[0]);
  EXPECT_EQ(g[2], 642);
  EXPECT_EQ(g[3], 144);
  // Out of exam mode: the exam has its frame again and holds neither keyboard nor pointer.
  EXPECT_TRUE(WaitFor([&] { return FrameOf("^Demo exam demo-1$") != "0, 0, 0, 0"; }, 10s));
  EXPECT_TRUE(WaitFor(
      [&] {
        return std::string(Trim(OnDisplay({X_INTRUDER_EXE, "grabs"}))) !=
               "keyboard:held pointer:held";
      },
      10s));

  EXPECT_TRUE(WaitFor(
      [&] {
        return client->Stderr().find("upgrade download failed, nothing started") !=
               std::string::npos;
      },
      40s))
      << client->Stderr();
  EXPECT_EQ(ReadFile(tool.Record()), "") << "the elevation tool ran for a failed download";

  // Cancel: the window goes, the exam stays and takes the page's commands again.
  x_.PressKeys(upgrade[0], "Return");
  EXPECT_TRUE(WaitFor([&] { return x_.FindWindows("^Upgrade the Quorvex module$").empty(); }, 10s));
  const auto windows = x_.FindWindows("^Demo exam demo-1$");
  ASSERT_EQ(windows.size(), 1u);
  const size_t hooks = Count(Log(), "keyboard hook success");
  ClickPage(windows[0], "enter");
  EXPECT_TRUE(WaitFor([&] { return Count(Log(), "keyboard hook success") > hooks; }, 10s)) << Log();
}

}  // namespace
}  // namespace quorvex::e2e
