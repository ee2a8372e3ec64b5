// The exam window's browser page: turns the engine's events into plain signals for the window,
// answers the page bridge's calls and keeps count of the page's own dialogs.
#pragma once

#include <QRect>
#include <QWebEnginePage>

#include <functional>
#include <memory>
#include <string>

#include "exam/filechooser.h"
#include "exam/policy.h"

class QWebEngineNewWindowRequest;

namespace quorvex {

// Whom the page obeys.
struct TNwExamPageTrust {
  // "scheme://host:port" of the exam: its documents, in any frame, may command the client and
  // use the camera and the microphone without asking.
  std::string ExamOrigin;
  // Certificate errors of this host are overlooked, as exam rooms with their own certificates
  // need; every other host's are refused as a browser does.
  std::string ExamHost;
  // What the bridge's calls begin with (NativeCallMarker).
  std::string BridgeMarker;
};

// The engine's request for a new window in plain values.
struct TNwNewWindow {
  std::string Url;
  TNwDisposition Disposition = TNwDisposition::wdUnknown;
  // A link the candidate opened from the page (Ctrl+click, middle click), not a popup that
  // the page opened (a "_blank" target, window.open).
  bool FromTab = false;
  // Where the page asked the window to be; empty when it did not.
  QRect Geometry;
  bool UserGesture = false;
};
TNwNewWindow DescribeNewWindow(QWebEngineNewWindowRequest& request);

class TNwExamPage final : public QWebEnginePage {
  Q_OBJECT

 public:
  TNwExamPage(QWebEngineProfile* profile, TNwExamPageTrust trust, QObject* parent);

  // Shows the client's own page in place of one that failed to load; its Close link commands
  // the client like the exam does.
  void ShowErrorPage(const QString& html);

  // When a dialog of the page (alert, confirm, prompt, file choice) is open, closes it (as
  // cancelled), runs `then` once its call has returned and answers true; otherwise answers false.
  bool CloseDialogs(std::function<void()> then);

  // Shows the window's own chooser for each file request of the page (crmFileDialog), which
  // answers through the callback.
  void SetFileDialog(std::function<void(std::shared_ptr<TNwFileDialogCallback>)> show);
  // Asks that chooser for one file, counted with the page's dialogs; empty when cancelled.
  QStringList AskForFile();
  // Runs `show`, a modal dialog the window opens for the page, counted with the page's own
  // dialogs so that the page does not go while it is up; its answer.
  bool InDialog(const std::function<bool()>& show);

 signals:
  void LoadingStateChanged(bool is_loading);
  // The main frame's document has loaded; a page the server answered with an error status too.
  void LoadEnded(const QString& url);
  // The main frame could not be loaded.
  void LoadFailed(int error_code, const QString& error_text, const QString& failed_url);
  void ConsoleMessage(const QString& message);
  // A message of the page bridge; emitted after the script's call has returned.
  void BridgeMessage(const QString& name);
  // A command of the bridge from a document of another origin, not carried out.
  void BridgeRefused(const QString& name, const QString& origin);
  // The main frame's address: each one it commits, and each address of our own scheme it
  // navigates to (those never commit), as the exam page wrote it.
  void AddressChanged(const QString& url);

 protected:
  // Never cancels (crmBeforeBrowse): what the window cannot load fails as a load error, a
  // launch link of the exam site quietly.
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool is_main_frame) override;
  void javaScriptAlert(const QUrl& origin, const QString& message) override;
  // Answered by the window's chooser, never by a dialog of the engine's (a page without the
  // chooser gets the engine's); counted with the page's own dialogs so that it never outlives
  // the page.
  QStringList chooseFiles(FileSelectionMode mode, const QStringList& old_files,
                          const QStringList& accepted_mime_types) override;
  bool javaScriptConfirm(const QUrl& origin, const QString& message) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int line, const QString& source) override;
  // Calls of the page bridge arrive here; the page's own prompts go on as usual.
  bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& default_value,
                        QString* result) override;

 private:
  bool Obeys(const QUrl& origin) const;

  TNwExamPageTrust FTrust;
  bool FErrorPageLoading = false;
  bool FErrorPageShown = false;
  // The exam page's last navigation to an address of our scheme, as it wrote it.
  QString FReportedAddress;
  int FDialogs = 0;
  std::function<void(std::shared_ptr<TNwFileDialogCallback>)> FFileDialog;
  std::shared_ptr<TNwFileDialogCallback> FOpenFileDialog;
  std::function<void()> FAfterDialogs;
};

}  // namespace quorvex
