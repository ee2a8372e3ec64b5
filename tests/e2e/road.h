// The road of one exam as a test fixture: a real X server with a window manager, the demo exam
// site and the built client with a signed launch link, observed as a person would.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/e2e_support.h"

namespace quorvex::e2e {

// The demo page's launch arguments.
inline const std::string kArgs = "candidate=Demo Candidate&lang=en&paper=1";

size_t Count(const std::string& text, const std::string& what);

class Road : public ::testing::Test {
 protected:
  void SetUp() override;

  // Serves the demo site on `port` (0: any free one, kept in port_).
  std::unique_ptr<Process> StartDemo(int port = 0);
  std::unique_ptr<Process> StartClient(const std::string& url,
                                       std::map<std::string, std::string> env = {});
  // The environment the client runs in here: this test's display, folders and lock, debug
  // output; what `env` sets comes first.
  std::map<std::string, std::string> ClientEnv(std::map<std::string, std::string> env = {});

  std::string Log() { return ReadFile(tmp_.path() + "quorvex.00..log"); }
  bool LogHas(const std::string& text) { return Log().find(text) != std::string::npos; }
  // What the demo page reported so far.
  std::string Reports() { return ReadFile(out_.path() + "reports.jsonl"); }
  bool Reported(const std::string& text) { return Reports().find(text) != std::string::npos; }

  // Answers every message box with Enter, as a person would, until `done` holds.
  bool AnswerBoxesUntil(Process& client, const std::function<bool()>& done,
                        std::chrono::milliseconds deadline = 60s);

  // Serves the demo site, launches the client for it and answers its boxes until the exam
  // page has loaded; `exam_window` gets the exam window's id.
  std::unique_ptr<Process> OpenExamPage(std::unique_ptr<Process>& demo, std::string& exam_window,
                                        std::map<std::string, std::string> env = {});

  // Presses the page's "Enter exam mode", its first control, and answers the exam window's id
  // once the keyboard is taken (a new X window in exam mode), or "" when that does not happen.
  std::string EnterExamMode(const std::string& exam_window);

  std::string ExamUrl(const std::string& domain);
  // The log line of the exam page loaded from `domain`.
  std::string LoadedLine(const std::string& domain);

  // Runs an X client of the test's display to its end; its standard output.
  std::string OnDisplay(const std::vector<std::string>& argv);
  // The window manager's frame (left, right, top, bottom) of the one window named `name`.
  std::string FrameOf(const std::string& name);
  // Client windows from the bottom of the stack to the top.
  std::vector<unsigned long> Stacking();

  // The centre of the demo page's element `id` as the page last reported it, in the page's
  // (and the exam window's) coordinates; nullopt before it was reported.
  std::optional<std::pair<int, int>> PagePoint(const std::string& id);
  // Clicks the element `id` of the page in `window` with `button`, the keys in `held` down.
  void ClickPage(const std::string& window, const std::string& id, const std::string& button = "1",
                 const std::vector<std::string>& held = {});
  // How many windows that bypass the window manager (menus, lists) are on the screen; `seen`
  // gets their ids and places.
  int Popups(std::string* seen = nullptr);

  XServer x_;
  ScratchDir tmp_, out_;
  int port_ = 0;
};

}  // namespace quorvex::e2e
