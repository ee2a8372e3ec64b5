#include "common/application.h"

#include <QApplication>
#include <QMessageBox>

#include "common/language.h"
#include "common/mainthread.h"
#include "platform/process.h"

namespace quorvex {
namespace {

std::string& Title() {
  static std::string title;
  return title;
}

}  // namespace

void SetApplicationTitle(std::string title) {
  Title() = std::move(title);
}
const std::string& ApplicationTitle() {
  return Title();
}

void ShowMessageBox(const std::string& caption, const std::string& text, TNwMessageBoxIcon icon) {
  platform::DebugOutput("message box: " + caption + ": " + text);
  // Widgets need a widget application, and live on its thread only.
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  RunOnMainThreadSync([&] {
    QMessageBox box(
        icon == TNwMessageBoxIcon::miInformation ? QMessageBox::Information : QMessageBox::NoIcon,
        QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
  });
}

void ShowMessage(std::string_view key) {
  ShowMessageBox(ApplicationTitle(), I18n().i18n(key));
}

}  // namespace quorvex
