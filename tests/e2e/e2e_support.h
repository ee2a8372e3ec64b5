// Running the built program as a person would: on its own X server, in a private temporary
// folder, watching its windows and log files.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"
#include "tests/support/wait.h"

namespace quorvex::e2e {

using namespace std::chrono_literals;

using testing::ReadFile;
using testing::ScratchDir;
using testing::WaitFor;

// A child process with its output captured in files.
class Process {
 public:
  Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          const std::string& output_dir);
  ~Process();

  bool Running();
  // The exit status once ended (as waitpid reports it); nullopt while running.
  std::optional<int> WaitExit(std::chrono::milliseconds deadline);
  std::string Stdout() const { return ReadFile(out_); }
  std::string Stderr() const { return ReadFile(err_); }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string out_, err_;
};

// Runs a command to its end and returns its standard output.
std::string Capture(const std::vector<std::string>& argv,
                    const std::map<std::string, std::string>& env = {});

// The demo exam site `server_exe` started with `args`, its output in `dir`, once it listens;
// `port` gets its port (0 when it did not say in time).
std::unique_ptr<Process> StartDemoServer(const std::string& server_exe,
                                         const std::vector<std::string>& args,
                                         const std::string& dir, int& port);

// An Xvfb server on a free display.
class XServer {
 public:
  explicit XServer(const std::vector<std::string>& extra_args = {});
  ~XServer();
  const std::string& display() const { return display_; }

  // Starts a window manager (openbox) and waits until it manages the screen.
  void StartWindowManager();

  // Ids of visible windows whose name matches the regular expression.
  std::vector<std::string> FindWindows(const std::string& name_regex);
  // Gives the window the keyboard focus and types `keys` as xdotool names them, separated by
  // blanks ("Tab Return").
  void PressKeys(const std::string& window, const std::string& keys);
  // Types `keys` into whatever window has the focus.
  void Type(const std::string& keys);
  // Clicks with the left button at a point of the screen.
  void Click(int x, int y);
  // The window's position and size on the screen: x, y, width, height.
  std::vector<int> Geometry(const std::string& window);

 private:
  std::unique_ptr<Process> server_;
  std::unique_ptr<Process> window_manager_;
  std::string display_;
  ScratchDir dir_;
};

}  // namespace quorvex::e2e
