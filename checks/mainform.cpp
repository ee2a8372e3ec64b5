#include "checks/mainform.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QScreen>

#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "common/application.h"
#include "platform/process.h"

namespace quorvex {
namespace {

constexpr int kClientWidth = 1113;
constexpr int kClientHeight = 704;
constexpr int kTitleMargin = 40;

// A call handed from the worker to the GUI thread. It is deleted after it has run, or unrun
// when its receiver goes first; either way the waiting worker wakes and learns which.
class TNwGuiCall final : public QEvent {
 public:
  static QEvent::Type Kind() {
    static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
    return kind;
  }

  TNwGuiCall(std::function<void()> fn, std::promise<bool> done)
      : QEvent(Kind()), FFn(std::move(fn)), FDone(std::move(done)) {}
  ~TNwGuiCall() override { FDone.set_value(FRan); }

  void Run() {
    FRan = true;
    FFn();
  }

 private:
  std::function<void()> FFn;
  std::promise<bool> FDone;
  bool FRan = false;
};

}  // namespace

// What the window and its check runs share; a run may outlive the window.
class TNwCheckLink {
 public:
  explicit TNwCheckLink(QObject* receiver) : FReceiver(receiver) {}

  // Runs `fn` on the receiver's thread and waits for it. False when the receiver has gone,
  // before or while the call waited; `fn` did not run then.
  bool CallOnGui(std::function<void()> fn) {
    std::promise<bool> done;
    std::future<bool> ran = done.get_future();
    {
      // The receiver cannot go while the call is posted: Abandon takes the same lock.
      std::lock_guard lock(FLock);
      if (!FReceiver) return false;
      QCoreApplication::postEvent(FReceiver, new TNwGuiCall(std::move(fn), std::move(done)));
    }
    return ran.get();
  }

  bool Abandoned() {
    std::lock_guard lock(FLock);
    return FReceiver == nullptr;
  }
  void Abandon() {
    std::lock_guard lock(FLock);
    FReceiver = nullptr;
  }

  void RunStarted() {
    std::lock_guard lock(FLock);
    ++FRuns;
  }
  void RunEnded() {
    std::lock_guard lock(FLock);
    --FRuns;
    FIdle.notify_all();
  }
  bool WaitForRuns(std::chrono::milliseconds deadline) {
    std::unique_lock lock(FLock);
    return FIdle.wait_for(lock, deadline, [this] { return FRuns == 0; });
  }

 private:
  std::mutex FLock;
  std::condition_variable FIdle;
  QObject* FReceiver;
  int FRuns = 0;
};

TFrmMain::TFrmMain(TNwMainFormSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      FSetup(std::move(setup)),
      FEnv(FSetup.Env ? *FSetup.Env : SystemCheckEnv()),
      FLink(std::make_shared<TNwCheckLink>(this)) {
  if (!FSetup.CreateExamForm) throw std::invalid_argument("TFrmMain needs an exam window");
  if (!FSetup.MonitorCount) {
    FSetup.MonitorCount = [] { return static_cast<int>(QGuiApplication::screens().size()); };
  }

  setObjectName("TFrmMain");
  setFixedSize(kClientWidth, kClientHeight);
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  setFont(font);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);

  Panel1 = new QWidget(this);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(rect());

  lblTitle = new QLabel(Panel1);
  lblTitle->setObjectName("lblTitle");
  QFont title_font;
  // Linux has no Microsoft YaHei; WenQuanYi Micro Hei is its usual stand-in.
  title_font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                          QStringLiteral("WenQuanYi Micro Hei")});
  title_font.setPixelSize(32);
  title_font.setBold(true);
  lblTitle->setFont(title_font);
  lblTitle->move(328, 136);

  Label2 = new QLabel(Panel1);
  Label2->setObjectName("Label2");
  Label2->move(200, 200);

  BitBtn1 = new QPushButton(Panel1);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setGeometry(392, 328, 169, 49);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

  // On the form, not on the panel: it shows while the panel is hidden.
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->resize(202, 193);
  FMovie = new QMovie(QStringLiteral(":/loading.gif"), QByteArray(), this);
  Image1->setMovie(FMovie);
  Image1->raise();

  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

  FormCreate();
}

TFrmMain::~TFrmMain() {
  // A queued hand-over would otherwise keep its worker waiting while we wait for the worker.
  FLink->Abandon();
  QCoreApplication::removePostedEvents(this, TNwGuiCall::Kind());
  if (!FLink->WaitForRuns(FSetup.CloseWait)) {
    FEnv.Log.Info("check thread still running at close, result dropped", "");
  }
}

