// The road of one exam: from the launch link, through the checks, to the exam page in the
// embedded browser, on a real X server with a window manager, against the demo exam site.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "common/text.h"
#include "demo/launch_link.h"
#include "exam/keyboard.h"
#include "tests/e2e/e2e_support.h"

namespace quorvex::e2e {
namespace {

const std::string kArgs = "candidate=Demo Candidate&lang=en&paper=1";

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

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class Road : public ::testing::Test {
 protected:
  void SetUp() override {
    x_.StartWindowManager();
    // Machine-dependent checks stay out of the road: this machine may itself be virtual or
    // reached over SSH. The check window's own tests cover them.
    std::ofstream(tmp_.path() + "vm.qdx");
    std::ofstream(tmp_.path() + "rdp.qdx");
  }

  std::unique_ptr<Process> StartDemo(int port = 0) {
    auto demo = std::make_unique<Process>(
        std::vector<std::string>{DEMO_SERVER_EXE, "--port", std::to_string(port), "--report",
                                 out_.path() + "reports.jsonl"},
        std::map<std::string, std::string>{}, out_.path());
    std::smatch m;
    std::string out;
    EXPECT_TRUE(WaitFor(
        [&] {
          out = demo->Stdout();
          return std::regex_search(out, m, std::regex(R"(listening on 127\.0\.0\.1:(\d+))"));
        },
        10s))
        << demo->Stderr();
    if (!m.empty()) port_ = std::stoi(m[1]);
    return demo;
  }

  std::unique_ptr<Process> StartClient(const std::string& url,
                                       std::map<std::string, std::string> env = {}) {
    env.insert({{"DISPLAY", x_.display()},
                {"TMPDIR", tmp_.path()},
                {"QUORVEX_DEBUG", "1"},
                {"LANG", "en_US.UTF-8"},
                {"LC_ALL", ""},
                {"LC_MESSAGES", ""},
                // What a root user on a virtual display needs; the client honours only these.
                {"QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu"}});
    return std::make_unique<Process>(std::vector<std::string>{QUORVEX_EXE, url}, env, out_.path());
  }

  std::string Log() { return ReadFile(tmp_.path() + "quorvex.00..log"); }

  // Answers every message box with Enter, as a person would, until `done` holds.
  bool AnswerBoxesUntil(Process& client, const std::function<bool()>& done,
                        std::chrono::milliseconds deadline = 60s) {
    size_t answered = 0;
    return WaitFor(
        [&] {
          if (done()) return true;
          size_t shown = Count(client.Stderr(), "message box: ");
          if (shown > answered) {
            std::this_thread::sleep_for(300ms);  // the box takes the focus when it maps
            x_.Type("Return");
            ++answered;
          }
          return false;
        },
        deadline);
  }

  bool LogHas(const std::string& text) { return Log().find(text) != std::string::npos; }

  // Serves the demo site, launches the client for it and answers its boxes until the exam
  // page has loaded; `exam_window` gets the exam window's id.
  std::unique_ptr<Process> OpenExamPage(std::unique_ptr<Process>& demo, std::string& exam_window) {
    demo = StartDemo();
    auto client =
        StartClient(demo::SignedLaunchUrl("demo-1", "127.0.0.1:" + std::to_string(port_), kArgs));
    EXPECT_TRUE(AnswerBoxesUntil(*client, [&] { return LogHas("loaded url:http"); })) << Log();
    auto windows = x_.FindWindows("^Demo exam demo-1$");
    EXPECT_EQ(windows.size(), 1u);
    if (!windows.empty()) exam_window = windows[0];
    return client;
  }

  // Presses the page's "Enter exam mode", its first control, and answers the exam window's id
  // once the keyboard is taken (a new X window in exam mode), or "" when that does not happen.
  std::string EnterExamMode(const std::string& exam_window) {
    x_.PressKeys(exam_window, "Tab Return");
    if (!WaitFor([&] { return LogHas("keyboard hook success, id:"); }, 10s)) return "";
    auto windows = x_.FindWindows("^Demo exam demo-1$");
    return windows.size() == 1 ? windows[0] : "";
  }

  std::string ExamUrl(const std::string& domain) {
    return "http://" + domain + "/doexam/demo-1.html?" + kArgs;
  }

  XServer x_;
  ScratchDir tmp_, out_;
  int port_ = 0;
};

TEST_F(Road, FromTheLaunchLinkToTheExamPage) {
  auto demo = StartDemo();
  const std::string domain = "127.0.0.1:" + std::to_string(port_);
  auto client = StartClient(demo::SignedLaunchUrl("demo-1", domain, kArgs));
  const std::string loaded =
      "loaded url:" + QUrl(QString::fromStdString(ExamUrl(domain))).toString().toStdString();
  ASSERT_TRUE(AnswerBoxesUntil(*client, [&] { return LogHas(loaded); })) << Log();
  EXPECT_TRUE(LogHas("try to load exam url: " + ExamUrl(domain) + " []")) << Log();
  EXPECT_TRUE(client->Stderr().find("message box: Quorvex module: Please close all the other "
                                    "applications") != std::string::npos);

  // The page as the engine shows it: its title in the caption, its report of what it saw.
  EXPECT_TRUE(WaitFor([&] { return !x_.FindWindows("^Demo exam demo-1$").empty(); }, 10s));
  std::string reports;
  ASSERT_TRUE(WaitFor(
      [&] {
        reports = ReadFile(out_.path() + "reports.jsonl");
        return reports.find("TvQdxBrowser") != std::string::npos;
      },
      10s));
  EXPECT_NE(reports.find("Chrome/81.0 TvQdxBrowser/8"), std::string::npos) << reports;
  EXPECT_EQ(reports.find("QtWebEngine"), std::string::npos) << reports;
  EXPECT_NE(reports.find("Demo Candidate"), std::string::npos) << reports;

  // Maximized, with the page filling the window as it grows.
  auto exam = x_.FindWindows("^Demo exam demo-1$");
  ASSERT_EQ(exam.size(), 1u);
  EXPECT_TRUE(WaitFor([&] { return x_.Geometry(exam[0])[2] == 1280; }, 10s));
  EXPECT_TRUE(WaitFor(
      [&] {
        return ReadFile(out_.path() + "reports.jsonl").find("\"width\":1280") != std::string::npos;
      },
      10s));

  // A second launch leaves the first untouched.
  auto second = StartClient(demo::SignedLaunchUrl("demo-1", domain, kArgs));
  auto status = second->WaitExit(30s);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(LogHas("enter quorvexmodule fail, a instance is already started."));
  EXPECT_TRUE(client->Running());
  EXPECT_EQ(x_.FindWindows("^Demo exam demo-1$"), exam);
  EXPECT_EQ(Count(Log(), "loaded url:"), 1u);

  // The page bridge: its values reach the page, and its Close ends the program.
  reports = ReadFile(out_.path() + "reports.jsonl");
  EXPECT_NE(reports.find("\"version\":8"), std::string::npos) << reports;
  EXPECT_NE(reports.find("\"ornt\":729184"), std::string::npos) << reports;
  x_.PressKeys(exam[0], "Tab Tab Tab Return");  // "Finish exam"
  auto ended = client->WaitExit(20s);
  ASSERT_TRUE(ended.has_value()) << Log();
  EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 0);
  EXPECT_TRUE(LogHas("crm received process message, try to exit"));
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
  std::string reports;
  EXPECT_TRUE(AnswerBoxesUntil(*client,
                               [&] {
                                 reports = ReadFile(out_.path() + "reports.jsonl");
                                 return reports.find("\"secure\":true") != std::string::npos;
                               }))
      << reports << Log();
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
  EXPECT_NE(page.find(">Retry</a>"), std::string::npos);

