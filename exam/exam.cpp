#include "exam/exam.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>
#include <QWindow>

#include <cmath>
#include <thread>
#include <utility>

#include "app/runtime.h"
#include "checks/utils.h"
#include "common/CommonFunction.h"
#include "exam/jsext.h"
#include "exam/keyboard.h"
#include "platform/platform.h"

namespace quorvex {

QPointer<TFrmExam> FrmExam;

namespace {

std::string Resource(const char* name) {
  return platform::LoadResource(name).value_or("");
}

int RoundEven(double v) {
  return static_cast<int>(std::nearbyint(v));
}

}  // namespace

TNwExamPage::TNwExamPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
  // The exam may use camera and microphone without asking the candidate.
  connect(this, &QWebEnginePage::featurePermissionRequested, this,
          [this](const QUrl& origin, Feature feature) {
            bool media = feature == MediaAudioCapture || feature == MediaVideoCapture ||
                         feature == MediaAudioVideoCapture;
            setFeaturePermission(origin, feature,
                                 media ? PermissionGrantedByUser : PermissionDeniedByUser);
          });
  connect(this, &QWebEnginePage::certificateError, this,
          [](QWebEngineCertificateError error) { error.acceptCertificate(); });
}

void TNwExamPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message,
                                           int, const QString&) {
  if (auto* exam = qobject_cast<TFrmExam*>(parent())) {
    exam->crmConsoleMessage(message.toStdString());
  }
}

void TNwExamPage::javaScriptAlert(const QUrl& origin, const QString& message) {
  InDialog([&] {
    QWebEnginePage::javaScriptAlert(origin, message);
    return true;
  });
}

bool TNwExamPage::javaScriptConfirm(const QUrl& origin, const QString& message) {
  return InDialog([&] { return QWebEnginePage::javaScriptConfirm(origin, message); });
}

bool TNwExamPage::InDialog(const std::function<bool()>& show) {
  ++FDialogs;
  const bool answer = show();
  if (--FDialogs == 0 && FAfterDialogs) {
    // Queued: the dialog's own event loop has returned, but the engine's call has not.
    QMetaObject::invokeMethod(this, std::exchange(FAfterDialogs, nullptr), Qt::QueuedConnection);
  }
  return answer;
}

bool TNwExamPage::CloseDialogs(std::function<void()> then) {
  if (FDialogs == 0) return false;
  FAfterDialogs = std::move(then);
  // A page's dialog is a modal window of the view; closing it answers as Cancel does.
  while (QWidget* dialog = QApplication::activeModalWidget()) {
    if (!dialog->close()) break;
  }
  return true;
}

// Sees the program's X events before Qt does: key events, and commands from other processes.
class TNwNativeFilter : public QAbstractNativeEventFilter {
 public:
  explicit TNwNativeFilter(TFrmExam* exam) : FExam(exam) {}
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (!FExam) return false;
    if (auto key = platform::DecodeKeyEvent(type.constData(), message)) {
      return FExam->FilterKey(*key);
    }
    if (auto command =
            platform::DecodeCommandMessage(type.constData(), message, FExam->NativeWindow())) {
      const long number = *command;
      QMetaObject::invokeMethod(
          FExam.data(),
          [exam = FExam, number] {
            if (exam) exam->WindowCommand(number);
          },
          Qt::QueuedConnection);
      return true;
    }
    return false;
  }

 private:
  QPointer<TFrmExam> FExam;
};

bool TNwExamPage::javaScriptPrompt(const QUrl& origin, const QString& message,
                                   const QString& default_value, QString* result) {
  const std::string text = message.toStdString();
  if (!text.starts_with(kNativeCallMarker)) {
    return InDialog(
        [&] { return QWebEnginePage::javaScriptPrompt(origin, message, default_value, result); });
  }
  QPointer<TFrmExam> exam = qobject_cast<TFrmExam*>(parent());
  TNwExternalJsExtension extension([exam](const std::string& name) {
    // After the script's call has returned, as a message from another process would.
    QMetaObject::invokeMethod(
        exam,
        [exam, name] {
          if (exam) exam->crmProcessMessageReceived(name);
        },
        Qt::QueuedConnection);
  });
  std::optional<int> retval;
  extension.Execute(std::string_view(text).substr(kNativeCallMarker.size()), retval);
  *result = retval ? QString::number(*retval) : QString();
  return true;
}

