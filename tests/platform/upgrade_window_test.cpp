// The upgrade window with its download from the demo exam site and a stand-in for the
// desktop's elevation tool.
#include "maintenance/upgrade.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/e2e_support.h"
#include "tests/support/checks_fakes.h"
#include "tests/support/elevation_standin.h"
#include "tests/support/offscreen_app.h"
#include "tests/support/wait.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class UpgradeWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = e2e::StartDemoServer(DEMO_SERVER_EXE, {}, server_dir_.path(), port_);
    ASSERT_NE(port_, 0) << server_->Stderr();
  }
  std::unique_ptr<TFrmUpgrade> Open(const std::string& path) {
    auto form = std::make_unique<TFrmUpgrade>(testing::ShippedStrings("en-us"),
                                              "http://127.0.0.1:" + std::to_string(port_) + path,
                                              temp_.path(), nullptr);
    form->show();
    return form;
  }
  bool Installed(const std::string& target) {
    return testing::SpinUntil(
        [&] {
          return e2e::ReadFile(tool_.Record()) ==
                 "/usr/bin/apt-get install -y " + target + "\nended\n";
        },
        20s);
  }

  testing::OffscreenApp app_;
  testing::ElevationStandIn tool_;
  e2e::ScratchDir server_dir_, temp_;
  std::unique_ptr<e2e::Process> server_;
  int port_ = 0;
};

TEST_F(UpgradeWindow, TheBarReachesTheEndAndThePackageIsInstalled) {
  auto form = Open("/files/large/2000000");
  EXPECT_EQ(form->windowTitle().toStdString(), "Upgrade the Quorvex module");
  EXPECT_EQ(form->lblTip->text().toStdString(), "Downloading the upgrade module, please wait...");
  EXPECT_EQ(form->btnCancel->text().toStdString(), "Cancel");
  EXPECT_EQ(form->size(), QSize(642, 144));
  EXPECT_EQ(form->pb1->size(), QSize(545, 25));
  EXPECT_EQ(form->btnCancel->size(), QSize(113, 36));
  // tmpXXXXXX.tmp stays, empty; the package goes beside it under that name and ".deb".
  const std::string target = form->Target();
  ASSERT_TRUE(target.ends_with(".tmp.deb")) << target;
  const std::string tmp = target.substr(0, target.size() - 4);
  EXPECT_EQ(fs::path(tmp).parent_path(), fs::path(temp_.path()).parent_path());
  EXPECT_TRUE(testing::SpinUntil([&] { return form->pb1->value() == 100; }, 20s))
      << form->pb1->value();
  EXPECT_TRUE(Installed(target)) << e2e::ReadFile(tool_.Record());
  EXPECT_EQ(fs::file_size(target), 2000000u);
  EXPECT_TRUE(fs::exists(tmp));
  EXPECT_EQ(fs::file_size(tmp), 0u);
}

TEST_F(UpgradeWindow, CancelClosesTheWindowAndTheDownloadStillEndsInTheInstallation) {
  // About three seconds at 16 KiB a tenth of a second.
  auto form = Open("/files/paced/500000");
  ASSERT_TRUE(testing::SpinUntil([&] { return form->pb1->value() > 0; }, 20s));
  form->btnCancel->click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_LT(form->pb1->value(), 100);
  EXPECT_FALSE(fs::exists(tool_.Record())) << "started before the download ended";
  EXPECT_TRUE(Installed(form->Target())) << e2e::ReadFile(tool_.Record());
}

TEST_F(UpgradeWindow, AFailedDownloadStartsNothing) {
  auto form = Open("/files/none.deb");
  const std::string target = form->Target();
  // The failure is silent; the package's own file never appears, nor does the tool run, even
  // once a download of the same server that did succeed has ended.
  auto later = Open("/files/large/1000");
  EXPECT_TRUE(Installed(later->Target()));
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(e2e::ReadFile(tool_.Record()).find(target), std::string::npos);
}

}  // namespace
}  // namespace quorvex
