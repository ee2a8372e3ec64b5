// The pre-exam check window: the first window a candidate sees. It runs the blocking checks
// on a worker thread, reports the first failure with a retry button, and on a pass hands
// over to the exam window, which it owns while it stays hidden.
#pragma once

#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "checks/checkrun.h"
#include "checks/utils.h"

class QLabel;
class QMovie;
class QPushButton;

namespace quorvex {

class TFrmMain;
class TNwCheckLink;

struct TNwMainFormSetup {
  // Creates the exam window owned by `owner`, with `owner` as its main form; required.
  std::function<QWidget*(TFrmMain* owner)> CreateExamForm;
  // What the checks read and where the information boxes go; null: this machine. It must
  // outlive every check run, which may outlive the window.
  const TNwCheckEnv* Env = nullptr;
  // The application's monitor count, asked on the GUI thread; empty: its screen list.
  std::function<int()> MonitorCount;
  // How long destroying the window waits for a check run in progress. A run that takes
  // longer ends by itself later and never touches the window.
  std::chrono::milliseconds CloseWait{3000};
  // Called on the worker thread as the last act of every check run.
  std::function<void()> RunEnded;
};

class TFrmMain : public QWidget {
  Q_OBJECT

 public:
  // Lays the window out and starts the first check run before the window is first shown.
  explicit TFrmMain(TNwMainFormSetup setup, QWidget* parent = nullptr);
  ~TFrmMain() override;

  QLabel* lblTitle = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QLabel* Image1 = nullptr;
  QWidget* Panel1 = nullptr;

  // The exam window once the checks have passed; null until then.
  QWidget* ExamForm() const { return FExamForm; }

 protected:
  bool event(QEvent* e) override;

 private:
  void FormCreate();
  void BitBtn1Click();
  // Worker thread: the ordered checks; a failure's title is on the window when it returns
  // false. False also when the window has gone.
  static bool RunChecks(TNwCheckLink& link, TFrmMain* form, const TNwExamChecks& checks,
                        const INwI8n& strings);
  static void CheckWorker(std::shared_ptr<TNwCheckLink> link, TFrmMain* form, TNwExamChecks checks,
                          const INwI8n& strings, const TNwCheckEnv& env,
                          std::function<void()> run_ended);
  void ShowCheckMessage(const std::string& title);
  // Checking: the animation runs and the retry button waits; otherwise the failure shows.
  void SetChecking(bool checking);
  void ProceedToExam();

  TNwMainFormSetup FSetup;
  TNwCheckEnv FEnv;
  QMovie* FMovie = nullptr;
  QWidget* FExamForm = nullptr;
  std::shared_ptr<TNwCheckLink> FLink;
};

}  // namespace quorvex
