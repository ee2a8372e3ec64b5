// The exam window: hosts the embedded browser with the exam page, the loading panel, the
// screen warning panel and the close sequence. Its concerns live beside it: the page adapter
// (exampage), exam mode (exammode, windowlock), the key filter (keyboard), the page bridge
// (jsext) and the window's decisions in plain values (examlogic).
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "app/launch.h"
#include "common/language.h"
#include "common/log.h"
#include "exam/cookies.h"
#include "exam/examlogic.h"
#include "exam/exampage.h"
#include "exam/policy.h"
#include "platform/desktop.h"
#include "platform/keysource.h"

class QLabel;
class QMenu;
class QMovie;
class QWebEngineDownloadRequest;
class QWebEngineNewWindowRequest;
class QWebEngineProfile;
class QWebEngineView;

namespace quorvex {

class TChildForm;
class TNwExamKeyFilter;
class TNwExamMode;
class TNwExamPage;
class TNwFileChooser;
class TNwFileDialogCallback;
class TNwNativeFilter;
class TNwWindowLock;
class TFrmAbout;

// What the exam window works with, handed in by the program (or a test).
struct TNwExamFormSetup {
  // The browser profile of the runtime; required.
  QWebEngineProfile* Profile = nullptr;
  // The accepted launch, for the exam page's address.
  LaunchParameters Params;
  // The desktop exam mode changes and the key sources it asks; required.
  platform::IDesktop* Desktop = nullptr;
  platform::IKeySource* Keys = nullptr;
  ILogWriter* Log = nullptr;
  const INwI8n* Strings = nullptr;
  // What the page bridge's calls begin with (NativeCallMarker of the process's secret).
  std::string BridgeMarker;
  // Whether a second monitor or a remote session is present, asked on the GUI thread;
  // required.
  std::function<bool()> ScreenCheck;
  // Where the upgrade window fetches the newest package: the string table's "RsUpgradeURL".
  std::string UpgradeURL;
};

class TFrmExam : public QWidget {
  Q_OBJECT

 public:
  explicit TFrmExam(TNwExamFormSetup setup, QWidget* owner = nullptr);
  ~TFrmExam() override;

  // Records why the window may close, then asks it to close.
  void RequestClose(TNwCloseType close_type);

  TNwCloseType CloseType() const { return FCloseType; }

  // The pre-exam check window; closing it ends the program.
  QPointer<QWidget> mainForm;

  // Browser events, in plain values.
  void crmAfterCreated();
  void crmLoadingStateChange(bool is_loading);
  void crmLoadEnd(const std::string& url);
  void crmLoadError(int error_code, const std::string& error_text, const std::string& failed_url);
  void crmTitleChange(const QString& title);
  void crmConsoleMessage(const std::string& message);
  void crmClose();
  void crmBeforeClose();
  // A message from the page bridge, handled in the order the page sent them.
  bool crmProcessMessageReceived(const std::string& name);
  // The main frame's address; the close address closes the window as the bridge's Close does.
  void crmAddressChange(const std::string& url);
  // A new window the page opens; answers whether it is cancelled. `create_client_handler`
  // hands it to the spare popup window and answers whether that took it.
  bool crmBeforePopup(const std::string& target_url, TNwDisposition disposition,
                      const std::function<bool()>& create_client_handler);
  // The spare popup window takes the popup of `request`; answers whether it did.
  bool CreateClientHandler(QWebEngineNewWindowRequest& request);
  // A link opened from the page by Ctrl+click or middle click; answers whether it is
  // cancelled, otherwise it opens in this window.
  bool crmOpenUrlFromTab(const std::string& target_url, TNwDisposition disposition);
  // The context menu at `global_pos`: none in exam mode.
  void crmBeforeContextMenu(const QPoint& global_pos);
  void crmContextMenuCommand(int command_id);
  // Every key press on the page, in the browser runtime's flags and Windows key codes.
  void crmKeyEvent(uint32_t flags, uint32_t windows_key_code);
  // Message 0x437: the about window, modal, owned by this window, freed on close.
  void ShowAbout();
  // The page bridge's "upgrade": the upgrade window, modal, owned by this window.
  void ShowUpgrade();
  // A file request of the page, answered in the window's own chooser (message 0x438).
  void crmFileDialog(std::shared_ptr<TNwFileDialogCallback> callback);
  // Message 0x436: asks where to save `url` and fetches it outside the browser; the dialog
  // belongs to `owner` (this window when none) and has a filter when `with_filter`.
  void DownloadFile(int file_type, const std::string& url, QWidget* owner = nullptr,
                    bool with_filter = true);
  // A download of the page: none in exam mode; otherwise into the documents folder under its
  // own name, the place confirmed in the window's chooser.
  void crmBeforeDownload(QWebEngineDownloadRequest& download);

  // FFullscreened: exam mode is on.
  bool Fullscreened() const;
  // The X window that is on the screen now.
  WId NativeWindow() const;
  // A command another process sent the window: 0x040A reload, 0x040B nothing, 0x040C close
  // as by the exit gesture.
  void WindowCommand(long number);
  // A second monitor or a remote session covers the page with the warning panel.
  void ScreenRecheck();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Message 0x8A50: the spare popup window took a popup: it is shown, another is prepared.
  void CreateNextPopupForm();
  TChildForm* NewChildForm();
  // Whom the exam page and its popups obey.
  TNwExamPageTrust PageTrust() const;
  // Closes every popup window that took a popup and is not closing yet, last to first.
  void ClosePopupWindows();

  // Exam mode: borderless, screen-sized, above everything, docks hidden, keyboard taken.
  void EnterExamModel();
  void ExitExamModel();

  bool CreateBrowser();
  void LoadExamUrl();
  void ShowLoading(bool is_loading);
  void PlaceLoading(int width, int height);
  void DestroyBrowserHost();
  void Timer1Timer();

  TNwExamFormSetup FSetup;
  QWebEngineView* cefwindow = nullptr;
  TNwExamPage* crm = nullptr;
  QWidget* pnlMoreScreenTip = nullptr;
  QLabel* imgStop = nullptr;
  QLabel* lbltip = nullptr;
  QWidget* pl = nullptr;
  QLabel* loading = nullptr;
  QMovie* FLoadingMovie = nullptr;
  QTimer Timer1;
  // Offered outside exam mode only; entering it closes them.
  QPointer<QMenu> FMenu;
  QPointer<TFrmAbout> FAbout;
  TNwFileChooser* pnlSelectFile = nullptr;
  // The spare popup window.
  QPointer<TChildForm> FChildForm;
  // The browser's cookies, for downloads outside it.
  TNwCookieJar FCookies;

  bool FBrowserAnnounced = false;
  bool FCanClose = false;
  TNwCloseType FCloseType = TNwCloseType::ctNone;
  std::unique_ptr<TNwNativeFilter> FCommandFilter;
  std::unique_ptr<TNwExamKeyFilter> FKeyFilter;
  std::unique_ptr<TNwWindowLock> FLock;
  // Last: it undoes exam mode through the members above.
  std::unique_ptr<TNwExamMode> FExamMode;
};

// The exam window of the process, once created.
extern QPointer<TFrmExam> FrmExam;

}  // namespace quorvex
