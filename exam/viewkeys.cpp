#include "exam/viewkeys.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QWidget>

namespace quorvex {

TNwViewKeys::TNwViewKeys(QWidget* view, std::function<void(const QKeyEvent&)> on_key_press)
    : QObject(view), FOnKeyPress(std::move(on_key_press)) {
  Watch(view);
}

void TNwViewKeys::Watch(QObject* object) {
  object->installEventFilter(this);
  for (QObject* child : object->children()) {
    if (child->isWidgetType()) Watch(child);
  }
}

bool TNwViewKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ChildAdded) {
    QObject* child = static_cast<QChildEvent*>(event)->child();
    if (child->isWidgetType() && child != this) Watch(child);
  } else if (event->type() == QEvent::KeyPress) {
    // A key the page leaves unhandled goes on to the view itself: one press, seen once.
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key != FLastKey || key->timestamp() != FLastTime) {
      FLastKey = key;
      FLastTime = key->timestamp();
      FOnKeyPress(*key);
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quorvex
