#include <QApplication>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QThread>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "checks/checkrun.h"
#include "checks/mainform.h"
#include "common/application.h"
#include "tests/support/checks_fakes.h"
#include "tests/support/wait.h"

namespace quorvex::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const char* const kTip =
    "Only allowed to doing exam on a real machine ( not virtual machine ), with one screen, and "
    "not under remote control, such as RDP,  teamviewer.";
const char* const kNotice =
    "Please close all the other applications (include the antivirus software ) to ensure the "
    "exam perform normally";

// A process table whose walk can be held at its start, to keep a run in progress.
class GatedProcesses : public platform::IProcessTable {
 public:
  std::vector<std::string> Names;  // changed only while no run is in progress
  std::atomic<int> Walks{0};

  void Hold() {
    std::lock_guard lock(FLock);
    FHeld = true;
  }
  void Release() {
    std::lock_guard lock(FLock);
    FHeld = false;
    FChanged.notify_all();
  }
  bool WaitForWalks(int walks, std::chrono::milliseconds deadline) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, deadline, [&] { return Walks >= walks; });
  }

  void ForEachProcess(const std::function<bool(std::string_view)>& visit) override {
    {
      std::unique_lock lock(FLock);
      ++Walks;
      FChanged.notify_all();
      FChanged.wait(lock, [this] { return !FHeld; });
    }
    for (const std::string& name : Names) {
      if (!visit(name)) return;
    }
  }

 private:
  std::mutex FLock;
  std::condition_variable FChanged;
  bool FHeld = false;
};

// What ProceedToExam creates in place of the browser window.
class FakeExam : public QWidget {
 public:
  explicit FakeExam(QWidget* owner) : QWidget(owner, Qt::Window) {}
  QWidget* mainForm = nullptr;
};

// Counts the times a widget is shown and keeps the title it saw then.
class ShowWatcher : public QObject {
 public:
  ShowWatcher(QWidget* watched, QLabel* title) : FTitle(title) {
    watched->installEventFilter(this);
  }
  int Shown = 0;
  QString TitleWhenShown;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Show) {
      ++Shown;
      TitleWhenShown = FTitle->text();
    }
    return false;
  }

 private:
  QLabel* FTitle;
};

struct OffscreenPlatform {
  OffscreenPlatform() { qputenv("QT_QPA_PLATFORM", "offscreen"); }
};

class MainForm : public ::testing::Test {
 protected:
  MainForm() { SetApplicationTitle("Quorvex exam"); }

  ~MainForm() override {
    delete form_;
    // The fakes die with the fixture; every run must be over by then.
    EXPECT_TRUE(WaitForRunsEnded(runs_started_));
  }

  // Builds the window; its first run starts at once.
  TFrmMain* Open(std::chrono::milliseconds close_wait = 3s) {
    TNwMainFormSetup setup;
    setup.CreateExamForm = [this](TFrmMain* owner) {
      log_.push_back(std::string("create, check window ") +
                     (owner->isVisible() ? "visible" : "hidden"));
      created_ = new FakeExam(owner);
      created_->mainForm = owner;
      return created_;
    };
    setup.Env = &env_;
    setup.MonitorCount = [this] {
      ++runs_started_;
      if (QThread::currentThread() != app_.thread()) log_.push_back("screens read off the GUI");
      return monitors_;
    };
    setup.CloseWait = close_wait;
    setup.RunEnded = [this] {
      std::lock_guard lock(ended_lock_);
      ++runs_ended_;
      ended_.notify_all();
    };
    form_ = new TFrmMain(std::move(setup));
    return form_;
  }

  bool WaitFailed() {
    return SpinUntil([this] { return form_->BitBtn1->isEnabled(); });
  }
  bool WaitForRunsEnded(int runs) {
    std::unique_lock lock(ended_lock_);
    return ended_.wait_for(lock, 10s, [&] { return runs_ended_ >= runs; });
  }

