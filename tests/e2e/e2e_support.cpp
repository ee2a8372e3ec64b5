#include "tests/e2e/e2e_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace quorvex::e2e {

namespace {

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& env) {
  std::map<std::string, std::string> all;
  for (char** e = environ; *e; ++e) {
    std::string kv = *e;
    size_t eq = kv.find('=');
    if (eq != std::string::npos) all[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  for (const auto& [k, v] : env) {
    if (v.empty()) {
      all.erase(k);
    } else {
      all[k] = v;
    }
  }
  std::vector<std::string> out;
  for (const auto& [k, v] : all) out.push_back(k + "=" + v);
  return out;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            const std::string& out, const std::string& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> merged = MergedEnvironment(env);
  std::vector<char*> envp;
  for (auto& e : merged) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

}  // namespace

Process::Process(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env, const std::string& output_dir) {
  static int counter = 0;
  std::string stem = output_dir + "proc" + std::to_string(++counter);
  out_ = stem + ".out";
  err_ = stem + ".err";
  pid_ = Spawn(argv, env, out_, err_);
}

Process::~Process() {
  if (Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool Process::Running() {
  if (status_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = status;
    return false;
  }
  return true;
}

std::optional<int> Process::WaitExit(std::chrono::milliseconds deadline) {
  WaitFor([&] { return !Running(); }, deadline);
  return status_;
}

std::string Capture(const std::vector<std::string>& argv,
                    const std::map<std::string, std::string>& env) {
  ScratchDir dir;
  Process p(argv, env, dir.path());
  p.WaitExit(30s);
  return p.Stdout();
}

std::unique_ptr<Process> StartDemoServer(const std::string& server_exe,
                                         const std::vector<std::string>& args,
                                         const std::string& dir, int& port) {
  std::vector<std::string> argv = {server_exe};
  argv.insert(argv.end(), args.begin(), args.end());
  auto server = std::make_unique<Process>(argv, std::map<std::string, std::string>{}, dir);
  static const std::regex announced(R"(listening on 127\.0\.0\.1:(\d+))");
  std::smatch m;
  std::string out;
  WaitFor(
      [&] {
        out = server->Stdout();
        return std::regex_search(out, m, announced);
      },
      10s);
  port = m.empty() ? 0 : std::stoi(m[1]);
  return server;
}

XServer::XServer(const std::vector<std::string>& extra_args) {
  // Xvfb picks a free display and writes its number to the descriptor we give it.
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  // -noreset: a server that resets when its last client leaves refuses connections meanwhile.
  std::vector<std::string> argv = {"Xvfb",     "-displayfd", std::to_string(fds[1]),
                                   "-noreset", "-nolisten",  "tcp",
                                   "-screen",  "0",          "1280x1024x24"};
  argv.insert(argv.end(), extra_args.begin(), extra_args.end());
  server_ = std::make_unique<Process>(argv, std::map<std::string, std::string>{}, dir_.path());
  close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  char c;
  while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start: " + server_->Stderr());
  display_ = ":" + number;
}

XServer::~XServer() {
  window_manager_.reset();
  if (server_ && server_->Running()) kill(server_->pid(), SIGTERM);
  if (server_) server_->WaitExit(5s);
}

std::vector<std::string> XServer::FindWindows(const std::string& name_regex) {
  std::string out = Capture({"xdotool", "search", "--onlyvisible", "--name", name_regex},
                            {{"DISPLAY", display_}});
  std::vector<std::string> ids;
  std::istringstream in(out);
  for (std::string id; in >> id;) ids.push_back(id);
  return ids;
}

void XServer::PressKeys(const std::string& window, const std::string& keys) {
  Capture({"xdotool", "windowfocus", "--sync", window}, {{"DISPLAY", display_}});
  Type(keys);
}

}  // namespace quorvex::e2e

namespace quorvex::e2e {

void XServer::StartWindowManager() {
  window_manager_ = std::make_unique<Process>(
      std::vector<std::string>{"openbox"},
      std::map<std::string, std::string>{{"DISPLAY", display_}}, dir_.path());
  WaitFor(
      [&] {
        return Capture({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, {{"DISPLAY", display_}})
                   .find("window id") != std::string::npos;
      },
      10s);
}

void XServer::Type(const std::string& keys) {
  std::vector<std::string> argv = {"xdotool", "key", "--clearmodifiers"};
  std::istringstream in(keys);
  for (std::string key; in >> key;) argv.push_back(key);
  Capture(argv, {{"DISPLAY", display_}});
}

void XServer::Click(int x, int y) {
  Capture({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"},
          {{"DISPLAY", display_}});
}

std::vector<int> XServer::Geometry(const std::string& window) {
  std::string out =
      Capture({"xdotool", "getwindowgeometry", "--shell", window}, {{"DISPLAY", display_}});
  std::vector<int> g;
  for (const char* key : {"X=", "Y=", "WIDTH=", "HEIGHT="}) {
    size_t at = out.find(key);
    g.push_back(at == std::string::npos ? 0 : std::atoi(out.c_str() + at + std::strlen(key)));
  }
  return g;
}

}  // namespace quorvex::e2e
