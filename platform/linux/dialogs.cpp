// Message boxes with an icon, from any thread.
#include <QApplication>
#include <QMessageBox>

#include "platform/platform.h"

namespace quorvex::platform {

void ShowMessageBox(const std::string& caption, const std::string& text, MessageBoxIcon icon) {
  DebugOutput("message box: " + caption + ": " + text);
  // Widgets need a widget application, and live on its thread only.
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  RunOnMainThreadSync([&] {
    QMessageBox box(
        icon == MessageBoxIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
        QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
  });
}

}  // namespace quorvex::platform
