#include "exam/exampage.h"

#include <QtWebEngineCore/private/qwebenginenewwindowrequest_p.h>
#include <QApplication>
#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWidget>

#include <optional>
#include <string>
#include <utility>

#include "app/launch.h"
#include "exam/examlogic.h"
#include "exam/jsext.h"
#include "platform/process.h"

namespace content {
class WebContents;
}

// The engine's own object behind a new-window request. Of it only this member, exported by
// the engine's library, is used.
namespace QtWebEngineCore {
class WebContentsAdapter {
 public:
  content::WebContents* webContents() const;
};
}  // namespace QtWebEngineCore

namespace quorvex {

namespace {

struct TNwRequestAccess : QWebEngineNewWindowRequest {
  // A popup comes with the page the engine has already made for it; a link opened from a tab
  // comes without one, to be loaded wherever the request is answered. Nothing public tells
  // the two apart.
  static bool ComesWithPage(QWebEngineNewWindowRequest& request) {
    const auto& d = request.*(&TNwRequestAccess::d_ptr);
    return d && d->adapter && d->adapter->webContents();
  }
};

// The engine's destinations as the runtime's dispositions:
//   InNewTab            3 new foreground tab  (a "_blank" target, window.open without features,
//                                              Ctrl+Shift+click)
//   InNewBackgroundTab  4 new background tab  (Ctrl+click, middle click)
//   InNewDialog         5 new popup           (window.open with features)
//   InNewWindow         6 new window          (Shift+click)
// The other dispositions never reach a new-window request.
TNwDisposition DispositionOf(QWebEngineNewWindowRequest::DestinationType destination) {
  switch (destination) {
    case QWebEngineNewWindowRequest::InNewTab:
      return TNwDisposition::wdNewForegroundTab;
    case QWebEngineNewWindowRequest::InNewBackgroundTab:
      return TNwDisposition::wdNewBackgroundTab;
    case QWebEngineNewWindowRequest::InNewDialog:
      return TNwDisposition::wdNewPopup;
    case QWebEngineNewWindowRequest::InNewWindow:
      return TNwDisposition::wdNewWindow;
  }
  return TNwDisposition::wdUnknown;
}

bool IsOurScheme(const QUrl& url) {
  return url.scheme().toStdString() == kScheme;
}

}  // namespace

TNwNewWindow DescribeNewWindow(QWebEngineNewWindowRequest& request) {
  return {
      .Url = request.requestedUrl().toString().toStdString(),
      .Disposition = DispositionOf(request.destination()),
      .FromTab = !TNwRequestAccess::ComesWithPage(request),
      .Geometry = request.requestedGeometry(),
      .UserGesture = request.isUserInitiated(),
  };
}

TNwExamPage::TNwExamPage(QWebEngineProfile* profile, TNwExamPageTrust trust, QObject* parent)
    : QWebEnginePage(profile, parent), FTrust(std::move(trust)) {
  // The exam may use camera and microphone without asking the candidate; nobody else may.
  connect(this, &QWebEnginePage::featurePermissionRequested, this,
          [this](const QUrl& origin, Feature feature) {
            bool media = feature == MediaAudioCapture || feature == MediaVideoCapture ||
                         feature == MediaAudioVideoCapture;
            const bool exam = OriginOf(origin.toString().toStdString()) == FTrust.ExamOrigin;
            setFeaturePermission(origin, feature,
                                 media && exam ? PermissionGrantedByUser : PermissionDeniedByUser);
          });
  connect(this, &QWebEnginePage::certificateError, this, [this](QWebEngineCertificateError error) {
    if (HostOf(error.url().toString().toStdString()) == FTrust.ExamHost) {
      error.acceptCertificate();
    } else {
      error.rejectCertificate();
    }
  });
  connect(this, &QWebEnginePage::urlChanged, this,
          [this](const QUrl& url) { emit AddressChanged(url.toString()); });
  connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    const QString url = info.url().toString();
    switch (info.status()) {
      case QWebEngineLoadingInfo::LoadStartedStatus:
        FErrorPageShown = std::exchange(FErrorPageLoading, false);
        emit LoadingStateChanged(true);
        break;
      case QWebEngineLoadingInfo::LoadStoppedStatus:
        // Stopped before anything was shown (an address of our own scheme, a load that another
        // one replaced): the page stays as it was.
        platform::DebugOutput("load stopped: " + url.toStdString());
        emit LoadingStateChanged(false);
        break;
      case QWebEngineLoadingInfo::LoadSucceededStatus:
        emit LoadingStateChanged(false);
        emit LoadEnded(url);
        break;
      case QWebEngineLoadingInfo::LoadFailedStatus:
        emit LoadingStateChanged(false);
        // A page the server answered with an error status is a page like any other.
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
          emit LoadEnded(url);
        } else {
          emit LoadFailed(info.errorCode(), info.errorString(), url);
        }
        break;
    }
  });
}