  void ExpectFailedWith(const std::string& title) {
    EXPECT_EQ(form_->lblTitle->text().toStdString(), title);
    EXPECT_EQ(form_->Label2->text().toStdString(), kTip);
    EXPECT_FALSE(form_->Panel1->isHidden());
    EXPECT_TRUE(form_->Image1->isHidden());
    EXPECT_TRUE(form_->BitBtn1->isEnabled());
    for (QWidget* w : {static_cast<QWidget*>(form_->lblTitle), static_cast<QWidget*>(form_->Label2),
                       static_cast<QWidget*>(form_->BitBtn1)}) {
      EXPECT_GT(w->width(), 0) << w->objectName().toStdString();
      EXPECT_EQ(w->x(), CentredOffset(1113, w->width())) << w->objectName().toStdString();
    }
    EXPECT_EQ(form_->lblTitle->width(), form_->lblTitle->sizeHint().width());
    EXPECT_EQ(form_->Label2->width(), form_->Label2->sizeHint().width());
    EXPECT_EQ(form_->lblTitle->y(), 136);
    EXPECT_EQ(form_->Label2->y(), 200);
    EXPECT_EQ(form_->BitBtn1->geometry(), QRect(472, 328, 169, 49));
  }

  void ExpectChecking() {
    EXPECT_FALSE(form_->Image1->isHidden());
    EXPECT_EQ(form_->Image1->movie()->state(), QMovie::Running);
    EXPECT_TRUE(form_->Panel1->isHidden());
    EXPECT_FALSE(form_->BitBtn1->isEnabled());
  }

  OffscreenPlatform platform_;
  int argc_ = 1;
  char arg0_[11] = "unit_tests";
  char* argv_[2] = {arg0_, nullptr};
  QApplication app_{argc_, argv_};

  FakeMachineRoom room_;
  GatedProcesses processes_;
  int monitors_ = 1;
  // Boxes, the exam window's creation and anything out of place, in order.
  std::vector<std::string> log_;
  FakeExam* created_ = nullptr;
  TNwCheckEnv env_{
      .MarkerPresent = nullptr,
      .Session = room_.Session,
      .Machine = room_.Machine,
      .Processes = processes_,
      .Log = room_.Log,
      .Strings = ShippedStrings("en-us"),
      .Debug = nullptr,
      .ShowInformation =
          [this](const std::string& caption, const std::string& text) {
            const std::string kind =
                text == kNotice ? "notice"
                : text.starts_with("In order to ensure exam performs normally, please change")
                    ? "advisory"
                    : text;
            log_.push_back(kind + " (" + caption + "), check window " +
                           (form_->isVisible() ? "visible" : "hidden") +
                           (created_ ? ", exam exists" : ""));
          },
  };

  std::mutex ended_lock_;
  std::condition_variable ended_;
  int runs_ended_ = 0;
  int runs_started_ = 0;
  TFrmMain* form_ = nullptr;
};

