#include "exam/windowlock.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <stdexcept>

#include "exam/nativefilter.h"
#include "platform/process.h"

namespace quorvex {

TNwWindowLock::TNwWindowLock(TSetup setup) : FSetup(std::move(setup)) {
  if (!FSetup.Window || !FSetup.KeyTarget || !FSetup.OnKey || !FSetup.ScreenRecheck ||
      !FSetup.Log) {
    throw std::invalid_argument("TNwWindowLock needs its whole setup");
  }
}

TNwWindowLock::~TNwWindowLock() = default;

void TNwWindowLock::Cover() {
  QWidget* window = FSetup.Window;
  window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  if (QScreen* primary = QGuiApplication::primaryScreen()) window->setGeometry(primary->geometry());
  window->showFullScreen();
}

void TNwWindowLock::Uncover() {
  // A window on its way out (hidden first) is not shown again for it.
  const bool shown = FSetup.Window->isVisible();
  FSetup.Window->setWindowFlags(Qt::Window);
  if (shown) FSetup.Window->showMaximized();
}

unsigned long TNwWindowLock::NativeWindow() const {
  // The platform window may get a new native window when its flags change; the widget's own
  // id would then name the old one.
  QWindow* handle = FSetup.Window->windowHandle();
  return handle ? handle->winId() : FSetup.Window->winId();
}

void TNwWindowLock::FilterKeys(bool on) {
  if (!on) {
    FKeyFilter.reset();
    return;
  }
  FKeyFilter = std::make_unique<TNwNativeFilter>([this](const char* type, void* message) {
    auto key = platform::DecodeKeyEvent(type, message);
    return key && FSetup.OnKey(*key);
  });
}

void TNwWindowLock::GrabInput() {
  FGrabbing = true;
  // The grabs follow a dialog or list of the program as it comes and goes.
  qApp->installEventFilter(this);
  // The server grants the grabs only once the window manager has put the window on the screen.
  HoldInputSoon(40, [this] {
    if (FKeyboardHooked) return;
    FSetup.Log->Error("Set keyboard hook failed message: %s",
                      {"the server did not give the window the keyboard"}, "");
  });
}

void TNwWindowLock::HoldInputSoon(int attempts_left, std::function<void()> on_failure) {
  if (!FGrabbing || HoldInput()) return;
  if (attempts_left > 0) {
    QTimer::singleShot(50, this, [this, attempts_left, on_failure = std::move(on_failure)] {
      HoldInputSoon(attempts_left - 1, on_failure);
    });
  } else if (on_failure) {
    on_failure();
  }
}

bool TNwWindowLock::HoldInput() {
  if (!FGrabbing) return false;
  // A popup list of the page holds both grabs itself while it is open.
  if (QWidget* popup = QApplication::activePopupWidget()) {
    if (FInputWindow != popup) platform::DebugOutput("input to: a popup");
    FInputWindow = popup;
    return true;
  }
  QWidget* front = InputWindow();
  // Qt's grab routes every key to the page, none to another client or the window manager; it
  // is moved only when the window in front changes, as moving it lets the server's grab go.
  QWidget* grabber = QWidget::keyboardGrabber();
  if (front == FSetup.Window) {
    QWidget* target = FSetup.KeyTarget();
    if (target && grabber != target) {
      target->grabKeyboard();
    } else if (!target && grabber) {
      grabber->releaseKeyboard();
    }
  } else if (grabber) {
    grabber->releaseKeyboard();
  }
  // Taken again while held, the server's grabs just stay; the pointer too, or the window
  // manager's mouse bindings act (Alt with the wheel switches desktops, Alt with a button
  // moves the window).
  QWindow* handle = front->windowHandle();
  const bool keyboard = handle && handle->setKeyboardGrabEnabled(true);
  const bool pointer = handle && handle->setMouseGrabEnabled(true);
  if (keyboard && FInputWindow != front) {
    FInputWindow = front;
    platform::DebugOutput("input to: " + front->windowTitle().toStdString());
  }
  if (keyboard && !FKeyboardHooked) {
    FKeyboardHooked = true;
    FSetup.Log->Info("keyboard hook success, id:%d", {static_cast<int64_t>(NativeWindow())}, "");
  }
  return keyboard && pointer;
}

void TNwWindowLock::ReleaseInput() {
  FGrabbing = false;
  qApp->removeEventFilter(this);
  if (QWidget* grabber = QWidget::keyboardGrabber()) grabber->releaseKeyboard();
  // The server keeps one grab of each kind per program, whichever window holds it.
  if (QWindow* window = InputWindow()->windowHandle()) {
    window->setKeyboardGrabEnabled(false);
    window->setMouseGrabEnabled(false);
  }
  FKeyboardHooked = false;
  FInputWindow = nullptr;
}

QWidget* TNwWindowLock::InputWindow() const {
  QWidget* modal = QApplication::activeModalWidget();
  return modal && modal != FSetup.Window && modal->isVisible() ? modal->window() : FSetup.Window;
}

void TNwWindowLock::BringToFront() {
  // Asked from the GUI thread as the window manager expects.
  FSetup.Window->raise();
  QWidget* front = InputWindow();
  if (front != FSetup.Window) front->raise();
  front->activateWindow();
}

std::vector<unsigned long> TNwWindowLock::OwnWindows() const {
  std::vector<unsigned long> own;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    QWindow* handle = widget->windowHandle();
    if (widget != FSetup.Window && widget->isVisible() && handle) own.push_back(handle->winId());
  }
  return own;
}

bool TNwWindowLock::eventFilter(QObject* watched, QEvent* event) {
  if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->isWindow() && watched != FSetup.Window) {
    QTimer::singleShot(0, this, [this] { HoldInputSoon(kGrabAttempts); });
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quorvex
