// From process start to the exam page loaded, beside a bare Qt WebEngine window loading the
// same page: time (split into the checks and the page load) and the memory of the whole
// process tree at that moment.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "demo/launch_link.h"
#include "tests/e2e/e2e_support.h"

using namespace quorvex::e2e;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Proportional set size of a process and all its descendants, in MiB: shared pages are
// split between the processes that share them, so the engine's helpers are not counted twice.
double TreePssMiB(pid_t root) {
  std::map<pid_t, pid_t> parent;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string stat = ReadFile(entry.path() / "stat");
    size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    char state;
    pid_t ppid;
    rest >> state >> ppid;
    parent[std::stoi(name)] = ppid;
  }
  double kib = 0;
  for (const auto& [pid, ppid] : parent) {
    pid_t p = pid;
    while (p > 1 && p != root) p = parent.count(p) ? parent[p] : 0;
    if (p != root) continue;
    std::istringstream in(ReadFile("/proc/" + std::to_string(pid) + "/smaps_rollup"));
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("Pss:", 0) == 0) kib += std::stod(line.substr(4));
    }
  }
  return kib / 1024;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct Sample {
  double total = 0, checks = 0, load = 0, boxes = 0, pss = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Milliseconds of the day of a log line's timestamp.
double LogMs(const std::string& log, const std::string& marker) {
  size_t at = log.find(marker);
  if (at == std::string::npos) return 0;
  size_t line = log.rfind('\n', at);
  line = line == std::string::npos ? 0 : line + 1;
  int h, m, s, ms;
  if (std::sscanf(log.c_str() + line + 11, "%d:%d:%d:%d", &h, &m, &s, &ms) != 4) return 0;
  return ((h * 60 + m) * 60 + s) * 1000.0 + ms;
}

const std::map<std::string, std::string> kEngineEnv = {
    {"QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox"}, {"LANG", "en_US.UTF-8"}};

// One temporary folder for every run, as on a candidate's machine, where the engine's cache
// and storage outlive a run.
Sample RunClient(XServer& x, const std::string& url, const ScratchDir& tmp) {
  ScratchDir out;
  std::filesystem::remove(tmp.path() + "quorvex.00..log");
  // This machine's own quirks are not what is measured.
  std::ofstream(tmp.path() + "rdp.qdx");
  auto env = kEngineEnv;
  env.insert({{"DISPLAY", x.display()},
              {"TMPDIR", tmp.path()},
              {"XDG_RUNTIME_DIR", tmp.path()},
              {"QUORVEX_DEBUG", "1"}});
  const auto start = Clock::now();
  Process client({QUORVEX_EXE, url}, env, out.path());
  Sample s;
  Clock::time_point first_box{}, boxes_done{};
  size_t answered = 0;
  WaitFor(
      [&] {
        std::string log = ReadFile(tmp.path() + "quorvex.00..log");
        if (log.find("loaded url:http") != std::string::npos) return true;
        size_t shown = Count(client.Stderr(), "message box: ");
        if (shown > answered) {
          if (answered == 0) first_box = Clock::now();
          std::this_thread::sleep_for(300ms);  // the box takes the focus when it maps
          x.Type("Return");
          ++answered;
          boxes_done = Clock::now();
        }
        return false;
      },
      60s);
  const auto loaded = Clock::now();
  s.pss = TreePssMiB(client.pid());
  const std::string log = ReadFile(tmp.path() + "quorvex.00..log");
  s.checks = Ms(first_box - start);
  s.load = LogMs(log, "loaded url:http") - LogMs(log, "try to load exam url");
  // The boxes wait for a person; that time is not the program's.
  s.boxes = Ms(boxes_done - first_box);
  s.total = Ms(loaded - start) - s.boxes;
  return s;
}

// `storage`: empty for the engine's in-memory default profile, else a folder for a profile
// that keeps cache and storage on disk as the client's does.
Sample RunBare(XServer& x, const std::string& page, const std::string& storage = "") {
  ScratchDir out;
  auto env = kEngineEnv;
  env.insert({"DISPLAY", x.display()});
  std::vector<std::string> argv = {BARE_EXE, page};
  if (!storage.empty()) argv.push_back(storage);
  const auto start = Clock::now();
  Process bare(argv, env, out.path());
  WaitFor([&] { return bare.Stdout().find("loaded url:") != std::string::npos; }, 60s);
  Sample s;
  s.total = Ms(Clock::now() - start);
  s.pss = TreePssMiB(bare.pid());
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  XServer x;
  x.StartWindowManager();
  ScratchDir site;
  Process demo({DEMO_SERVER_EXE, "--port", "0", "--report", site.path() + "reports"}, {},
               site.path());
  std::smatch m;
  std::string out;
  WaitFor(
      [&] {
        out = demo.Stdout();
        return std::regex_search(out, m, std::regex(R"(listening on 127\.0\.0\.1:(\d+))"));
      },
      10s);
  if (m.empty()) {
    std::fprintf(stderr, "demo server did not start\n");
    return 1;
  }
  const std::string domain = "127.0.0.1:" + m[1].str();
  const std::string args = "candidate=Demo Candidate&lang=en&paper=1";
  const std::string url = quorvex::demo::SignedLaunchUrl("demo-1", domain, args);
  const std::string page = "http://" + domain + "/doexam/demo-1.html?" + args;

  std::vector<double> total, checks, load, pss, bare_total, bare_pss, disk_total, disk_pss;
  ScratchDir tmp, bare_storage;
  RunClient(x, url, tmp);  // the first run of a machine sets the engine's storage up
  RunBare(x, page, bare_storage.path());
  for (int i = 0; i < runs; ++i) {
    // Alternate, so that both see the same machine.
    Sample b = RunBare(x, page);
    bare_total.push_back(b.total);
    bare_pss.push_back(b.pss);
    Sample d = RunBare(x, page, bare_storage.path());
    disk_total.push_back(d.total);
    disk_pss.push_back(d.pss);
    Sample c = RunClient(x, url, tmp);
    total.push_back(c.total);
    checks.push_back(c.checks);
    load.push_back(c.load);
    pss.push_back(c.pss);
  }
  std::printf(
      "%d runs each, medians; the client's time leaves out the seconds its message "
      "boxes wait for a person\n",
      runs);
  std::printf("%-40s %9s %9s %7s %12s %7s\n", "", "quorvex", "bare", "ratio", "bare+disk", "ratio");
  auto row = [](const char* what, double ours, double bare, double disk) {
    std::printf("%-40s %9.1f %9.1f %7.2f %12.1f %7.2f\n", what, ours, bare, ours / bare, disk,
                ours / disk);
  };
  row("process start to page loaded, ms", Median(total), Median(bare_total), Median(disk_total));
  std::printf("%-40s %9.0f\n", "  of which the checks, ms", Median(checks));
  std::printf("%-40s %9.0f\n", "  of which the page load, ms", Median(load));
  row("memory of the process tree (PSS), MiB", Median(pss), Median(bare_pss), Median(disk_pss));
  std::printf(
      "(bare: the engine's in-memory default profile; bare+disk: a profile with cache and "
      "storage on disk, as the client must keep them)\n");
  return 0;
}
