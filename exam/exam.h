// The exam window: hosts the embedded browser with the exam page, the loading panel, the
// screen warning panel and the close sequence.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QLabel>
#include <QMovie>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/CommonFunction.h"
#include "exam/examlogic.h"
#include "exam/keyboard.h"
#include "platform/platform.h"

namespace quorvex {

// The exam window's browser page: hands the engine's events to the window's handlers.
class TNwExamPage : public QWebEnginePage {
  Q_OBJECT

 public:
  TNwExamPage(QWebEngineProfile* profile, QObject* parent);

  // When a dialog of the page is open, closes it (as cancelled), runs `then` once its call has
  // returned and answers true; otherwise answers false.
  bool CloseDialogs(std::function<void()> then);

 protected:
  void javaScriptAlert(const QUrl& origin, const QString& message) override;
  bool javaScriptConfirm(const QUrl& origin, const QString& message) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int line, const QString& source) override;
  // Calls of the page bridge arrive here; the page's own prompts go on as usual.
  bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& default_value,
                        QString* result) override;

 private:
  bool InDialog(const std::function<bool()>& show);

  int FDialogs = 0;
  std::function<void()> FAfterDialogs;
};

class TFrmExam : public QWidget {
  Q_OBJECT

 public:
  explicit TFrmExam(QWidget* owner = nullptr);
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

  bool Fullscreened() const { return *FFullscreened; }
  // The X window that is on the screen now.
  WId NativeWindow() const;
  // A command another process sent the window: 0x040A reload, 0x040B nothing, 0x040C close
  // as by the exit gesture.
  void WindowCommand(long number);
  // Gives the keyboard and the pointer to the window in front (this one or a dialog it opened),
  // taking them again if the server let them go.
  static constexpr int kGrabAttempts = 20;  // 50 ms apart
  void KeepInputGrabs(int attempts_left = 0);
  // The program's window that takes input in exam mode.
  QWidget* InputWindow();
  // A second monitor or a remote session covers the page with the warning panel.
  void ScreenRecheck();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class TNwNativeFilter;

  // Exam mode: borderless, screen-sized, above everything, docks hidden, keyboard taken.
  void EnterExamModel();
  void ExitExamModel();
  void TakeKeyboard(int attempts_left);
  // The page's own widget, which the keys go to.
  QWidget* PageWidget();
  // Every key event while exam mode is on; true to keep it from everyone.
  bool FilterKey(const platform::NativeKeyEvent& key);
  void StartFocusGuard();

  bool CreateBrowser();
  void LoadExamUrl();
  void ShowLoading(bool is_loading);
  void PlaceLoading(int width, int height);
  void DestroyBrowserHost();
  void Timer1Timer();

  QWebEngineView* cefwindow = nullptr;
  TNwExamPage* crm = nullptr;
  QWidget* pnlMoreScreenTip = nullptr;
  QLabel* imgStop = nullptr;
  QLabel* lbltip = nullptr;
  QWidget* pl = nullptr;
  QLabel* loading = nullptr;
  QMovie* FLoadingMovie = nullptr;
  QTimer Timer1;

  bool FBrowserAnnounced = false;
  // Shared with the focus guard, which may outlive an exam-mode period by one round.
  std::shared_ptr<std::atomic<bool>> FFullscreened = std::make_shared<std::atomic<bool>>(false);
  bool FKeyboardHooked = false;
  QPointer<QWidget> FInputWindow;
  std::vector<unsigned long> FHiddenDocks;
  std::unique_ptr<QAbstractNativeEventFilter> FNativeFilter;
  TNwExitGesture FExitGesture{SetTimeout};
  bool FCanClose = false;
  TNwCloseType FCloseType = TNwCloseType::ctNone;
};

// The exam window of the process, once created.
extern QPointer<TFrmExam> FrmExam;

}  // namespace quorvex
