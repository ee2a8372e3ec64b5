// The exam window: hosts the embedded browser with the exam page, the loading panel, the
// screen warning panel and the close sequence.
#pragma once

#include <QLabel>
#include <QMovie>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include <string>

#include "exam/examlogic.h"

namespace quorvex {

// The exam window's browser page: hands the engine's events to the window's handlers.
class TNwExamPage : public QWebEnginePage {
  Q_OBJECT

 public:
  TNwExamPage(QWebEngineProfile* profile, QObject* parent);

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int line, const QString& source) override;
  // Calls of the page bridge arrive here; the page's own prompts go on as usual.
  bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& default_value,
                        QString* result) override;
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

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
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
  bool FCanClose = false;
  TNwCloseType FCloseType = TNwCloseType::ctNone;
};

// The exam window of the process, once created.
extern QPointer<TFrmExam> FrmExam;

}  // namespace quorvex
