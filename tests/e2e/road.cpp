#include "tests/e2e/road.h"

#include <QUrl>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "common/text.h"
#include "demo/launch_link.h"

namespace quorvex::e2e {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

void Road::SetUp() {
  x_.StartWindowManager();
  // Machine-dependent checks stay out of the road: this machine may itself be virtual or
  // reached over SSH. The check window's own tests cover them.
  std::ofstream(tmp_.path() + "vm.qdx");
  std::ofstream(tmp_.path() + "rdp.qdx");
}

std::unique_ptr<Process> Road::StartDemo(int port) {
  auto demo = StartDemoServer(
      DEMO_SERVER_EXE, {"--port", std::to_string(port), "--report", out_.path() + "reports.jsonl"},
      out_.path(), port_);
  EXPECT_NE(port_, 0) << demo->Stderr();
  return demo;
}

std::unique_ptr<Process> Road::StartClient(const std::string& url,
                                           std::map<std::string, std::string> env) {
  return std::make_unique<Process>(std::vector<std::string>{QUORVEX_EXE, url},
                                   ClientEnv(std::move(env)), out_.path());
}

std::map<std::string, std::string> Road::ClientEnv(std::map<std::string, std::string> env) {
  env.insert({{"DISPLAY", x_.display()},
              {"TMPDIR", tmp_.path()},
              // The lock of one client per user is this test's own.
              {"XDG_RUNTIME_DIR", tmp_.path()},
              {"QUORVEX_DEBUG", "1"},
              {"LANG", "en_US.UTF-8"},
              {"LC_ALL", ""},
              {"LC_MESSAGES", ""},
              // What a root user on a virtual display needs; the client honours only these.
              {"QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu"}});
  return env;
}

bool Road::AnswerBoxesUntil(Process& client, const std::function<bool()>& done,
                            std::chrono::milliseconds deadline) {
  auto last_press = std::chrono::steady_clock::now() - 1h;
  return WaitFor(
      [&] {
        if (done()) return true;
        if (Count(client.Stderr(), "message box: ") == 0) return false;
        // A box is a window of the application's title smaller than the check window; it is
        // answered with Enter, again if a slow machine had not given it the focus yet.
        if (std::chrono::steady_clock::now() - last_press < 1s) return false;
        for (const std::string& window : x_.FindWindows("^Quorvex module$")) {
          const std::vector<int> g = x_.Geometry(window);
          if (g.size() == 4 && g[2] < 1000) {
            x_.PressKeys(window, "Return");
            last_press = std::chrono::steady_clock::now();
          }
        }
        return false;
      },
      deadline);
}

std::unique_ptr<Process> Road::OpenExamPage(std::unique_ptr<Process>& demo,
                                            std::string& exam_window,
                                            std::map<std::string, std::string> env) {
  demo = StartDemo();
  auto client = StartClient(
      demo::SignedLaunchUrl("demo-1", "127.0.0.1:" + std::to_string(port_), kArgs), std::move(env));
  EXPECT_TRUE(AnswerBoxesUntil(*client, [&] { return LogHas("loaded url:http"); }))
      << Log() << client->Stderr();
  auto windows = x_.FindWindows("^Demo exam demo-1$");
  EXPECT_EQ(windows.size(), 1u);
  if (!windows.empty()) exam_window = windows[0];
  return client;
}

std::string Road::EnterExamMode(const std::string& exam_window) {
  x_.PressKeys(exam_window, "Tab Return");
  if (!WaitFor([&] { return LogHas("keyboard hook success, id:"); }, 10s)) return "";
  auto windows = x_.FindWindows("^Demo exam demo-1$");
  return windows.size() == 1 ? windows[0] : "";
}

std::string Road::ExamUrl(const std::string& domain) {
  return "http://" + domain + "/doexam/demo-1.html?" + kArgs;
}

std::string Road::LoadedLine(const std::string& domain) {
  return "loaded url:" + QUrl(QString::fromStdString(ExamUrl(domain))).toString().toStdString();
}

std::string Road::OnDisplay(const std::vector<std::string>& argv) {
  return Capture(argv, {{"DISPLAY", x_.display()}});
}

std::string Road::FrameOf(const std::string& name) {
  auto now = x_.FindWindows(name);
  if (now.size() != 1) return std::string();
  std::string prop = OnDisplay({"xprop", "-id", now[0], "_NET_FRAME_EXTENTS"});
  auto eq = prop.find(" = ");
  return eq == std::string::npos ? std::string() : std::string(Trim(prop.substr(eq + 3)));
}

std::vector<unsigned long> Road::Stacking() {
  std::string ids = OnDisplay({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"});
  std::vector<unsigned long> order;
  for (auto at = ids.find("0x"); at != std::string::npos; at = ids.find("0x", at + 2)) {
    order.push_back(std::stoul(ids.substr(at), nullptr, 16));
  }
  return order;
}

namespace {

// The newest report that places element `id`, with where it is and how wide the page was laid
// out then.
struct PlacedReport {
  std::pair<int, int> point;
  int width = 0;
};
std::optional<PlacedReport> NewestPlacement(const std::string& reports, const std::string& id) {
  const std::regex at("\"" + id + R"(":\[(\d+),(\d+)\])");
  static const std::regex kWidth(R"("width":(\d+))");
  std::optional<PlacedReport> last;
  std::istringstream lines(reports);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m, w;
    if (!std::regex_search(line, m, at)) continue;
    last = PlacedReport{{std::stoi(m[1]), std::stoi(m[2])},
                        std::regex_search(line, w, kWidth) ? std::stoi(w[1]) : 0};
  }
  return last;
}

}  // namespace

std::optional<std::pair<int, int>> Road::PagePoint(const std::string& id) {
  const auto placed = NewestPlacement(Reports(), id);
  if (!placed) return std::nullopt;
  return placed->point;
}

void Road::ClickPage(const std::string& window, const std::string& id, const std::string& button,
                     const std::vector<std::string>& held) {
  // A place reported before the window got its final size is stale: wait for the page to report
  // its layout at the window's width.
  std::optional<PlacedReport> placed;
  ASSERT_TRUE(WaitFor(
      [&] {
        placed = NewestPlacement(Reports(), id);
        return placed && placed->width == x_.Geometry(window)[2];
      },
      10s))
      << id << " laid out at " << (placed ? placed->width : 0) << " in a window "
      << x_.Geometry(window)[2] << " wide";
  std::vector<std::string> argv = {"xdotool",
                                   "mousemove",
                                   "--window",
                                   window,
                                   std::to_string(placed->point.first),
                                   std::to_string(placed->point.second)};
  for (const std::string& key : held) argv.insert(argv.end(), {"keydown", key});
  argv.insert(argv.end(), {"click", button});
  for (const std::string& key : held) argv.insert(argv.end(), {"keyup", key});
  OnDisplay(argv);
}

int Road::Popups(std::string* seen) {
  const std::string out = OnDisplay({X_INTRUDER_EXE, "popups"});
  if (seen) *seen = out;
  return std::atoi(out.c_str());
}

}  // namespace quorvex::e2e
