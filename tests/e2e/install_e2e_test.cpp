// `quorvex install` as an administrator or a candidate runs it, and the exam links that the
// desktop's openers then hand to the program.
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "demo/launch_link.h"
#include "tests/e2e/road.h"

namespace quorvex::e2e {
namespace {

namespace fs = std::filesystem;

class Install : public Road {
 protected:
  void SetUp() override {
    Road::SetUp();
    fs::create_directories(home_);
  }
  // A user of their own, on a desktop without an environment of its own (the shell-script
  // opener's generic road).
  std::map<std::string, std::string> UserEnv() {
    return ClientEnv({{"HOME", home_},
                      {"XDG_DATA_HOME", ""},
                      {"XDG_CONFIG_HOME", ""},
                      {"XDG_CURRENT_DESKTOP", ""}});
  }
  // Runs `install` from `executable`, checks its window and ends it with the button.
  void InstallFrom(const std::string& executable) {
    Process install({executable, "install"}, UserEnv(), out_.path());
    std::vector<std::string> window;
    ASSERT_TRUE(WaitFor(
        [&] { return !(window = x_.FindWindows("^Installed Successfully$")).empty(); }, 20s))
        << install.Stderr();
    const std::vector<int> g = x_.Geometry(window[0]);
    EXPECT_EQ(g[2], 654);
    EXPECT_EQ(g[3], 453);
    // Fixed size: the window manager is told the least and the most are the same.
    const std::string hints = OnDisplay({"xprop", "-id", window[0], "WM_NORMAL_HINTS"});
    EXPECT_NE(hints.find("minimum size: 654 by 453"), std::string::npos) << hints;
    EXPECT_NE(hints.find("maximum size: 654 by 453"), std::string::npos) << hints;
    x_.PressKeys(window[0], "Return");
    const auto status = install.WaitExit(10s);
    ASSERT_TRUE(status.has_value()) << "the window's button did not end the program";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << install.Stderr();
  }
  // Hands a signed link of the demo site to `opener` and answers the client's boxes until the
  // exam page is there.
  void OpenWith(const std::vector<std::string>& opener) {
    std::vector<std::string> argv = opener;
    argv.push_back(demo::SignedLaunchUrl("demo-1", "127.0.0.1:" + std::to_string(port_), kArgs));
    const size_t loads = Count(Log(), "loaded url:http");
    Process client(argv, UserEnv(), out_.path());
    EXPECT_TRUE(AnswerBoxesUntil(client, [&] { return Count(Log(), "loaded url:http") > loads; }))
        << client.Stderr() << Log();
    const auto windows = x_.FindWindows("^Demo exam demo-1$");
    ASSERT_EQ(windows.size(), 1u);
    OnDisplay({QUORVEX_SEND_EXE, windows[0], "close"});
    EXPECT_TRUE(WaitFor([&] { return x_.FindWindows("^Demo exam demo-1$").empty(); }, 20s));
    // The shell-script opener waits for the program, so the next one finds no client running.
    EXPECT_TRUE(client.WaitExit(20s).has_value());
  }

  const std::string home_ = out_.path() + "home";
  std::unique_ptr<Process> demo_;
};

TEST_F(Install, TheSuccessWindowEndsWithItsButtonAndTheOpenersStartTheExam) {
  demo_ = StartDemo();
  InstallFrom(QUORVEX_EXE);
  OpenWith({"xdg-open"});
  OpenWith({"gio", "open"});
}

TEST_F(Install, FromAFolderWithBlanksTheOpenersStillStartIt) {
  demo_ = StartDemo();
  const std::string folder = out_.path() + "My Programs/Quorvex (exam)";
  fs::create_directories(folder);
  fs::copy_file(QUORVEX_EXE, folder + "/quorvex");
  InstallFrom(folder + "/quorvex");
  OpenWith({"xdg-open"});
  OpenWith({"gio", "open"});
}

TEST_F(Install, AFailedRegistrationSaysSoInsteadOfTheWindow) {
  // Root may write anywhere, so the user's data folder is made impossible: under a file.
  std::ofstream(out_.path() + "a-file") << "x";
  auto env = UserEnv();
  env["XDG_DATA_HOME"] = out_.path() + "a-file/data";
  Process install({QUORVEX_EXE, "install"}, env, out_.path());
  std::vector<std::string> box;
  ASSERT_TRUE(WaitFor([&] { return !(box = x_.FindWindows("^Quorvex module$")).empty(); }, 20s))
      << install.Stderr();
  EXPECT_NE(install.Stderr().find("message box: Quorvex module: Register URL Protocal fail, please "
                                  "contact us at support@quorvex.com"),
            std::string::npos)
      << install.Stderr();
  EXPECT_TRUE(x_.FindWindows("^Installed Successfully$").empty());
  x_.PressKeys(box[0], "Return");
  const auto status = install.WaitExit(10s);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
}

}  // namespace
}  // namespace quorvex::e2e