bool TFrmMain::event(QEvent* e) {
  if (e->type() == TNwGuiCall::Kind()) {
    static_cast<TNwGuiCall*>(e)->Run();
    return true;
  }
  return QWidget::event(e);
}

void TFrmMain::FormCreate() {
  setWindowTitle(QString::fromStdString(FEnv.Strings.i18n("RsQuorvexModule")));
  BitBtn1->setText(QString::fromStdString(FEnv.Strings.i18n("RsRetry")));
  Image1->move(CentredOffset(width(), Image1->width()), CentredOffset(height(), Image1->height()));
  FMovie->start();
  ShowCheckMessage("");
  BitBtn1Click();
}

void TFrmMain::BitBtn1Click() {
  SetChecking(true);
  // QGuiApplication's screen list belongs to this thread.
  TNwExamChecks checks = ExamChecks(FEnv, FSetup.MonitorCount());
  FLink->RunStarted();
  try {
    std::thread(&TFrmMain::CheckWorker, FLink, this, std::move(checks), std::cref(FEnv.Strings),
                FEnv, FSetup.RunEnded)
        .detach();
  } catch (const std::system_error& e) {
    FLink->RunEnded();
    FEnv.Log.Error(std::string("check thread not started, ") + e.what(), "");
    SetChecking(false);
  }
}

void TFrmMain::CheckWorker(std::shared_ptr<TNwCheckLink> link, TFrmMain* form, TNwExamChecks checks,
                           const INwI8n& strings, const TNwCheckEnv& env,
                           std::function<void()> run_ended) {
  // `form` is dereferenced only inside calls that run on the GUI thread while it lives.
  bool passed = false;
  try {
    passed = RunChecks(*link, form, checks, strings);
  } catch (const std::exception& e) {
    // Only a broken string table gets here; the candidate can still retry.
    env.Log.Error(std::string("check run failed, ") + e.what(), "");
  }
  if (passed) {
    link->CallOnGui([form] { form->ProceedToExam(); });
  } else {
    link->CallOnGui([form] { form->SetChecking(false); });
  }
  link->RunEnded();
  if (run_ended) run_ended();
}

bool TFrmMain::RunChecks(TNwCheckLink& link, TFrmMain* form, const TNwExamChecks& checks,
                         const INwI8n& strings) {
  TNwCheckRunResult result = RunExamChecks(checks, strings, [&link] { return link.Abandoned(); });
  if (result.Outcome == TNwCheckOutcome::coFailed) {
    link.CallOnGui([form, &result] { form->ShowCheckMessage(result.Title); });
  }
  return result.Outcome == TNwCheckOutcome::coPassed;
}

void TFrmMain::ShowCheckMessage(const std::string& title) {
  if (!title.empty()) {
    platform::DebugOutput("check failed: " + title);
    lblTitle->setText(QString::fromStdString(title));
    // A title wider than the window breaks into lines instead of running off its edges.
    lblTitle->setWordWrap(false);
    lblTitle->setMinimumWidth(0);
    lblTitle->setMaximumWidth(QWIDGETSIZE_MAX);
    lblTitle->adjustSize();
    if (const int room = width() - 2 * kTitleMargin; lblTitle->width() > room) {
      lblTitle->setWordWrap(true);
      lblTitle->setFixedWidth(room);
      lblTitle->adjustSize();
    }
  }
  Label2->setText(QString::fromStdString(FEnv.Strings.i18n("RsMultipleScreenTip")));
  Label2->adjustSize();
  for (QWidget* control : {static_cast<QWidget*>(lblTitle), static_cast<QWidget*>(Label2),
                           static_cast<QWidget*>(BitBtn1)}) {
    control->move(CentredOffset(width(), control->width()), control->y());
  }
}

void TFrmMain::SetChecking(bool checking) {
  BitBtn1->setEnabled(!checking);
  Panel1->setVisible(!checking);
  Image1->setVisible(checking);
  // A hidden animation would only cost wake-ups.
  FMovie->setPaused(!checking);
}

void TFrmMain::ProceedToExam() {
  CheckHardware(FEnv);
  if (FEnv.ShowInformation) {
    FEnv.ShowInformation(ApplicationTitle(),
                         FEnv.Strings.i18n("Please close all other applications before start "
                                           "exam."));
  }
  hide();
  FMovie->setPaused(true);
  FExamForm = FSetup.CreateExamForm(this);
  FExamForm->show();
}

}  // namespace quorvex