TEST_F(MainForm, LaysOutAndStartsCheckingBeforeItIsShown) {
  processes_.Hold();
  Open();
  ASSERT_TRUE(processes_.WaitForWalks(1, 10s));
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(runs_started_, 1);

  EXPECT_EQ(form_->windowTitle(), "Quorvex module");
  EXPECT_EQ(form_->BitBtn1->text(), "Retry");
  EXPECT_EQ(form_->minimumSize(), QSize(1113, 704));
  EXPECT_EQ(form_->maximumSize(), QSize(1113, 704));
  const Qt::WindowFlags flags = form_->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(form_->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(form_->font().family(), "Tahoma");
  EXPECT_EQ(form_->font().pointSize(), 8);
  const QFont title = form_->lblTitle->font();
  EXPECT_EQ(title.families().value(0), "微软雅黑");
  EXPECT_EQ(title.pixelSize(), 32);
  EXPECT_TRUE(title.bold());

  EXPECT_EQ(form_->Panel1->geometry(), QRect(0, 0, 1113, 704));
  EXPECT_EQ(form_->Image1->parentWidget(), form_);
  EXPECT_EQ(form_->Image1->geometry(), QRect(456, 256, 202, 193));
  ASSERT_NE(form_->Image1->movie(), nullptr);
  EXPECT_TRUE(form_->Image1->movie()->isValid());
  EXPECT_GT(form_->Image1->movie()->frameCount(), 1);
  EXPECT_EQ(form_->Image1->movie()->frameRect().size(), QSize(202, 193));
  EXPECT_EQ(form_->Label2->text().toStdString(), kTip);
  EXPECT_EQ(form_->Label2->x(), CentredOffset(1113, form_->Label2->width()));
  ExpectChecking();

  processes_.Release();
  ASSERT_TRUE(SpinUntil([this] { return form_->ExamForm() != nullptr; }));
  EXPECT_EQ(log_, (std::vector<std::string>{"notice (Quorvex exam), check window hidden",
                                            "create, check window hidden"}));
}

TEST_F(MainForm, EachFailureShowsItsTitleWithTheSameTipAndRetry) {
  struct Case {
    const char* title;
    std::function<void()> arrange;
  };
  for (const Case& c : {
           Case{kBanTitle, [this] { processes_.Names = {"TeamViewer"}; }},
           Case{kScreenTitle, [this] { monitors_ = 2; }},
           Case{kScreenTitle, [this] { room_.Session.Remote = true; }},
           Case{kVmTitle, [this] { room_.Machine.Video = {"VirtualBox Graphics"}; }},
           Case{kChatTitle, [this] { processes_.Names = {"WeChat.exe"}; }},
           Case{kUnlockableTitle, [this] { room_.Session.Wayland = true; }},
       }) {
    SCOPED_TRACE(c.title);
    processes_.Names.clear();
    monitors_ = 1;
    room_.Session.Remote = false;
    room_.Session.Wayland = false;
    room_.Machine.Video.clear();
    c.arrange();
    Open();
    form_->show();
    ShowWatcher panel(form_->Panel1, form_->lblTitle);
    ASSERT_TRUE(WaitFailed());
    ExpectFailedWith(c.title);
    EXPECT_EQ(form_->Image1->movie()->state(), QMovie::Paused);
    EXPECT_EQ(panel.Shown, 1);
    EXPECT_EQ(panel.TitleWhenShown.toStdString(), c.title);
    const QRect title = form_->lblTitle->geometry();
    EXPECT_TRUE(title.left() >= 0 && title.right() < form_->width()) << "the title runs off";
    EXPECT_EQ(log_, std::vector<std::string>{});
    EXPECT_EQ(form_->ExamForm(), nullptr);
    delete form_;
    form_ = nullptr;
  }
}

TEST_F(MainForm, RetryRunsAllFourFromTheFirstAgain) {
  processes_.Names = {"bash", "TeamViewer", "QQ.exe"};
  monitors_ = 2;
  room_.Machine.Video = {"VMware SVGA II Adapter"};
  Open();
  form_->show();
  ShowWatcher panel(form_->Panel1, form_->lblTitle);
  ASSERT_TRUE(WaitFailed());
  ExpectFailedWith(kBanTitle);

  // Each step removes the cause just reported; the next one in order shows.
  struct Step {
    std::function<void()> change;
    const char* title;
  };
  for (const Step& s : {
           Step{[&] {
                  processes_.Names = {"bash", "QQ.exe"};
                },
                kScreenTitle},
           // The forbidden application is back: the run starts over at the first check.
           Step{[&] {
                  processes_.Names = {"TeamViewer", "QQ.exe"}, monitors_ = 1;
                },
                kBanTitle},
           Step{[&] { processes_.Names = {"QQ.exe"}; }, kVmTitle},
           Step{[&] { room_.Machine.Video.clear(); }, kChatTitle},
       }) {
    SCOPED_TRACE(s.title);
    s.change();
    const int walks = processes_.Walks;
    form_->BitBtn1->click();
    ExpectChecking();
    ASSERT_TRUE(WaitFailed());
    ExpectFailedWith(s.title);
    EXPECT_GT(processes_.Walks, walks);
    EXPECT_EQ(panel.TitleWhenShown.toStdString(), s.title);
  }
  EXPECT_EQ(runs_started_, 5);

  processes_.Names.clear();
  const int shown = panel.Shown;
  form_->BitBtn1->click();
  ASSERT_TRUE(SpinUntil([this] { return form_->ExamForm() != nullptr; }));
  EXPECT_EQ(panel.Shown, shown);
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(MainForm, APassShowsTheBoxesThenHidesThenOpensTheExamWindow) {
  struct Case {
    int cpus;
    uint64_t memory;
    std::vector<std::string> log;
  };
  const std::string notice = "notice (Quorvex exam), check window visible";
  const std::string advisory = "advisory (Quorvex exam), check window visible";
  for (const Case& c : {
           Case{8, 16ull << 30, {notice, "create, check window hidden"}},
           Case{2, 16ull << 30, {advisory, notice, "create, check window hidden"}},
           Case{4, 3ull << 30, {advisory, notice, "create, check window hidden"}},
       }) {
    SCOPED_TRACE(c.cpus);
    room_.Machine.Cpus = c.cpus;
    room_.Machine.Memory = c.memory;
    log_.clear();
    created_ = nullptr;
    Open();
    form_->show();
    ShowWatcher panel(form_->Panel1, form_->lblTitle);
    ASSERT_TRUE(SpinUntil([this] { return form_->ExamForm() != nullptr; }));
    EXPECT_EQ(log_, c.log);
    EXPECT_EQ(form_->ExamForm(), created_);
    EXPECT_EQ(created_->mainForm, form_);
    EXPECT_EQ(created_->parentWidget(), form_);
    EXPECT_TRUE(created_->isVisible());
    EXPECT_FALSE(created_->isModal());
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(panel.Shown, 0);
    EXPECT_TRUE(form_->lblTitle->text().isEmpty());
    delete form_;
    form_ = nullptr;
  }
}

TEST_F(MainForm, DestroyedDuringASlowCheckTheRunEndsWithoutTouchingIt) {
  // A clean machine: only abandoning the run keeps the later checks from running.
  processes_.Hold();
  Open(50ms);
  ASSERT_TRUE(processes_.WaitForWalks(1, 10s));
  delete form_;
  form_ = nullptr;
  processes_.Release();
  ASSERT_TRUE(WaitForRunsEnded(1));
  // Nothing after the check in progress: no other check, no box, no exam window.
  EXPECT_EQ(processes_.Walks, 1);
  EXPECT_EQ(room_.Session.Calls, 0);
  EXPECT_EQ(room_.Machine.Queries, 0);
  EXPECT_EQ(log_, std::vector<std::string>{});
  EXPECT_EQ(created_, nullptr);
  EXPECT_EQ(room_.Log.Lines,
            std::vector<std::string>{"INFO check thread still running at close, result dropped"});
}

TEST_F(MainForm, DestroyedWhileThePassWaitsForTheWindowTheCallIsDropped) {
  Open(10s);
  // The last check has begun; the pass is about to be handed over or already waits.
  ASSERT_TRUE(processes_.WaitForWalks(2, 10s));
  const auto start = Clock::now();
  delete form_;
  form_ = nullptr;
  EXPECT_LT(Clock::now() - start, 5s);
  ASSERT_TRUE(WaitForRunsEnded(1));
  EXPECT_EQ(log_, std::vector<std::string>{});
  EXPECT_EQ(created_, nullptr);
}

}  // namespace
}  // namespace quorvex::testing
