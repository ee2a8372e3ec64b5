#include "exam/exam.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMovie>
#include <QNetworkCookie>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cmath>
#include <stdexcept>
#include <utility>

#include "common/CommonFunction.h"
#include "common/application.h"
#include "common/resources.h"
#include "exam/child.h"
#include "exam/chooserlogic.h"
#include "exam/downloadfile.h"
#include "exam/exammode.h"
#include "exam/exampage.h"
#include "exam/filechooser.h"
#include "exam/jsext.h"
#include "exam/keyboard.h"
#include "exam/nativefilter.h"
#include "exam/viewkeys.h"
#include "exam/windowlock.h"
#include "maintenance/about.h"
#include "maintenance/upgrade.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace quorvex {

QPointer<TFrmExam> FrmExam;

namespace {

int RoundEven(double v) {
  return static_cast<int>(std::nearbyint(v));
}

}  // namespace

TFrmExam::TFrmExam(TNwExamFormSetup setup, QWidget* owner)
    : QWidget(owner, Qt::Window), FSetup(std::move(setup)) {
  if (!FSetup.Profile || !FSetup.Desktop || !FSetup.Keys || !FSetup.Log || !FSetup.Strings ||
      !FSetup.ScreenCheck) {
    throw std::invalid_argument("TFrmExam needs its whole setup");
  }
  // The program ends when the check window closes, not when this one does.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(1294, 671);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Inactive, QPalette::WindowText));
  setPalette(palette);

  cefwindow = new QWebEngineView(this);
  cefwindow->setStyleSheet("background: white;");
  // Our own menu in place of the engine's.
  cefwindow->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(cefwindow, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { crmBeforeContextMenu(cefwindow->mapToGlobal(pos)); });
  new TNwViewKeys(cefwindow, [this](const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods = key.modifiers();
    const platform::TLockKeys locks = platform::LockKeysOf(key.nativeModifiers());
    crmKeyEvent(KeyEventFlags({.Shift = mods.testFlag(Qt::ShiftModifier),
                               .Control = mods.testFlag(Qt::ControlModifier),
                               .Alt = mods.testFlag(Qt::AltModifier),
                               .CapsLock = locks.CapsLock,
                               .NumLock = locks.NumLock}),
                WindowsVirtualKey(key.nativeVirtualKey()));
  });
  pnlMoreScreenTip = new QWidget(this);
  pnlMoreScreenTip->setStyleSheet("background: white;");
  pnlMoreScreenTip->hide();
  imgStop = new QLabel(pnlMoreScreenTip);
  imgStop->setPixmap(QPixmap(":/stop.png"));
  imgStop->adjustSize();
  lbltip = new QLabel(pnlMoreScreenTip);
  pnlSelectFile = new TNwFileChooser(*FSetup.Strings, this);
  connect(pnlSelectFile, &TNwFileChooser::VisibilityChanged, this, [this](bool shown) {
    platform::DebugOutput(shown ? "file chooser shown" : "file chooser hidden");
    if (Fullscreened()) FLock->HoldInput();
  });
  pl = new QWidget(this);
  pl->setAutoFillBackground(true);
  pl->setStyleSheet("background: white;");
  loading = new QLabel(pl);
  loading->setAlignment(Qt::AlignCenter);
  loading->resize(193, 193);
  FLoadingMovie = new QMovie(":/loading.gif", QByteArray(), this);
  loading->setMovie(FLoadingMovie);

  FKeyFilter = std::make_unique<TNwExamKeyFilter>(*FSetup.Log, *FSetup.Keys, SetTimeout, [this] {
    FCloseType = TNwCloseType::ctShutcut;
    QMetaObject::invokeMethod(this, "close", Qt::QueuedConnection);
  });
  FLock = std::make_unique<TNwWindowLock>(TNwWindowLock::TSetup{
      .Window = this,
      .KeyTarget = [this]() -> QWidget* {
        // The chooser's lists and buttons take the keys by their focus.
        if (pnlSelectFile && pnlSelectFile->isVisible()) return nullptr;
        return cefwindow && cefwindow->focusProxy() ? cefwindow->focusProxy() : this;
      },
      .OnKey = [this](const platform::TNativeKeyEvent& key) { return FKeyFilter->OnKey(key); },
      .ScreenRecheck = [this] { ScreenRecheck(); },
      .Log = FSetup.Log,
  });
  FExamMode = std::make_unique<TNwExamMode>(TNwExamModeSetup{
      .Desktop = *FSetup.Desktop,
      .Keys = *FSetup.Keys,
      .Window = *FLock,
      .Log = *FSetup.Log,
      .Post =
          [lock = FLock.get()](std::function<void()> round) {
            QMetaObject::invokeMethod(lock, std::move(round), Qt::QueuedConnection);
          },
      .TaskManagerTitle = FSetup.Strings->i18n("RsTaskMgr"),
  });
  FCommandFilter = std::make_unique<TNwNativeFilter>([this](const char* type, void* message) {
    auto command = platform::DecodeCommandMessage(type, message, NativeWindow());
    if (!command) return false;
    QMetaObject::invokeMethod(
        this, [this, number = *command] { WindowCommand(number); }, Qt::QueuedConnection);
    return true;
  });

  // The browser's cookies as it keeps them, for the downloads it does not make itself.
  auto cookie = [](const QNetworkCookie& c) {
    return TNwCookie{c.name().toStdString(), c.value().toStdString(), c.domain().toStdString(),
                     c.path().isEmpty() ? "/" : c.path().toStdString(), c.isSecure()};
  };
  QWebEngineCookieStore* cookies = FSetup.Profile->cookieStore();
  connect(cookies, &QWebEngineCookieStore::cookieAdded, this,
          [this, cookie](const QNetworkCookie& c) { FCookies.Add(cookie(c)); });
  connect(cookies, &QWebEngineCookieStore::cookieRemoved, this,
          [this, cookie](const QNetworkCookie& c) { FCookies.Remove(cookie(c)); });
  cookies->loadAllCookies();

  // FormCreate
  CreateBrowser();
  setWindowTitle(QString::fromStdString(FSetup.Strings->i18n("RsQuorvexModule")));
  FCanClose = false;
  FCloseType = TNwCloseType::ctNone;
  PlaceLoading(frameGeometry().width(), frameGeometry().height());
  cefwindow->setGeometry(0, 0, width(), height());
  FLoadingMovie->start();
  pl->setGeometry(rect());
  pl->show();
  pnlMoreScreenTip->setGeometry(rect());
  lbltip->setText(QString::fromStdString(FSetup.Strings->i18n("RsMultipleScreenTip")));
  FSetup.Log->Info("Form created", "");
  FrmExam = this;

  Timer1.setInterval(300);
  connect(&Timer1, &QTimer::timeout, this, &TFrmExam::Timer1Timer);
  Timer1.start();
}

