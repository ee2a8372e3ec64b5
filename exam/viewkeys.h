// Key presses on a browser view, whichever of its child widgets the engine has given the
// keyboard (it replaces that widget when the page moves to another site). Watched, never
// consumed: the page gets every key as before.
#pragma once

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

namespace quorvex {

class TNwViewKeys final : public QObject {
 public:
  TNwViewKeys(QWidget* view, std::function<void(const QKeyEvent&)> on_key_press);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Watch(QObject* object);

  std::function<void(const QKeyEvent&)> FOnKeyPress;
  const QKeyEvent* FLastKey = nullptr;
  quint64 FLastTime = 0;
};

}  // namespace quorvex
