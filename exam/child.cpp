#include "exam/child.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineView>

#include <algorithm>

#include "exam/policy.h"
#include "platform/process.h"

namespace quorvex {

TNwBox PopupBounds(TNwBox form, int frame_width, int frame_height, const TNwPopupFeatures& features,
                   const TNwBox& desktop) {
  auto clamp = [](int value, int edge, int room) {
    return std::min(std::max(value, std::max(edge, 0)), room);
  };
  if (features.XSet) form.Left = clamp(features.X, desktop.Left, desktop.Width - form.Width);
  if (features.YSet) form.Top = clamp(features.Y, desktop.Top, desktop.Height - form.Height);
  if (features.WidthSet) form.Width = std::max(features.Width, 100) + frame_width;
  if (features.HeightSet) form.Height = std::max(features.Height, 100) + frame_height;
  return form;
}

TChildForm::TChildForm(TNwChildFormSetup setup, QWidget* owner)
    : QWidget(owner, Qt::Window), FSetup(std::move(setup)) {
  setAttribute(Qt::WA_DeleteOnClose);
  // A popup never keeps the program running on its own.
  setAttribute(Qt::WA_QuitOnClose, false);
  setWindowTitle("Popup");
  resize(352, 256);
  Panel1 = new QWebEngineView(this);
  Panel1->setStyleSheet("background: white;");
  auto* fill = new QVBoxLayout(this);
  fill->setContentsMargins(0, 0, 0, 0);
  fill->addWidget(Panel1);
}

TChildForm::~TChildForm() {
  if (FClientInitialized) emit PopupFormDestroyed();
}

bool TChildForm::CreateClientHandler(QWebEngineNewWindowRequest& request) {
  if (FClientInitialized || !FSetup.Profile) return false;
  const QRect asked = request.requestedGeometry();
  FPopupFeatures = {
      .X = asked.x(),
      .Y = asked.y(),
      .Width = asked.width(),
      .Height = asked.height(),
      // The engine hands over a rectangle without the page's flags: a value of 0 is unset.
      .XSet = asked.x() != 0,
      .YSet = asked.y() != 0,
      .WidthSet = asked.width() > 0,
      .HeightSet = asked.height() > 0,
  };
  Chromium1 = new TNwExamPage(FSetup.Profile, FSetup.Trust, this);
  connect(Chromium1, &QWebEnginePage::titleChanged, this, &TChildForm::Chromium1TitleChange);
  connect(Chromium1, &QWebEnginePage::newWindowRequested, this, &TChildForm::Chromium1BeforePopup);
  connect(Chromium1, &QWebEnginePage::windowCloseRequested, this,
          &TChildForm::Chromium1BeforeClose);
  request.openIn(Chromium1);
  Panel1->setPage(Chromium1);
  FClientInitialized = true;
  return true;
}

void TChildForm::ApplyPopupFeatures() {
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect desktop = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const TNwBox bounds =
      PopupBounds({frame.x(), frame.y(), frame.width(), frame.height()},
                  frame.width() - client.width(), frame.height() - client.height(), FPopupFeatures,
                  {desktop.x(), desktop.y(), desktop.width(), desktop.height()});
  move(bounds.Left, bounds.Top);
  resize(bounds.Width - (frame.width() - client.width()),
         bounds.Height - (frame.height() - client.height()));
}

void TChildForm::ShowPopupForm() {
  // Centred first, as the form is designed; the page's own wishes then apply.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  ApplyPopupFeatures();
  showMaximized();
  platform::DebugOutput("popup window shown");
}

void TChildForm::Chromium1TitleChange(const QString& title) {
  setWindowTitle(title);
}

void TChildForm::Chromium1BeforePopup(QWebEngineNewWindowRequest& request) {
  // No further window: each request is left unanswered, which cancels it.
  const std::string url = request.requestedUrl().toString().toStdString();
  platform::DebugOutput("popup of a popup refused: " + url);
  if (IsPdfTarget(url) && FSetup.DownloadFile) FSetup.DownloadFile(url, this);
}

void TChildForm::Chromium1BeforeClose() {
  FCanClose = true;
  QMetaObject::invokeMethod(this, "close", Qt::QueuedConnection);
}

void TChildForm::closeEvent(QCloseEvent* event) {
  if (FCanClose) {
    event->accept();
    return;
  }
  event->ignore();
  if (FClosing) return;
  FClosing = true;
  hide();
  if (!Chromium1) {
    Chromium1BeforeClose();
    return;
  }
  // The page goes first (once any dialog of it has returned); the form follows.
  auto close_page = [this] {
    Panel1->setPage(nullptr);
    Chromium1->deleteLater();
    Chromium1 = nullptr;
    Chromium1BeforeClose();
  };
  if (!Chromium1->CloseDialogs(close_page)) close_page();
}

}  // namespace quorvex