TFrmExam::~TFrmExam() {
  // The desktop gets back what exam mode took, even when the window goes without a close;
  // hidden first, so that leaving exam mode does not show it again.
  hide();
  FExamMode.reset();
  if (FrmExam == this) FrmExam = nullptr;
}

bool TFrmExam::Fullscreened() const {
  return FExamMode->On();
}

WId TFrmExam::NativeWindow() const {
  return FLock->NativeWindow();
}

void TFrmExam::EnterExamModel() {
  // What is offered outside exam mode only goes before the screen is taken.
  if (FMenu) FMenu->close();
  if (FAbout) FAbout->close();
  FExamMode->Enter();
}

void TFrmExam::ExitExamModel() {
  FExamMode->Exit();
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

void TFrmExam::ScreenRecheck() {
  const bool warn = FSetup.ScreenCheck();
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

TNwExamPageTrust TFrmExam::PageTrust() const {
  return {
      .ExamOrigin = ExamOrigin(FSetup.Params),
      .ExamHost = HostOf(FSetup.Params.domain),
      .BridgeMarker = FSetup.BridgeMarker,
  };
}

bool TFrmExam::CreateBrowser() {
  // One browser per window: a later request fails while one exists or after it has gone.
  if (crm || !cefwindow) return false;
  crm = new TNwExamPage(FSetup.Profile, PageTrust(), this);
  connect(crm, &TNwExamPage::LoadingStateChanged, this, &TFrmExam::crmLoadingStateChange);
  connect(crm, &TNwExamPage::LoadEnded, this,
          [this](const QString& url) { crmLoadEnd(url.toStdString()); });
  connect(crm, &TNwExamPage::LoadFailed, this,
          [this](int code, const QString& text, const QString& url) {
            crmLoadError(code, text.toStdString(), url.toStdString());
          });
  connect(crm, &TNwExamPage::ConsoleMessage, this,
          [this](const QString& message) { crmConsoleMessage(message.toStdString()); });
  connect(crm, &TNwExamPage::BridgeMessage, this,
          [this](const QString& name) { crmProcessMessageReceived(name.toStdString()); });
  connect(crm, &TNwExamPage::BridgeRefused, this,
          [this](const QString& name, const QString& origin) {
            FSetup.Log->Warn("bridge call %s from %s refused, not the exam's origin",
                             {name.toStdString(), origin.toStdString()}, "");
          });
  connect(crm, &QWebEnginePage::titleChanged, this, &TFrmExam::crmTitleChange);
  connect(FSetup.Profile, &QWebEngineProfile::downloadRequested, this,
          [this](QWebEngineDownloadRequest* download) {
            if (crm && download->page() == crm) crmBeforeDownload(*download);
          });
  crm->SetFileDialog([this](std::shared_ptr<TNwFileDialogCallback> callback) {
    crmFileDialog(std::move(callback));
  });
  connect(crm, &TNwExamPage::AddressChanged, this,
          [this](const QString& url) { crmAddressChange(url.toStdString()); });
  // Answered within the signal: a request left unanswered is dropped by the engine.
  connect(crm, &QWebEnginePage::newWindowRequested, this,
          [this](QWebEngineNewWindowRequest& request) {
            const TNwNewWindow window = DescribeNewWindow(request);
            if (!window.FromTab) {
              crmBeforePopup(window.Url, window.Disposition,
                             [&] { return CreateClientHandler(request); });
            } else if (!crmOpenUrlFromTab(window.Url, window.Disposition)) {
              QMetaObject::invokeMethod(
                  this,
                  [this, url = request.requestedUrl()] {
                    if (crm) crm->load(url);
                  },
                  Qt::QueuedConnection);
            }
          });
  cefwindow->setPage(crm);
  // The first spare popup window, prepared with the browser.
  FChildForm = NewChildForm();
  // The browser counts as created once its window is on the screen: a page loaded into a
  // hidden view is kept in the background by the engine and loads slower.
  if (isVisible())
    QMetaObject::invokeMethod(this, &TFrmExam::crmAfterCreated, Qt::QueuedConnection);
  return true;
}

void TFrmExam::Timer1Timer() {
  Timer1.stop();
  FSetup.Log->Info("timer executed", "");
  if (!CreateBrowser() && !crm && cefwindow) {
    Timer1.start();
    FSetup.Log->Info("timer re-enabled", "");
  }
}

void TFrmExam::crmAfterCreated() {
  FSetup.Log->Info("after browser created", "");
  LoadExamUrl();
}

void TFrmExam::LoadExamUrl() {
  PlaceLoading(width(), height());
  if (cefwindow) cefwindow->setGeometry(0, 0, width(), height());
  FCanClose = false;
  const std::string url = BuildExamUrl(FSetup.Params);
  FSetup.Log->Info("try to load exam url: %s", {url}, "");
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
  FSetup.Log->Info("loaded url:" + url, "");
}

void TFrmExam::crmLoadError(int error_code, const std::string& error_text,
                            const std::string& failed_url) {
  if (IsLaunchLink(failed_url) || !crm) return;
  static const std::string page_template = LoadResource("loaderror-page.html").value_or("");
  static const std::string style = LoadResource("loaderror-style.html").value_or("");
  const std::string page =
      BuildLoadErrorPage(page_template, style, *FSetup.Strings, error_code, error_text, failed_url);
  platform::DebugOutput("load error " + std::to_string(error_code) + " " + error_text + " " +
                        failed_url);
  crm->ShowErrorPage(QString::fromStdString(page));
}

bool TFrmExam::crmProcessMessageReceived(const std::string& name) {
  const TNwBridgeDispatch dispatch = DispatchProcessMessage(name);
  switch (dispatch.Action) {
    case TNwBridgeAction::baClose:
      FCloseType = TNwCloseType::ctAPI;
      FSetup.Log->Info("crm received process message, try to exit", "");
      close();
      break;
    case TNwBridgeAction::baUpgrade:
      ExitExamModel();
      // Once the page's call has returned: the window is modal.
      QTimer::singleShot(0, this, &TFrmExam::ShowUpgrade);
      break;
    case TNwBridgeAction::baEnterExamMode:
      EnterExamModel();
      break;
    case TNwBridgeAction::baExitExamMode:
      ExitExamModel();
      break;
    case TNwBridgeAction::baNeedCamera:
    case TNwBridgeAction::baNone:
      break;
  }
  return dispatch.Handled;
}

void TFrmExam::crmAddressChange(const std::string& url) {
  if (IsCloseAddress(url)) crmProcessMessageReceived("closeBrowser");
}

bool TFrmExam::crmBeforePopup(const std::string& target_url, TNwDisposition disposition,
                              const std::function<bool()>& create_client_handler) {
  switch (BeforePopup(Fullscreened(), target_url, disposition)) {
    case TNwPopupAction::paCancel:
      platform::DebugOutput("popup refused: " + target_url);
      break;
    case TNwPopupAction::paPdfDownload:
      platform::DebugOutput("popup to PDF download: " + target_url);
      DownloadFile(kFileTypePdf, target_url);
      break;
    case TNwPopupAction::paPopupWindow:
      if (create_client_handler()) return false;
      platform::DebugOutput("popup not taken: " + target_url);
      break;
  }
  return true;
}

bool TFrmExam::CreateClientHandler(QWebEngineNewWindowRequest& request) {
  if (!FChildForm || !FChildForm->CreateClientHandler(request)) return false;
  QMetaObject::invokeMethod(this, &TFrmExam::CreateNextPopupForm, Qt::QueuedConnection);
  return true;
}

void TFrmExam::CreateNextPopupForm() {
  if (FChildForm)
    QMetaObject::invokeMethod(FChildForm, &TChildForm::ShowPopupForm, Qt::QueuedConnection);
  FChildForm = NewChildForm();
}

TChildForm* TFrmExam::NewChildForm() {
  auto* form = new TChildForm(
      {
          .Profile = FSetup.Profile,
          .Trust = PageTrust(),
          .DownloadFile = [this](const std::string& url,
                                 QWidget* popup) { DownloadFile(kFileTypePdf, url, popup, false); },
      },
      this);
  connect(form, &TChildForm::PopupFormDestroyed, this,
          [] { platform::DebugOutput("popup window gone"); });
  return form;
}

void TFrmExam::ClosePopupWindows() {
  const QWidgetList windows = QApplication::topLevelWidgets();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    auto* form = qobject_cast<TChildForm*>(*it);
    if (form && form->ClientInitialized() && !form->Closing()) form->close();
  }
}

bool TFrmExam::crmOpenUrlFromTab(const std::string& target_url, TNwDisposition disposition) {
  const bool cancel = OpenUrlFromTabCancels(target_url, disposition);
  platform::DebugOutput((cancel ? "link from tab refused: " : "link from tab opens here: ") +
                        target_url);
  return cancel;
}

void TFrmExam::crmBeforeContextMenu(const QPoint& global_pos) {
  if (!crm) return;
  const std::vector<TNwMenuCommand> items =
      ContextMenuItems(Fullscreened(), crm->history()->canGoBack(), crm->history()->canGoForward());
  if (items.empty()) return;
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  std::string shown;
  for (const TNwMenuCommand id : items) {
    const char* key = id == mcBackward  ? "RsBackward"
                      : id == mcForward ? "RsForward"
                      : id == mcReload  ? "RsReload"
                                        : "RsAbout";
    const std::string label = FSetup.Strings->i18n(key);
    menu->addAction(QString::fromStdString(label), this, [this, id] { crmContextMenuCommand(id); });
    shown += (shown.empty() ? "" : ", ") + label;
  }
  FMenu = menu;
  menu->popup(global_pos);
  platform::DebugOutput("context menu: " + shown);
}

void TFrmExam::crmContextMenuCommand(int command_id) {
  if (!crm) return;
  switch (command_id) {
    case mcBackward:
      crm->triggerAction(QWebEnginePage::Back);
      break;
    case mcForward:
      crm->triggerAction(QWebEnginePage::Forward);
      break;
    case mcReload:
      crm->triggerAction(QWebEnginePage::Reload);
      break;
    case mcAbout:
      QMetaObject::invokeMethod(this, &TFrmExam::ShowAbout, Qt::QueuedConnection);
      break;
    default:
      break;
  }
}

void TFrmExam::crmKeyEvent(uint32_t flags, uint32_t windows_key_code) {
  if (crm && IsReloadKey(flags, windows_key_code)) crm->triggerAction(QWebEnginePage::Reload);
}

void TFrmExam::ShowAbout() {
  // The menu that asks for it may have gone with exam mode by now.
  if (FAbout || Fullscreened()) return;
  FAbout = new TFrmAbout(*FSetup.Strings, platform::ShellOpen, this);
  FAbout->setAttribute(Qt::WA_DeleteOnClose);
  FAbout->setWindowModality(Qt::ApplicationModal);
  FAbout->show();
  platform::DebugOutput("about window shown");
}

void TFrmExam::ShowUpgrade() {
  std::string temp_dir;
  try {
    temp_dir = platform::TempDir();
  } catch (const std::exception& e) {
    FSetup.Log->Error(std::string("upgrade: ") + e.what(), "");
    return;
  }
  // Hidden, not freed, when closed: it stays with this window while its download goes on.
  auto* upgrade = new TFrmUpgrade(*FSetup.Strings, FSetup.UpgradeURL, temp_dir, this);
  upgrade->setWindowModality(Qt::ApplicationModal);
  upgrade->show();
  platform::DebugOutput("upgrade window shown: " + upgrade->Target());
}

void TFrmExam::crmFileDialog(std::shared_ptr<TNwFileDialogCallback> callback) {
  pnlSelectFile->FLastCEFFileDialog = std::move(callback);
  pnlSelectFile->ShowFileChooser();
}

void TFrmExam::DownloadFile(int file_type, const std::string& url, QWidget* owner,
                            bool with_filter) {
  quorvex::DownloadFile(
      {
          .Strings = FSetup.Strings,
          .AskSavePath = [this, owner](const std::string& proposed,
                                       const std::string& filter) -> std::optional<std::string> {
            QFileDialog dialog(owner ? owner : this);
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
            if (const size_t bar = filter.find('|'); bar != std::string::npos) {
              dialog.setNameFilter(QString::fromStdString(filter.substr(0, bar) + " (" +
                                                          filter.substr(bar + 1) + ")"));
            }
            dialog.setDirectory(QString::fromStdString(platform::DocumentsDir()));
            dialog.selectFile(QString::fromStdString(proposed));
            platform::DebugOutput("save dialog shown");
            const bool saved =
                crm && crm->InDialog([&] { return dialog.exec() == QDialog::Accepted; });
            if (!saved || dialog.selectedFiles().isEmpty()) return std::nullopt;
            return dialog.selectedFiles().front().toStdString();
          },
          .ShowResult = [](const std::string& text) { ShowMessageBox(ApplicationTitle(), text); },
          .Headers =
              [this](const std::string& address) {
                return TNwDownloadRequest{FSetup.Profile->httpUserAgent().toStdString(),
                                          FCookies.HeaderFor(address)};
              },
          .WithFilter = with_filter,
      },
      file_type, url);
}

void TFrmExam::crmBeforeDownload(QWebEngineDownloadRequest& download) {
  const std::string url = download.url().toString().toStdString();
  if (Fullscreened()) {
    platform::DebugOutput("download not continued in exam mode: " + url);
    download.cancel();
    return;
  }
  const std::string target =
      DownloadTarget(platform::DocumentsDir(), download.suggestedFileName().toStdString());
  const std::string name = target.substr(target.find_last_of('/') + 1);
  const QStringList answer = crm ? crm->AskForFile() : QStringList();
  // Exam mode may have begun while the prompt was up.
  if (answer.isEmpty() || Fullscreened() || !crm) {
    platform::DebugOutput("download cancelled: " + url);
    download.cancel();
    return;
  }
  std::string path = answer.front().toStdString();
  if (path.empty()) {
    // Nothing picked: the suggested name in the folder shown, beside what is there already.
    const std::string folder = pnlSelectFile->Directory().toStdString();
    path = CurrentPath(folder, UniqueName(name, [&](const std::string& candidate) {
                         return platform::IsRegularFile(CurrentPath(folder, candidate));
                       }));
  }
  const size_t slash = path.find_last_of('/');
  download.setDownloadDirectory(QString::fromStdString(path.substr(0, slash + 1)));
  download.setDownloadFileName(QString::fromStdString(path.substr(slash + 1)));
  download.accept();
  platform::DebugOutput("download to " + path + ": " + url);
}

void TFrmExam::crmTitleChange(const QString& title) {
  setWindowTitle(title);
}

void TFrmExam::crmConsoleMessage(const std::string& message) {
  FSetup.Log->Info(message, "console");
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
  // The chooser keeps covering the page; its container stays where it was placed.
  pnlSelectFile->setGeometry(rect());
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
    if (Fullscreened()) {
      event->ignore();
      return;
    }
    FCloseType = TNwCloseType::ctSys;
  }
  switch (CloseQuery(FCloseType, FCanClose, *FSetup.Log)) {
    case TNwCloseStep::csRefuse:
      event->ignore();
      return;
    case TNwCloseStep::csTearDown:
      event->ignore();
      ClosePopupWindows();
      ExitExamModel();
      hide();
      // The engine tears the page down through the loop, as a browser close does.
      QMetaObject::invokeMethod(this, &TFrmExam::crmClose, Qt::QueuedConnection);
      return;
    case TNwCloseStep::csClose:
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