TFrmExam::TFrmExam(QWidget* owner) : QWidget(owner, Qt::Window) {
  // The program ends when the check window closes, not when this one does.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(1294, 671);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Inactive, QPalette::WindowText));
  setPalette(palette);

  cefwindow = new QWebEngineView(this);
  cefwindow->setStyleSheet("background: white;");
  pnlMoreScreenTip = new QWidget(this);
  pnlMoreScreenTip->setStyleSheet("background: white;");
  pnlMoreScreenTip->hide();
  imgStop = new QLabel(pnlMoreScreenTip);
  imgStop->setPixmap(QPixmap(":/stop.png"));
  imgStop->adjustSize();
  lbltip = new QLabel(pnlMoreScreenTip);
  pl = new QWidget(this);
  pl->setAutoFillBackground(true);
  pl->setStyleSheet("background: white;");
  loading = new QLabel(pl);
  loading->setAlignment(Qt::AlignCenter);
  loading->resize(193, 193);
  FLoadingMovie = new QMovie(":/loading.gif", QByteArray(), this);
  loading->setMovie(FLoadingMovie);

  // FormCreate
  CreateBrowser();
  setWindowTitle(QString::fromStdString(I18n().i18n("RsQuorvexModule")));
  FCanClose = false;
  FCloseType = TNwCloseType::ctNone;
  PlaceLoading(frameGeometry().width(), frameGeometry().height());
  cefwindow->setGeometry(0, 0, width(), height());
  FLoadingMovie->start();
  pl->setGeometry(rect());
  pl->show();
  pnlMoreScreenTip->setGeometry(rect());
  lbltip->setText(QString::fromStdString(I18n().i18n("RsMultipleScreenTip")));
  GlobalLogWriter().Info("Form created", "");
  FrmExam = this;

  FNativeFilter = std::make_unique<TNwNativeFilter>(this);
  qApp->installNativeEventFilter(FNativeFilter.get());

  Timer1.setInterval(300);
  connect(&Timer1, &QTimer::timeout, this, &TFrmExam::Timer1Timer);
  Timer1.start();
}

TFrmExam::~TFrmExam() {
  // The desktop gets back what exam mode took, even when the window goes without a close.
  *FFullscreened = false;
  qApp->removeNativeEventFilter(FNativeFilter.get());
  if (FKeyboardHooked) {
    if (QWidget* grabber = QWidget::keyboardGrabber()) grabber->releaseKeyboard();
  }
  platform::ShowDockWindows(FHiddenDocks);
  if (FrmExam == this) FrmExam = nullptr;
}

void TFrmExam::EnterExamModel() {
  if (*FFullscreened) return;
  *FFullscreened = true;
  FHiddenDocks = platform::HideDockWindows();
  QScreen* primary = QGuiApplication::primaryScreen();
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  if (primary) setGeometry(primary->geometry());
  showFullScreen();
  platform::SetSkipTaskbar(NativeWindow(), true);
  platform::StartWatchingKeyboardDevices();
  qApp->installEventFilter(this);
  TakeKeyboard(40);
  StartFocusGuard();
}

void TFrmExam::TakeKeyboard(int attempts_left) {
  if (!*FFullscreened || FKeyboardHooked) return;
  // Qt's grab: every key goes to the page, none to another client or the window manager. The
  // server grants it only once the window manager has put the window on the screen.
  QWidget* target = PageWidget();
  target->grabKeyboard();
  const bool taken = windowHandle() && windowHandle()->setKeyboardGrabEnabled(true);
  if (taken) {
    FKeyboardHooked = true;
    // The pointer too, or the window manager's mouse bindings still act: Alt with the wheel
    // switches desktops away from the exam, Alt with a button moves or lowers the window.
    windowHandle()->setMouseGrabEnabled(true);
    GlobalLogWriter().Info("keyboard hook success, id:%d", {static_cast<int64_t>(NativeWindow())},
                           "");
  } else if (attempts_left > 0) {
    QTimer::singleShot(50, this, [this, attempts_left] { TakeKeyboard(attempts_left - 1); });
  } else {
    target->releaseKeyboard();
    GlobalLogWriter().Error("Set keyboard hook failed message: %s",
                            {"the server did not give the window the keyboard"}, "");
  }
}

