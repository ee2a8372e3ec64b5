// One FindRunningProcess pass for the shipped forbidden-application list over the real /proc,
// against `pgrep -x -i` for the same names, in one run. 200 extra sleep processes make a
// table of the size a desktop has. Both walk the whole table in each scenario: nothing
// listed runs, or a listed name runs as the newest process (last in /proc's order). pgrep's
// figure is what running it costs: start, scan, exit; its start alone (`pgrep --version`) is
// printed too, so that the scans can be compared. Medians of interleaved runs.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "checks/utils.h"
#include "common/language.h"
#include "common/text.h"
#include "platform/hardware.h"
#include "platform/processes.h"
#include "platform/session.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kRuns = 101;
constexpr int kExtraProcesses = 200;

// The English string table as it ships.
const quorvex::TNwI18n& ShippedStrings() {
  static const quorvex::TNwI18n strings = [] {
    const fs::path ini = fs::path(__FILE__).parent_path().parent_path() / "resources/LANGUAGEINI";
    std::ifstream in(ini, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return quorvex::TNwI18n(text.str(), "en-us");
  }();
  return strings;
}

// This machine, without debug output.
const quorvex::TNwCheckEnv& Env() {
  static const quorvex::TNwCheckEnv env{
      .MarkerPresent = nullptr,
      .Session = quorvex::platform::SessionInfo(),
      .Machine = quorvex::platform::MachineInfo(),
      .Processes = quorvex::platform::ProcessTable(),
      .Log = quorvex::GlobalLogWriter(),
      .Strings = ShippedStrings(),
      .Debug = nullptr,
      .ShowInformation = nullptr,
  };
  return env;
}

// The process names of the table: "todesk", "dingtalk", ...
std::vector<std::string> Names(const std::string& table) {
  std::vector<std::string> names;
  for (std::string_view entry : quorvex::SplitString(table, ';')) {
    auto parts = quorvex::SplitString(entry, '=');
    if (parts.size() >= 2) names.emplace_back(quorvex::Trim(quorvex::LowerText(parts[0])));
  }
  return names;
}

pid_t Spawn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  // pgrep warns about patterns longer than a kernel process name, though it matches them.
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

class Children {
 public:
  ~Children() {
    for (pid_t pid : pids_) kill(pid, SIGKILL);
    for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
  }
  void Start(const std::vector<std::string>& argv) { pids_.push_back(Spawn(argv)); }

 private:
  std::vector<pid_t> pids_;
};

double Micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

size_t ProcessCount() {
  size_t n = 0;
  quorvex::platform::ProcessTable().ForEachProcess([&](std::string_view) {
    ++n;
    return true;
  });
  return n;
}

double RunPgrep(const std::vector<std::string>& argv, int* status) {
  const auto start = Clock::now();
  waitpid(Spawn(argv), status, 0);
  return Micros(Clock::now() - start);
}

void Scenario(const char* title, const std::string& list, const std::string& pattern,
              bool expect_found) {
  std::vector<double> ours, pgrep, pgrep_start;
  for (int run = 0; run < kRuns; ++run) {
    std::string matched;
    auto start = Clock::now();
    const bool found = quorvex::FindRunningProcess(list, matched, Env());
    ours.push_back(Micros(Clock::now() - start));

    int status = 0, ignored = 0;
    pgrep.push_back(RunPgrep({"pgrep", "-x", "-i", pattern}, &status));
    pgrep_start.push_back(RunPgrep({"pgrep", "--version"}, &ignored));

    const bool pgrep_found = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (found != expect_found || pgrep_found != expect_found) {
      throw std::runtime_error(std::string(title) + ": the two searches disagree");
    }
  }
  const double a = Median(ours), b = Median(pgrep), c = Median(pgrep_start);
  std::printf(
      "%s\n  FindRunningProcess %8.1f us\n  pgrep -x           %8.1f us  (%.1fx ours)\n"
      "  of which start    %8.1f us; scan about %.1f us (%.1fx ours)\n",
      title, a, b, b / a, c, b - c, (b - c) / a);
}

}  // namespace

int main() {
  try {
    const std::string table = ShippedStrings().i18n("banAPP");
    if (table == "banAPP") throw std::runtime_error("the shipped table has no banAPP");
    const std::vector<std::string> names = Names(table);
    std::string list, pattern;
    for (const std::string& name : names) {
      list += (list.empty() ? "" : ",") + name + ".exe";
      // The same names, with or without ".exe", as whole names in any case.
      pattern += (pattern.empty() ? "" : "|") + name + "(\\.exe)?";
    }

    Children children;
    for (int i = 0; i < kExtraProcesses; ++i) children.Start({"sleep", "600"});

    // Warm the caches once for both.
    std::string matched;
    quorvex::FindRunningProcess(list, matched, Env());
    int ignored = 0;
    RunPgrep({"pgrep", "-x", "-i", pattern}, &ignored);

    std::printf("%zu names, %zu processes, median of %d runs each\n", names.size(), ProcessCount(),
                kRuns);
    Scenario("Nothing listed is running:", list, pattern, false);

    // The newest process comes last in /proc, so both still walk the whole table.
    const fs::path dir = fs::temp_directory_path() / ("quorvex-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::copy_file("/bin/sleep", dir / "TeamViewer", fs::copy_options::overwrite_existing);
    children.Start({(dir / "TeamViewer").string(), "600"});
    Scenario("TeamViewer running as the newest process:", list, pattern, true);
    fs::remove_all(dir);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "process_bench: %s\n", e.what());
    return 1;
  }
}
