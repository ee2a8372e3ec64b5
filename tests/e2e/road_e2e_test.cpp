// The road of one exam: from the launch link, through the checks, to the exam page in the
// embedded browser and out again, against the demo exam site.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QUrl>

#include <filesystem>

#include "demo/launch_link.h"
#include "tests/e2e/road.h"

namespace quorvex::e2e {
namespace {

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

TEST_F(Road, TheLaunchLinkOpensTheExamPageWithItsArguments) {
  auto demo = StartDemo();
  const std::string domain = "127.0.0.1:" + std::to_string(port_);
  auto client = StartClient(demo::SignedLaunchUrl("demo-1", domain, kArgs));
  ASSERT_TRUE(AnswerBoxesUntil(*client, [&] { return LogHas(LoadedLine(domain)); })) << Log();
  EXPECT_TRUE(LogHas("try to load exam url: " + ExamUrl(domain) + " []")) << Log();
  EXPECT_NE(
      client->Stderr().find("message box: Quorvex module: Please close all the other applications"),
      std::string::npos)
      << "the notice to close other applications came first";

  // The page as the engine shows it: its title in the caption, its report of what it saw.
  EXPECT_TRUE(WaitFor([&] { return !x_.FindWindows("^Demo exam demo-1$").empty(); }, 10s))
      << "the page title is the window's caption";
  ASSERT_TRUE(WaitFor([&] { return Reported("TvQdxBrowser"); }, 10s)) << Reports();
  EXPECT_TRUE(Reported("Chrome/81.0 TvQdxBrowser/8")) << Reports();
  EXPECT_FALSE(Reported("QtWebEngine")) << "the engine's own token is gone: " << Reports();
  EXPECT_TRUE(Reported("Demo Candidate")) << "the launch arguments reach the page";
}

bool SomethingListensOn(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return connected;
}

TEST_F(Road, ALaunchLinkCannotAddAnEngineSwitch) {
  auto demo = StartDemo();
  const std::string domain = "127.0.0.1:" + std::to_string(port_);
  const int debug_port = FreePort();
  // A signed link with an extra leading parameter whose raw text holds "domain=" and a switch.
  std::string url = demo::SignedLaunchUrl("demo-1", domain, kArgs);
  url.insert(url.find('?') + 1,
             "note=domain= --remote-debugging-port=" + std::to_string(debug_port) + "&");
  auto client = StartClient(url);
  ASSERT_TRUE(AnswerBoxesUntil(*client, [&] { return LogHas(LoadedLine(domain)); })) << Log();
  EXPECT_FALSE(SomethingListensOn(debug_port)) << "the engine took the switch";
  EXPECT_TRUE(LogHas("secure origin left out, not a plain scheme and host")) << Log();
}

TEST_F(Road, ASharedTmpdirOnlyHoldsThePrivateFolder) {
  const std::string folder = "/tmp/quorvex-" + std::to_string(getuid()) + "/";
  const std::string log = folder + "quorvex.00..log";
  const size_t before = ReadFile(log).size();
  const size_t shared_before = ReadFile("/tmp/quorvex.00..log").size();
  auto demo = StartDemo();
  auto client =
      StartClient(demo::SignedLaunchUrl("demo-1", "127.0.0.1:" + std::to_string(port_), kArgs),
                  {{"TMPDIR", "/tmp"}});
  ASSERT_TRUE(WaitFor(
      [&] {
        return ReadFile(log).find("-------------------------  start", before) != std::string::npos;
      },
      30s))
      << client->Stderr();
  struct stat st {};
  ASSERT_EQ(lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, getuid());
  EXPECT_EQ(ReadFile("/tmp/quorvex.00..log").size(), shared_before) << "a log in /tmp itself";
}

TEST_F(Road, TheExamWindowIsMaximizedAndThePageFillsIt) {
  std::unique_ptr<Process> demo;
  std::string exam;
  auto client = OpenExamPage(demo, exam);
  ASSERT_FALSE(exam.empty());
  EXPECT_TRUE(WaitFor([&] { return x_.Geometry(exam)[2] == 1280; }, 10s));
  EXPECT_TRUE(WaitFor([&] { return Reported("\"width\":1280"); }, 10s)) << Reports();
}

TEST_F(Road, ASecondLaunchLeavesTheFirstUntouched) {
  std::unique_ptr<Process> demo;
  std::string exam;
  auto client = OpenExamPage(demo, exam);
  ASSERT_FALSE(exam.empty());
  auto second =
      StartClient(demo::SignedLaunchUrl("demo-1", "127.0.0.1:" + std::to_string(port_), kArgs));
  ASSERT_TRUE(second->WaitExit(30s).has_value()) << "the second client keeps running";
  EXPECT_TRUE(LogHas("enter quorvexmodule fail, a instance is already started.")) << Log();
  EXPECT_TRUE(client->Running());
  EXPECT_EQ(x_.FindWindows("^Demo exam demo-1$"), std::vector<std::string>{exam});
  EXPECT_EQ(Count(Log(), "loaded url:"), 1u) << "the first page was not loaded again";
}

TEST_F(Road, ThePageBridgeAnswersAndItsCloseEndsTheProgram) {
  std::unique_ptr<Process> demo;
  std::string exam;
  auto client = OpenExamPage(demo, exam);
  ASSERT_FALSE(exam.empty());
  ASSERT_TRUE(WaitFor([&] { return Reported("\"version\":8"); }, 10s)) << Reports();
  EXPECT_TRUE(Reported("\"ornt\":729184")) << Reports();
  x_.PressKeys(exam, "Tab Tab Tab Return");  // "Finish exam"
  auto ended = client->WaitExit(20s);
  ASSERT_TRUE(ended.has_value()) << Log();
  EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 0) << *ended;
  EXPECT_TRUE(LogHas("crm received process message, try to exit")) << Log();
  EXPECT_EQ(Count(Log(), "close type is 1, closing"), 2u) << Log();
}

TEST_F(Road, APlainHttpExamSiteIsASecureContext) {
  // A name that is not loopback to the engine, so only the client's switch makes it secure.
  const std::string host = "demo.quorvex.test";
  if (Capture({"getent", "hosts", host}).find("127.0.0.1") == std::string::npos) {
    GTEST_SKIP() << host << " does not resolve to 127.0.0.1 (scripts/setup adds it)";
  }
  auto demo = StartDemo();
  auto client =
      StartClient(demo::SignedLaunchUrl("demo-1", host + ":" + std::to_string(port_), kArgs));
  EXPECT_TRUE(AnswerBoxesUntil(*client, [&] { return Reported("\"secure\":true"); }))
      << Reports() << Log();
}

TEST_F(Road, ALoadErrorShowsTheErrorPageAndRetryWorksOnceTheSiteIsBack) {
  port_ = FreePort();
  const std::string domain = "127.0.0.1:" + std::to_string(port_);
  auto client = StartClient(demo::SignedLaunchUrl("demo-1", domain, kArgs));
  ASSERT_TRUE(AnswerBoxesUntil(*client, [&] { return LogHas("loaded url:data:text/html"); }))
      << Log();
  std::string log = Log();
  std::string page =
      QUrl::fromPercentEncoding(QByteArray::fromStdString(log.substr(log.find("loaded url:data:"))))
          .toStdString();
  EXPECT_NE(page.find("<h1>The Exam Page Load Failed</h1>"), std::string::npos) << page;
  EXPECT_NE(page.find(">Retry</a>"), std::string::npos) << page;

  auto demo = StartDemo(port_);
  // Tab to the Retry link, Enter: as a person with a keyboard.
  // The check window is hidden by now: the exam window is the one window on the screen.
  auto exam = x_.FindWindows(".");
  ASSERT_EQ(exam.size(), 1u);
  x_.PressKeys(exam.back(), "Tab");
  x_.Type("Return");
  EXPECT_TRUE(WaitFor([&] { return LogHas(LoadedLine(domain)); }, 20s)) << Log();
}

TEST_F(Road, AForbiddenApplicationFailsTheChecksUntilItEnds) {
  // A program named after a listed screen recorder.
  const std::string recorder = out_.path() + "TeamViewer";
  std::filesystem::copy_file("/bin/sleep", recorder);
  auto forbidden = std::make_unique<Process>(std::vector<std::string>{recorder, "120"},
                                             std::map<std::string, std::string>{}, out_.path());
  auto demo = StartDemo();
  const std::string domain = "127.0.0.1:" + std::to_string(port_);
  auto client = StartClient(demo::SignedLaunchUrl("demo-1", domain, kArgs));
  ASSERT_TRUE(WaitFor(
      [&] {
        return client->Stderr().find(
                   "check failed: Please close Team View, Forbidden to record screen") !=
               std::string::npos;
      },
      30s))
      << client->Stderr().substr(0, 2000);
  auto windows = x_.FindWindows("^Quorvex module$");
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_FALSE(LogHas("loaded url:"));

  forbidden.reset();  // the candidate closes the recorder
  // Retry sits centred 328 px below the top of the window's client area.
  // The button is enabled just after the title shows: click again, as a person would, until
  // the checks pass.
  std::vector<int> g = x_.Geometry(windows[0]);
  EXPECT_TRUE(WaitFor(
      [&] {
        x_.Click(g[0] + g[2] / 2, g[1] + 328 + 24);
        return WaitFor([&] { return Count(client->Stderr(), "message box: ") > 0; }, 1s);
      },
      20s));
  EXPECT_TRUE(AnswerBoxesUntil(*client, [&] { return LogHas(LoadedLine(domain)); })) << Log();
}

TEST_F(Road, AnotherProcessReloadsOrClosesTheExamWindow) {
  std::unique_ptr<Process> demo;
  std::string exam;
  auto client = OpenExamPage(demo, exam);
  ASSERT_FALSE(exam.empty());
  auto send = [&](const std::string& command) { OnDisplay({QUORVEX_SEND_EXE, exam, command}); };

  send("reload");
  EXPECT_TRUE(WaitFor([&] { return Count(Log(), "loaded url:http") == 2; }, 20s)) << Log();
  send("nothing");
  // In exam mode too, where the window is a new X window.
  exam = EnterExamMode(exam);
  ASSERT_FALSE(exam.empty()) << Log();
  EXPECT_TRUE(LogHas("keyboard hook success, id:" + exam)) << Log();
  // And while the page waits on a dialog of its own, which goes with the page.
  x_.Type("Tab Tab Tab Return");  // "Ask before submitting"
  ASSERT_TRUE(WaitFor(
      [&] { return client->Stderr().find("input to: Javascript Confirm") != std::string::npos; },
      10s));
  send("close");
  auto ended = client->WaitExit(20s);
  ASSERT_TRUE(ended.has_value()) << Log();
  EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 0) << *ended;
  EXPECT_EQ(Count(Log(), "loaded url:http"), 2u);
  EXPECT_EQ(Count(Log(), "close type is 2, closing"), 2u) << Log();
}

}  // namespace
}  // namespace quorvex::e2e