  auto demo = StartDemo(port_);
  // Tab to the Retry link, Enter: as a person with a keyboard.
  // The check window is hidden by now: the exam window is the one window on the screen.
  auto exam = x_.FindWindows(".");
  ASSERT_EQ(exam.size(), 1u);
  x_.PressKeys(exam.back(), "Tab");
  x_.Type("Return");
  const std::string loaded =
      "loaded url:" + QUrl(QString::fromStdString(ExamUrl(domain))).toString().toStdString();
  EXPECT_TRUE(WaitFor([&] { return LogHas(loaded); }, 20s)) << Log();
}

}  // namespace
}  // namespace quorvex::e2e

namespace quorvex::e2e {
namespace {

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
  const std::string loaded =
      "loaded url:" + QUrl(QString::fromStdString(ExamUrl(domain))).toString().toStdString();
  EXPECT_TRUE(AnswerBoxesUntil(*client, [&] { return LogHas(loaded); })) << Log();
}

}  // namespace
}  // namespace quorvex::e2e

namespace quorvex::e2e {
namespace {

TEST_F(Road, ExamModeCoversTheScreenAndKeepsEscapeFromThePage) {
  Process dock({DOCK_WINDOW_EXE}, {{"DISPLAY", x_.display()}}, out_.path());
  std::string dock_id;
  // The panel prints its window id once it is on the screen.
  ASSERT_TRUE(WaitFor(
      [&] {
        std::string out = dock.Stdout();
        dock_id = std::string(Trim(out));
        return out.ends_with("\n");
      },
      20s));
  auto map_state = [&] {
    std::string info = Capture({"xwininfo", "-id", dock_id}, {{"DISPLAY", x_.display()}});
    return info.find("IsViewable") != std::string::npos ? "viewable" : "hidden";
  };
  ASSERT_TRUE(WaitFor([&] { return std::string(map_state()) == "viewable"; }, 20s)) << dock_id;

  std::unique_ptr<Process> demo;
  std::vector<std::string> exam(1);
  auto client = OpenExamPage(demo, exam[0]);
  ASSERT_FALSE(exam[0].empty());

  const std::map<std::string, std::string> display = {{"DISPLAY", x_.display()}};
  exam[0] = EnterExamMode(exam[0]);
  ASSERT_FALSE(exam[0].empty()) << Log();
  EXPECT_TRUE(WaitFor(
      [&] {
        auto g = x_.Geometry(exam[0]);
        return g[0] == 0 && g[1] == 0 && g[2] == 1280 && g[3] == 1024;
      },
      10s));
  EXPECT_EQ(std::string(map_state()), "hidden");
  // The window manager's frame (left, right, top, bottom) of the exam window, which gets a
  // new X window each time its frame changes.
  auto frame = [&] {
    auto now = x_.FindWindows("^Demo exam demo-1$");
    if (now.size() != 1) return std::string();
    std::string prop = Capture({"xprop", "-id", now[0], "_NET_FRAME_EXTENTS"}, display);
    auto eq = prop.find(" = ");
    return eq == std::string::npos ? std::string() : std::string(Trim(prop.substr(eq + 3)));
  };
  EXPECT_TRUE(WaitFor([&] { return frame() == "0, 0, 0, 0"; }, 10s)) << frame();
  // Kept above the rest and off the taskbar by the window manager.
  std::string state;
  EXPECT_TRUE(WaitFor(
      [&] {
        state = Capture({"xprop", "-id", exam[0], "_NET_WM_STATE"}, display);
        return state.find("_NET_WM_STATE_ABOVE") != std::string::npos &&
               state.find("_NET_WM_STATE_SKIP_TASKBAR") != std::string::npos;
      },
      5s))
      << state;

  // Escape is kept from everyone, the page included; letters and Tab reach the page.
  x_.Type("Escape a Tab b");
  EXPECT_TRUE(WaitFor(
      [&] { return ReadFile(out_.path() + "reports.jsonl").find("\"b\"") != std::string::npos; },
      10s));
  std::string reports = ReadFile(out_.path() + "reports.jsonl");
  EXPECT_EQ(reports.find("Escape"), std::string::npos) << reports;
  EXPECT_NE(reports.find("\"a\""), std::string::npos) << reports;
  EXPECT_TRUE(LogHas("pressed vk:27, flag: 0")) << Log();
  EXPECT_TRUE(LogHas("pressed vk:65, flag: 128")) << Log();

  // Another window on the desktop: Alt+Tab does not switch to it, and a task manager that
  // opens is hidden within about half a second.
  Process other({"xmessage", "-title", "other window", "other"}, display, out_.path());
  Process task_manager({"xmessage", "-title", "Task Manage", "tasks"}, display, out_.path());
  // It may be hidden before this test ever sees it: wait until it exists, then until it is
  // not on the screen.
  EXPECT_TRUE(WaitFor(
      [&] {
        return !Trim(Capture({"xdotool", "search", "--name", "^Task Manage$"}, display)).empty();
      },
      20s));
  EXPECT_TRUE(WaitFor([&] { return x_.FindWindows("^Task Manage$").empty(); }, 5s));
  // Above the newer window, as the window manager stacks them.
  auto stacking = [&] {
    std::string ids = Capture({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}, display);
    std::vector<unsigned long> order;
    for (auto at = ids.find("0x"); at != std::string::npos; at = ids.find("0x", at + 2)) {
      order.push_back(std::stoul(ids.substr(at), nullptr, 16));
    }
    return order;
  };
  std::vector<std::string> others;
  ASSERT_TRUE(WaitFor(
      [&] {
        others = x_.FindWindows("^other window$");
        auto order = stacking();
        return others.size() == 1 &&
               std::count(order.begin(), order.end(), std::stoul(others[0])) == 1;
      },
      20s));
  EXPECT_EQ(stacking().back(), std::stoul(exam[0]));
  x_.Type("alt+Tab");
  std::string active;
  EXPECT_TRUE(WaitFor(
      [&] {
        active = std::string(Trim(Capture({"xdotool", "getactivewindow"}, display)));
        return active == exam[0];
      },
      5s))
      << active << " is active: " << Capture({"xdotool", "getwindowname", active}, display);

  // Nor the window manager's mouse bindings: Alt with the wheel would switch desktops away from
  // the exam. A click still reaches the page.
  auto desktop = [&] { return Capture({"xprop", "-root", "_NET_CURRENT_DESKTOP"}, display); };
  const std::string on_desktop = desktop();
  Capture({"xdotool", "mousemove", "640", "600", "keydown", "alt", "click", "5", "click", "5",
           "keyup", "alt"},
          display);
  Capture({"xdotool", "click", "1"}, display);
  EXPECT_TRUE(WaitFor(
      [&] {
        return ReadFile(out_.path() + "reports.jsonl").find("\"event\":\"click\"") !=
               std::string::npos;
      },
      10s));
  EXPECT_EQ(desktop(), on_desktop);

  // A dialog the page opens takes the keys and clicks while it is up, and Alt+Tab still goes
  // nowhere.
  x_.Type("Tab Tab Return");  // "Ask before submitting", two along from "Leave exam mode"
  ASSERT_TRUE(WaitFor(
      [&] { return client->Stderr().find("input to: Javascript Confirm") != std::string::npos; },
      10s));
  x_.Type("alt+Tab Return");
  EXPECT_TRUE(WaitFor(
      [&] {
        return ReadFile(out_.path() + "reports.jsonl").find("confirm:true") != std::string::npos;
      },
      10s));
  EXPECT_TRUE(x_.FindWindows("^Javascript Confirm").empty());
  x_.Type("shift+Tab shift+Tab");  // back to "Leave exam mode"

  // Alt+F4 in exam mode: the window manager never sees it.
  x_.Type("alt+F4");
  EXPECT_TRUE(WaitFor([&] { return LogHas("pressed vk:115, flag: 32"); }, 10s)) << Log();
  EXPECT_FALSE(LogHas("Clicked close query"));

  // The exit gesture made up by another program (the XTEST device, as xdotool types) never
  // counts, however often.
  if (kExitKey >= 0x70 && kExitKey <= 0x87) {
    // Alt held down throughout, the key released with Alt down each time.
    std::vector<std::string> gesture = {"xdotool", "keydown", "alt", "key"};
    for (int i = 0; i < kExitCount + 2; ++i) {
      gesture.push_back("F" + std::to_string(kExitKey - 0x6F));
    }
    gesture.insert(gesture.end(), {"keyup", "alt"});
    Capture(gesture, {{"DISPLAY", x_.display()}});
    const std::string injected = "pressed vk:" + std::to_string(kExitKey) + ", flag: 176";
    EXPECT_TRUE(
        WaitFor([&] { return Count(Log(), injected) == static_cast<size_t>(kExitCount + 2); }, 20s))
        << Log();
    EXPECT_FALSE(LogHas("shoutcut detected, try to exit"));
    EXPECT_TRUE(client->Running());
  }

  // A second monitor covers the page within about five seconds, and its going uncovers it.
  Capture({"xrandr", "--setmonitor", "second", "640/0x480/0+1280+0", "none"}, display);
  EXPECT_TRUE(WaitFor(
      [&] { return client->Stderr().find("screen warning shown") != std::string::npos; }, 12s));
  Capture({"xrandr", "--delmonitor", "second"}, display);
  EXPECT_TRUE(WaitFor(
      [&] { return client->Stderr().find("screen warning hidden") != std::string::npos; }, 12s));

  // Leaving exam mode gives the desktop back at once: the caption, the dock, and Escape for
  // the page.
  x_.Type("Return");  // "Leave exam mode", focused by the Tab above
  EXPECT_TRUE(WaitFor([&] { return std::string(map_state()) == "viewable"; }, 10s));
  EXPECT_TRUE(WaitFor([&] { return frame() != "0, 0, 0, 0" && !frame().empty(); }, 10s)) << frame();
  x_.Type("Escape");
  EXPECT_TRUE(WaitFor(
      [&] { return ReadFile(out_.path() + "reports.jsonl").find("Escape") != std::string::npos; },
      10s));

  // Outside exam mode the window manager's close is a close by the system.
  x_.Type("alt+F4");
  auto ended = client->WaitExit(20s);
  ASSERT_TRUE(ended.has_value()) << Log();
  std::string log = Log();
  EXPECT_LT(log.find("Clicked close query"), log.find("close type is 3, closing")) << log;
  EXPECT_EQ(Count(log, "close type is 3, closing"), 2u) << log;
}

}  // namespace
}  // namespace quorvex::e2e