void TFrmExam::ExitExamModel() {
  if (!*FFullscreened) return;
  *FFullscreened = false;
  qApp->removeEventFilter(this);
  if (FKeyboardHooked) {
    if (QWidget* grabber = QWidget::keyboardGrabber()) grabber->releaseKeyboard();
    // The server keeps one grab of each kind per program, whichever window holds it.
    if (QWindow* window = InputWindow()->windowHandle()) {
      window->setKeyboardGrabEnabled(false);
      window->setMouseGrabEnabled(false);
    }
    FKeyboardHooked = false;
  }
  setWindowFlags(Qt::Window);
  showMaximized();
  platform::SetSkipTaskbar(NativeWindow(), false);
  platform::ShowDockWindows(FHiddenDocks);
  FHiddenDocks.clear();
}

void TFrmExam::WindowCommand(long number) {
  switch (number) {
    case 0x040A:
      if (crm) crm->triggerAction(QWebEnginePage::Reload);
      break;
    case 0x040C:
      RequestClose(TNwCloseType::ctShutcut);
      break;
    default:  // 0x040B and anything else: no effect
      break;
  }
}

WId TFrmExam::NativeWindow() const {
  // The platform window may get a new X window when its flags change; the widget's own id
  // would then name the old one.
  return windowHandle() ? windowHandle()->winId() : winId();
}

QWidget* TFrmExam::PageWidget() {
  return cefwindow && cefwindow->focusProxy() ? cefwindow->focusProxy() : this;
}

QWidget* TFrmExam::InputWindow() {
  // A dialog the page opened (alert, confirm, prompt) blocks the exam window and needs the
  // keys and clicks itself.
  QWidget* modal = QApplication::activeModalWidget();
  return modal && modal != this && modal->isVisible() ? modal->window() : this;
}

void TFrmExam::KeepInputGrabs(int attempts_left) {
  if (!FKeyboardHooked) return;
  // A popup list of the page holds both grabs itself while it is open.
  if (QWidget* popup = QApplication::activePopupWidget()) {
    if (FInputWindow != popup) platform::DebugOutput("input to: a popup");
    FInputWindow = popup;
    return;
  }
  QWidget* front = InputWindow();
  // The server drops a grab whenever the window stops being viewable, as it does while the
  // window manager reframes it, and a popup list lets both go when it closes: take them again.
  if (QWidget* grabber = QWidget::keyboardGrabber()) grabber->releaseKeyboard();
  if (front == this) PageWidget()->grabKeyboard();
  QWindow* window = front->windowHandle();
  const bool taken = window && window->setKeyboardGrabEnabled(true);
  if (window) window->setMouseGrabEnabled(true);
  if (taken && FInputWindow != front) {
    FInputWindow = front;
    platform::DebugOutput("input to: " + front->windowTitle().toStdString());
  }
  // A dialog that has just been shown is not on the screen yet.
  if (!taken && attempts_left > 0) {
    QTimer::singleShot(50, this, [this, attempts_left] { KeepInputGrabs(attempts_left - 1); });
  }
}

bool TFrmExam::eventFilter(QObject* watched, QEvent* event) {
  // The grabs follow a dialog or popup of the program as it comes and goes.
  if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->isWindow() && watched != this) {
    QTimer::singleShot(0, this, [this] { KeepInputGrabs(kGrabAttempts); });
  }
  return QWidget::eventFilter(watched, event);
}

bool TFrmExam::FilterKey(const platform::NativeKeyEvent& key) {
  if (!*FFullscreened) return false;
  const uint32_t vk = WindowsVirtualKey(key.keysym);
  // Only a candidate of the exit gesture is worth the question where it came from.
  const bool injected = key.release && key.alt_down && vk == kExitKey &&
                        !platform::IsPhysicalKeyRelease(key.keycode, key.time);
  const uint32_t flags = KeyFlags({key.keysym, key.release, key.alt_down, injected});
  const std::string line = PressedLogLine(vk, flags);
  platform::DebugOutput(line);
  GlobalLogWriter().Info(line, "");
  if (FExitGesture.OnKey(vk, flags)) {
    FCloseType = TNwCloseType::ctShutcut;
    GlobalLogWriter().Info("shoutcut detected, try to exit", "");
    QMetaObject::invokeMethod(this, "close", Qt::QueuedConnection);
  }
  return ShouldSwallow(vk, flags);
}

