// Exam mode's hold on the exam window itself: covering the screen, the keyboard and pointer
// grabs that follow the program's own dialogs and lists, the key filter and the focus guard's
// round on the GUI thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "common/log.h"
#include "exam/exammode.h"
#include "platform/desktop.h"

namespace quorvex {

class TNwNativeFilter;

class TNwWindowLock final : public QObject, public INwExamWindow {
  Q_OBJECT

 public:
  struct TSetup {
    // The window to lock.
    QWidget* Window = nullptr;
    // The widget the window's keys go to (the page's), or the window itself when it has none;
    // none while a panel of the window's own takes them by its focus.
    std::function<QWidget*()> KeyTarget;
    // Every key event while the filter is on; true keeps it from everyone.
    std::function<bool(const platform::TNativeKeyEvent&)> OnKey;
    std::function<void()> ScreenRecheck;
    ILogWriter* Log = nullptr;
  };

  explicit TNwWindowLock(TSetup setup);
  ~TNwWindowLock() override;

  void Cover() override;
  void Uncover() override;
  unsigned long NativeWindow() const override;
  void FilterKeys(bool on) override;
  void GrabInput() override;
  void ReleaseInput() override;
  bool HoldInput() override;
  void BringToFront() override;
  std::vector<unsigned long> OwnWindows() const override;
  void ScreenRecheck() override { FSetup.ScreenRecheck(); }

  // The program's window that takes input in exam mode: a dialog the window opened (alert,
  // confirm, prompt) blocks it and needs the keys and clicks itself.
  QWidget* InputWindow() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  static constexpr int kGrabAttempts = 20;  // 50 ms apart

  // Holds the input, trying again every 50 ms while attempts are left; `on_failure` runs when
  // none is left.
  void HoldInputSoon(int attempts_left, std::function<void()> on_failure = {});

  TSetup FSetup;
  bool FGrabbing = false;
  bool FKeyboardHooked = false;
  QPointer<QWidget> FInputWindow;
  std::unique_ptr<TNwNativeFilter> FKeyFilter;
};

}  // namespace quorvex