namespace quorvex::e2e {
namespace {

TEST_F(Road, APageListWorksInExamModeAndGivesTheKeyboardBack) {
  std::unique_ptr<Process> demo;
  std::vector<std::string> exam(1);
  auto client = OpenExamPage(demo, exam[0]);
  ASSERT_FALSE(exam[0].empty());
  const std::map<std::string, std::string> display = {{"DISPLAY", x_.display()}};
  ASSERT_FALSE(EnterExamMode(exam[0]).empty()) << Log();

  // The list's place on the screen once the page fills it in exam mode.
  std::smatch at;
  static const std::regex kAt(R"("width":1280,"height":1024,.*"answerAt":\[(\d+),(\d+)\])");
  std::string reports;
  ASSERT_TRUE(WaitFor(
      [&] {
        reports = ReadFile(out_.path() + "reports.jsonl");
        return std::regex_search(reports, at, kAt);
      },
      10s))
      << reports;
  // The list opens over the page with the pointer and takes the keys while it is open.
  Capture({"xdotool", "mousemove", at[1].str(), at[2].str(), "click", "1"}, display);
  ASSERT_TRUE(WaitFor(
      [&] { return client->Stderr().find("input to: a popup") != std::string::npos; }, 10s));
  x_.Type("Down Return");
  EXPECT_TRUE(WaitFor(
      [&] { return ReadFile(out_.path() + "reports.jsonl").find("answer:B") != std::string::npos; },
      10s));
  // Closed, it gives the keys back to the exam: Alt+Tab comes to the exam window, not to the
  // window manager.
  EXPECT_TRUE(WaitFor(
      [&] {
        std::string err = client->Stderr();
        return err.find("input to: Demo exam", err.find("input to: a popup")) != std::string::npos;
      },
      10s))
      << client->Stderr();
  const size_t seen = Count(Log(), "pressed vk:9, flag: 32");
  x_.Type("alt+Tab");
  EXPECT_TRUE(WaitFor([&] { return Count(Log(), "pressed vk:9, flag: 32") == seen + 1; }, 10s));
}

TEST_F(Road, AnotherProcessReloadsOrClosesTheExamWindow) {
  std::unique_ptr<Process> demo;
  std::vector<std::string> exam(1);
  auto client = OpenExamPage(demo, exam[0]);
  ASSERT_FALSE(exam[0].empty());
  auto send = [&](const std::string& command) {
    Capture({QUORVEX_SEND_EXE, exam[0], command}, {{"DISPLAY", x_.display()}});
  };

  send("reload");
  EXPECT_TRUE(WaitFor([&] { return Count(Log(), "loaded url:http") == 2; }, 20s)) << Log();
  send("nothing");
  // In exam mode too, where the window is a new X window.
  exam[0] = EnterExamMode(exam[0]);
  ASSERT_FALSE(exam[0].empty()) << Log();
  EXPECT_TRUE(LogHas("keyboard hook success, id:" + exam[0])) << Log();
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