void TFrmExam::StartFocusGuard() {
  const std::string task_manager = I18n().i18n("RsTaskMgr");
  std::thread([on = FFullscreened, task_manager] {
    for (uint32_t round = 1; *on; ++round) {
      platform::HideTaskManagerWindows(task_manager);
      const bool recheck = round % 10 == 0;
      QMetaObject::invokeMethod(
          qApp,
          [recheck] {
            if (!FrmExam || !FrmExam->Fullscreened()) return;
            // Back to the front, asked from the GUI thread as the window manager expects.
            FrmExam->raise();
            QWidget* front = FrmExam->InputWindow();
            if (front != FrmExam) front->raise();
            front->activateWindow();
            FrmExam->KeepInputGrabs();
            if (recheck) FrmExam->ScreenRecheck();
          },
          Qt::QueuedConnection);
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
  }).detach();
}

void TFrmExam::ScreenRecheck() {
  const bool warn =
      ScreenConditionHolds(platform::MonitorCount(), [] { return IsRemoteSession(); });
  if (warn != pnlMoreScreenTip->isVisible()) {
    platform::DebugOutput(warn ? "screen warning shown" : "screen warning hidden");
  }
  pnlMoreScreenTip->setVisible(warn);
  if (warn) pnlMoreScreenTip->raise();
  const int w = frameGeometry().width();
  const int h = frameGeometry().height();
  lbltip->adjustSize();
  imgStop->move(RoundEven((w - imgStop->width()) * 0.5), RoundEven((h - imgStop->height()) * 0.4));
  lbltip->move(RoundEven((w - lbltip->width()) * 0.5), imgStop->y() + imgStop->height() + 20);
}

bool TFrmExam::CreateBrowser() {
  // One browser per window: a later request fails while one exists or after it has gone.
  if (crm || !cefwindow) return false;
  TCefApplication* runtime = TCefApplication::Instance();
  QWebEngineProfile* profile = runtime ? runtime->Profile() : QWebEngineProfile::defaultProfile();
  crm = new TNwExamPage(profile, this);
  connect(crm, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    const std::string url = info.url().toString().toStdString();
    switch (info.status()) {
      case QWebEngineLoadingInfo::LoadStartedStatus:
        crmLoadingStateChange(true);
        break;
      case QWebEngineLoadingInfo::LoadStoppedStatus:
        crmLoadingStateChange(false);
        break;
      case QWebEngineLoadingInfo::LoadSucceededStatus:
        crmLoadingStateChange(false);
        crmLoadEnd(url);
        break;
      case QWebEngineLoadingInfo::LoadFailedStatus:
        crmLoadingStateChange(false);
        // A page the server answered with an error status is a page like any other.
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
          crmLoadEnd(url);
        } else {
          crmLoadError(info.errorCode(), info.errorString().toStdString(), url);
        }
        break;
    }
  });
  connect(crm, &QWebEnginePage::titleChanged, this, &TFrmExam::crmTitleChange);
  cefwindow->setPage(crm);
  // The browser counts as created once its window is on the screen: a page loaded into a
  // hidden view is kept in the background by the engine and loads slower.
  if (isVisible())
    QMetaObject::invokeMethod(this, &TFrmExam::crmAfterCreated, Qt::QueuedConnection);
  return true;
}

void TFrmExam::Timer1Timer() {
  Timer1.stop();
  GlobalLogWriter().Info("timer executed", "");
  if (!CreateBrowser() && !crm && cefwindow) {
    Timer1.start();
    GlobalLogWriter().Info("timer re-enabled", "");
  }
}

void TFrmExam::crmAfterCreated() {
  GlobalLogWriter().Info("after browser created", "");
  LoadExamUrl();
}

void TFrmExam::LoadExamUrl() {
  PlaceLoading(width(), height());
  if (cefwindow) cefwindow->setGeometry(0, 0, width(), height());
  FCanClose = false;
  const std::string url = BuildExamUrl(LaunchParameters::Get());
  GlobalLogWriter().Info("try to load exam url: %s", {url}, "");
  if (crm) crm->load(QUrl(QString::fromStdString(url)));
}

void TFrmExam::crmLoadingStateChange(bool is_loading) {
  QMetaObject::invokeMethod(
      this, [this, is_loading] { ShowLoading(is_loading); }, Qt::QueuedConnection);
}

void TFrmExam::ShowLoading(bool is_loading) {
  if (is_loading) {
    FLoadingMovie->start();
    loading->show();
    pl->show();
    pl->raise();
  } else {
    FLoadingMovie->stop();
    loading->hide();
    pl->hide();
    resizeEvent(nullptr);
  }
}

void TFrmExam::crmLoadEnd(const std::string& url) {
  GlobalLogWriter().Info("loaded url:" + url, "");
}

