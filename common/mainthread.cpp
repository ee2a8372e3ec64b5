#include "common/mainthread.h"

#include <QCoreApplication>
#include <QThread>

namespace quorvex {

bool RunOnMainThreadSync(const std::function<void()>& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  if (QThread::currentThread() == app->thread()) {
    fn();
    return true;
  }
  return QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

}  // namespace quorvex
