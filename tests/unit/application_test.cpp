#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <future>
#include <thread>

#include "common/application.h"
#include "common/mainthread.h"
#include "common/resources.h"
#include "tests/support/wait.h"

namespace quorvex {
namespace {

using namespace std::chrono_literals;

TEST(Resources, CompiledInAndMissing) {
  EXPECT_TRUE(LoadResource("LANGUAGEINI").has_value());
  EXPECT_EQ(LoadResource("NOSUCHRESOURCE"), std::nullopt);
}

TEST(MainThread, WithoutAnApplicationNothingServicesIt) {
  bool ran = false;
  EXPECT_FALSE(RunOnMainThreadSync([&] { ran = true; }));
  EXPECT_FALSE(ran);
}

TEST(CheckInformationBox, WithoutAnApplicationNothingIsShown) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  // From a worker, as the checks call it: a box without a widget application would end the
  // process, and one waiting for a main thread that nobody services would never return.
  auto shown = std::async(std::launch::async, [] {
    ShowMessageBox("Quorvex", "text", TNwMessageBoxIcon::miInformation);
  });
  EXPECT_EQ(shown.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(QCoreApplication::instance(), nullptr);
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
    ShowMessageBox("Quorvex", "CPU: 2, Memory: 3G", TNwMessageBoxIcon::miInformation);
    returned = true;
  });
  const bool done = testing::WaitFor(
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
}  // namespace quorvex
