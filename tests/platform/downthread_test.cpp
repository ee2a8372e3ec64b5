// The upgrade's download against the demo exam site on loopback, and the elevated start of
// what it fetched with a stand-in for the desktop's elevation tool.
#include "maintenance/downthread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/elevation_standin.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;

// The demo site's /files/<kind>/<n>.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
  return bytes;
}

TEST(UpgradePercent, RoundsUpAndKnowsNothingWithoutASize) {
  const struct {
    int64_t done, size;
    std::optional<int> percent;
  } cases[] = {{0, 0, std::nullopt},
               {500, 0, std::nullopt},
               {0, 1000, 0},
               {1, 1000, 1},
               {10, 1000, 1},
               {999, 1000, 100},
               {1000, 1000, 100},
               {6, 7, 86},
               // Above 2 GiB the arithmetic stays in 64 bits.
               {int64_t{3} << 30, int64_t{4} << 30, 75}};
  for (const auto& c : cases) {
    EXPECT_EQ(UpgradePercent(c.done, c.size), c.percent) << c.done << "/" << c.size;
  }
}

class Upgrade : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = e2e::StartDemoServer(DEMO_SERVER_EXE, {}, server_dir_.path(), port_);
    ASSERT_NE(port_, 0) << server_->Stderr();
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // Downloads `path` to a new file and answers whether it was written; `percents` gets the
  // percentages handed to the window.
  bool Fetch(const std::string& path, std::vector<int>& percents) {
    auto seen = std::make_shared<std::pair<std::mutex, std::vector<int>>>();
    auto download = TDownThread::Create(Url(path), target_, [seen](int percent) {
      std::lock_guard lock(seen->first);
      seen->second.push_back(percent);
    });
    download->Start();
    const bool written = download->WaitFor();
    std::lock_guard lock(seen->first);
    percents = seen->second;
    return written;
  }
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(files_.path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  e2e::ScratchDir server_dir_, files_;
  std::unique_ptr<e2e::Process> server_;
  int port_ = 0;
  const std::string target_ = files_.path() + "tmpABCDEF.tmp.deb";
};

TEST_F(Upgrade, AKnownLengthClimbsTo100AndTheFileHasEveryByte) {
  std::vector<int> percents;
  ASSERT_TRUE(Fetch("/files/large/1000000", percents));
  EXPECT_EQ(e2e::ReadFile(target_), Pattern(1000000));
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 100);
  EXPECT_THAT(Files(), ElementsAre("tmpABCDEF.tmp.deb")) << "nothing left beside it";
}

TEST_F(Upgrade, WithoutALengthNothingIsShownAndTheFileIsSaved) {
  std::vector<int> percents;
  ASSERT_TRUE(Fetch("/files/chunked/300000", percents));
  EXPECT_EQ(e2e::ReadFile(target_), Pattern(300000));
  EXPECT_THAT(percents, ::testing::IsEmpty());
}

TEST_F(Upgrade, AnErrorOrARedirectLeavesNoFile) {
  for (const char* path : {"/files/none.deb", "/redirect/1/files/large/1000"}) {
    SCOPED_TRACE(path);
    std::vector<int> percents;
    EXPECT_FALSE(Fetch(path, percents));
    EXPECT_THAT(Files(), ::testing::IsEmpty());
  }
  // Nobody listens there.
  auto download = TDownThread::Create("http://127.0.0.1:9/quorvex.deb", target_, nullptr);
  download->Start();
  EXPECT_FALSE(download->WaitFor());
  EXPECT_THAT(Files(), ::testing::IsEmpty());
}

// What will run with the administrator's rights must come from a server that proves who it is.
TEST(UpgradeTls, AServerWhoseCertificateIsNotTrustedGivesNoFile) {
  e2e::ScratchDir dir;
  e2e::Capture({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj",
                "/CN=127.0.0.1", "-days", "1", "-keyout", dir.path() + "key.pem", "-out",
                dir.path() + "cert.pem"});
  e2e::Process server({"openssl", "s_server", "-cert", dir.path() + "cert.pem", "-key",
                       dir.path() + "key.pem", "-accept", "0", "-www"},
                      {}, dir.path());
  static const std::regex kAccept(R"(ACCEPT .*:(\d+))");
  std::smatch m;
  std::string out;
  ASSERT_TRUE(e2e::WaitFor(
      [&] {
        out = server.Stdout();
        return std::regex_search(out, m, kAccept);
      },
      10s))
      << server.Stderr();
  const std::string target = dir.path() + "tmpABCDEF.tmp.deb";
  auto download = TDownThread::Create("https://127.0.0.1:" + m[1].str() + "/", target, nullptr);
  download->Start();
  EXPECT_FALSE(download->WaitFor());
  EXPECT_FALSE(fs::exists(target));
  // It was the certificate: the server saw the client give up in the handshake.
  EXPECT_TRUE(e2e::WaitFor(
      [&] { return (server.Stdout() + server.Stderr()).find("alert") != std::string::npos; }, 5s))
      << server.Stdout() << server.Stderr();
}

TEST(NewTempFileName, EachCallGetsANewEmptyFileOfItsOwn) {
  e2e::ScratchDir dir;
  const std::string a = platform::NewTempFileName(dir.path(), "tmp");
  const std::string b = platform::NewTempFileName(dir.path(), "tmp");
  EXPECT_NE(a, b);
  for (const std::string& path : {a, b}) {
    EXPECT_THAT(fs::path(path).filename().string(), ::testing::MatchesRegex("tmp......\\.tmp"));
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(fs::file_size(path), 0u);
  }
  EXPECT_EQ(platform::NewTempFileName(dir.path() + "missing/", "tmp"), "");
}

class Elevation : public ::testing::Test {
 protected:
  testing::ElevationStandIn tool_;
  e2e::ScratchDir files_;
  const std::string& record_ = tool_.Record();
};

TEST_F(Elevation, APackageIsInstalledWithAptGetAndWaitedFor) {
  const std::string package = files_.path() + "tmpABCDEF.tmp.deb";
  std::ofstream(package) << "package";
  EXPECT_EQ(platform::RunElevatedAndWait(package, "", 1), 0);
  EXPECT_EQ(e2e::ReadFile(record_), "/usr/bin/apt-get install -y " + package + "\nended\n");
}

TEST_F(Elevation, NothingStartsWithoutTheFileOrTheTool) {
  EXPECT_EQ(platform::RunElevatedAndWait(files_.path() + "missing.deb", "", 1), -1);
  const std::string package = files_.path() + "there.deb";
  std::ofstream(package) << "package";
  setenv("PATH", files_.path().c_str(), 1);
  EXPECT_EQ(platform::RunElevatedAndWait(package, "", 1), -1);
  EXPECT_FALSE(fs::exists(record_));
}

}  // namespace
}  // namespace quorvex
