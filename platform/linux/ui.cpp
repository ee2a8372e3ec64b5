// Resources, message boxes and the main thread, through Qt.
#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QThread>

#include "platform/platform.h"

namespace quorvex::platform {

std::optional<std::string> LoadResource(const std::string& name) {
  QFile file(QStringLiteral(":/") + QString::fromStdString(name));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.readAll().toStdString();
}

void ShowMessageBox(const std::string& caption, const std::string& text) {
  DebugOutput("message box: " + caption + ": " + text);
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                  QString::fromStdString(text), QMessageBox::Ok);
  box.exec();
}

bool RunOnMainThreadSync(const std::function<void()>& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  if (QThread::currentThread() == app->thread()) {
    fn();
    return true;
  }
  return QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

}  // namespace quorvex::platform