void TFrmExam::crmLoadError(int error_code, const std::string& error_text,
                            const std::string& failed_url) {
  if (IsLaunchLink(failed_url) || !crm) return;
  static const std::string page_template = Resource("loaderror-page.html");
  static const std::string style = Resource("loaderror-style.html");
  const std::string page =
      BuildLoadErrorPage(page_template, style, I18n(), error_code, error_text, failed_url);
  platform::DebugOutput("load error " + std::to_string(error_code) + " " + error_text + " " +
                        failed_url);
  crm->setHtml(QString::fromStdString(page));
}

bool TFrmExam::crmProcessMessageReceived(const std::string& name) {
  const TBridgeDispatch dispatch = DispatchProcessMessage(name);
  switch (dispatch.action) {
    case TBridgeAction::Close:
      FCloseType = TNwCloseType::ctAPI;
      GlobalLogWriter().Info("crm received process message, try to exit", "");
      close();
      break;
    case TBridgeAction::Upgrade:
      // The upgrade window is not part of this window yet; leaving exam mode is.
      ExitExamModel();
      break;
    case TBridgeAction::EnterExamMode:
      EnterExamModel();
      break;
    case TBridgeAction::ExitExamMode:
      ExitExamModel();
      break;
    case TBridgeAction::NeedCamera:
    case TBridgeAction::None:
      break;
  }
  return dispatch.handled;
}

void TFrmExam::crmTitleChange(const QString& title) {
  setWindowTitle(title);
}

void TFrmExam::crmConsoleMessage(const std::string& message) {
  GlobalLogWriter().Info(message, "console");
}

void TFrmExam::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!FBrowserAnnounced && crm) {
    FBrowserAnnounced = true;
    QMetaObject::invokeMethod(this, &TFrmExam::crmAfterCreated, Qt::QueuedConnection);
  }
  // Once mapped, so that the window manager takes the request as for any shown window.
  QTimer::singleShot(0, this, [this] { setWindowState(windowState() | Qt::WindowMaximized); });
}

void TFrmExam::PlaceLoading(int width, int height) {
  loading->move(RoundEven(width * 0.5 - 100), RoundEven(height * 0.5 - 100));
}

void TFrmExam::resizeEvent(QResizeEvent* event) {
  if (event) QWidget::resizeEvent(event);
  if (cefwindow) cefwindow->setGeometry(0, 0, width(), height());
  pl->setGeometry(rect());
  pnlMoreScreenTip->setGeometry(rect());
  PlaceLoading(frameGeometry().width(), frameGeometry().height());
}

void TFrmExam::RequestClose(TNwCloseType close_type) {
  FCloseType = close_type;
  close();
}

void TFrmExam::closeEvent(QCloseEvent* event) {
  // A close from outside (the close button, Alt+F4, a pager) is ignored outright in exam
  // mode and is a close by the system otherwise.
  if (event->spontaneous()) {
    if (*FFullscreened) {
      event->ignore();
      return;
    }
    FCloseType = TNwCloseType::ctSys;
  }
  switch (CloseQuery(FCloseType, FCanClose, GlobalLogWriter())) {
    case TCloseStep::Refuse:
      event->ignore();
      return;
    case TCloseStep::TearDown:
      event->ignore();
      ExitExamModel();
      hide();
      // The engine tears the page down through the loop, as a browser close does.
      QMetaObject::invokeMethod(this, &TFrmExam::crmClose, Qt::QueuedConnection);
      return;
    case TCloseStep::Close:
      event->accept();
      SetTimeout(500, [main = mainForm] {
        if (main) QMetaObject::invokeMethod(main, "close", Qt::QueuedConnection);
      });
      return;
  }
}

void TFrmExam::crmClose() {
  QMetaObject::invokeMethod(this, &TFrmExam::DestroyBrowserHost, Qt::QueuedConnection);
}

void TFrmExam::DestroyBrowserHost() {
  // A page dialog runs its own event loop inside a call of the page: the page can only go once
  // that call has returned.
  if (crm && crm->CloseDialogs([this] { DestroyBrowserHost(); })) return;
  delete cefwindow;
  cefwindow = nullptr;
  if (crm) {
    crm->deleteLater();
    crm = nullptr;
  }
  crmBeforeClose();
}

void TFrmExam::crmBeforeClose() {
  FCanClose = true;
  QMetaObject::invokeMethod(this, "close", Qt::QueuedConnection);
}

}  // namespace quorvex
