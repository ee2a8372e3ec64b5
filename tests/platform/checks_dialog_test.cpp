#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <thread>

#include "platform/platform.h"
#include "tests/e2e/e2e_support.h"

namespace quorvex::platform {
namespace {

using namespace std::chrono_literals;

TEST(CheckInformationBox, WithoutAnApplicationNothingIsShown) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  ShowMessageBox("Quorvex", "text", MessageBoxIcon::Information);
}

TEST(CheckInformationBox, AWorkerWaitsForTheBoxOnTheMainThread) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "platform_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);

  std::atomic<bool> returned{false};
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title, text;
  QMessageBox::StandardButtons buttons;
  bool returned_while_shown = true;
  bool on_main_thread = false;
  QTimer dismiss;
  QObject::connect(&dismiss, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    icon = box->icon();
    title = box->windowTitle();
    text = box->text();
    buttons = box->standardButtons();
    returned_while_shown = returned;
    on_main_thread = box->thread() == app.thread();
    box->button(QMessageBox::Ok)->click();
  });
  dismiss.start(10);

  std::thread worker([&] {
    ShowMessageBox("Quorvex", "CPU: 2, Memory: 3G", MessageBoxIcon::Information);
    returned = true;
  });
  const bool done = e2e::WaitFor(
      [&] {
        QCoreApplication::processEvents();
        return returned.load();
      },
      10s);
  worker.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(icon, QMessageBox::Information);
  EXPECT_EQ(title, "Quorvex");
  EXPECT_EQ(text, "CPU: 2, Memory: 3G");
  EXPECT_EQ(buttons, QMessageBox::Ok);
  EXPECT_FALSE(returned_while_shown);
  EXPECT_TRUE(on_main_thread);
}

}  // namespace
}  // namespace quorvex::platform
