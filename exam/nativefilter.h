// Sees the program's native window-system events before Qt does, for as long as it lives.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <functional>
#include <utility>

namespace quorvex {

class TNwNativeFilter final : public QAbstractNativeEventFilter {
 public:
  // `handler` answers true to keep an event from Qt.
  using THandler = std::function<bool(const char* event_type, void* message)>;

  explicit TNwNativeFilter(THandler handler) : FHandler(std::move(handler)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~TNwNativeFilter() override {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
  }
  TNwNativeFilter(const TNwNativeFilter&) = delete;
  TNwNativeFilter& operator=(const TNwNativeFilter&) = delete;

  bool nativeEventFilter(const QByteArray& event_type, void* message, qintptr*) override {
    return FHandler(event_type.constData(), message);
  }

 private:
  THandler FHandler;
};

}  // namespace quorvex