bool TNwExamPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool is_main_frame) {
  if (is_main_frame && IsOurScheme(url)) {
    // The engine's text has its host lower-cased; the page's own report keeps the letters.
    const QString seen = url.toString();
    const QString written = std::exchange(FReportedAddress, QString());
    emit AddressChanged(written.compare(seen, Qt::CaseInsensitive) == 0 ? written : seen);
  }
  return true;
}

void TNwExamPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message,
                                           int, const QString&) {
  emit ConsoleMessage(message);
}

void TNwExamPage::javaScriptAlert(const QUrl& origin, const QString& message) {
  InDialog([&] {
    QWebEnginePage::javaScriptAlert(origin, message);
    return true;
  });
}

QStringList TNwExamPage::chooseFiles(FileSelectionMode mode, const QStringList& old_files,
                                     const QStringList& accepted_mime_types) {
  // Whatever the page asked for (several files, a folder, certain types): one file or none.
  if (FFileDialog) return AskForFile();
  // A page without the window's chooser (a popup's) gets the engine's own dialog.
  QStringList files;
  InDialog([&] {
    files = QWebEnginePage::chooseFiles(mode, old_files, accepted_mime_types);
    return true;
  });
  return files;
}

QStringList TNwExamPage::AskForFile() {
  if (!FFileDialog) return {};
  QStringList files;
  InDialog([&] {
    FOpenFileDialog = std::make_shared<TNwFileDialogCallback>();
    FFileDialog(FOpenFileDialog);
    files = FOpenFileDialog->Wait();
    FOpenFileDialog.reset();
    return true;
  });
  return files;
}

void TNwExamPage::SetFileDialog(std::function<void(std::shared_ptr<TNwFileDialogCallback>)> show) {
  FFileDialog = std::move(show);
}

bool TNwExamPage::javaScriptConfirm(const QUrl& origin, const QString& message) {
  return InDialog([&] { return QWebEnginePage::javaScriptConfirm(origin, message); });
}

void TNwExamPage::ShowErrorPage(const QString& html) {
  FErrorPageLoading = true;
  setHtml(html);
}

bool TNwExamPage::Obeys(const QUrl& origin) const {
  const std::string caller = OriginOf(origin.toString().toStdString());
  if (!caller.empty()) return caller == FTrust.ExamOrigin;
  // The error page is a document without an origin, and nothing but it is in the view.
  return FErrorPageShown && url().scheme() == QLatin1String("data");
}

bool TNwExamPage::javaScriptPrompt(const QUrl& origin, const QString& message,
                                   const QString& default_value, QString* result) {
  const std::string text = message.toStdString();
  if (FTrust.BridgeMarker.empty() || !text.starts_with(FTrust.BridgeMarker)) {
    return InDialog(
        [&] { return QWebEnginePage::javaScriptPrompt(origin, message, default_value, result); });
  }
  const bool obeys = Obeys(origin);
  const std::string_view call = std::string_view(text).substr(FTrust.BridgeMarker.size());
  if (call.starts_with(kAddressReport)) {
    if (obeys)
      FReportedAddress = QString::fromStdString(std::string(call.substr(kAddressReport.size())));
    *result = QString();
    return true;
  }
  TNwExternalJsExtension extension([this, obeys, origin](const std::string& name) {
    // After the script's call has returned, as a message from another process would come.
    QMetaObject::invokeMethod(
        this,
        [this, obeys, origin, name = QString::fromStdString(name)] {
          if (obeys) {
            emit BridgeMessage(name);
          } else {
            emit BridgeRefused(name, origin.toString());
          }
        },
        Qt::QueuedConnection);
  });
  std::optional<int> retval;
  extension.Execute(call, retval);
  *result = retval ? QString::number(*retval) : QString();
  return true;
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
  if (FOpenFileDialog) FOpenFileDialog->Cancel();
  // A page's dialog is a modal window of the view; closing it answers as Cancel does.
  while (QWidget* dialog = QApplication::activeModalWidget()) {
    if (!dialog->close()) break;
  }
  return true;
}

}  // namespace quorvex
