// The exam window's close sequence with the real engine on an Xvfb display.
#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "app/runtime.h"
#include "common/log.h"
#include "common/resources.h"
#include "exam/exam.h"
#include "exam/filechooser.h"
#include "exam/jsext.h"
#include "platform/desktop.h"
#include "platform/keysource.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/fake_log.h"
#include "tests/support/wait.h"

namespace quorvex {
namespace {

using testing::SpinUntil;

using Clock = std::chrono::steady_clock;

// Stands in for the check window: counts the closes it is asked for.
class TMainStandIn : public QWidget {
 public:
  int closes = 0;
  Clock::time_point closed_at;

 protected:
  void closeEvent(QCloseEvent* event) override {
    ++closes;
    closed_at = Clock::now();
    event->accept();
  }
};

// The page's answer to `script`, or an invalid value when none came in time.
QVariant Eval(QWebEnginePage& page, const QString& script) {
  bool done = false;
  QVariant answer;
  page.runJavaScript(script, [&](const QVariant& value) {
    answer = value;
    done = true;
  });
  SpinUntil([&] { return done; }, std::chrono::seconds(10));
  return answer;
}

// One engine per process: the bridge and the close sequence share the window.
TEST(ExamWindow, BridgeInEveryDocumentAndClosesOnlyWithAReason) {
  e2e::XServer x;
  setenv("DISPLAY", x.display().c_str(), 1);
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu", 1);
  int argc = 1;
  char arg0[] = "exam_window_test";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  const std::string secret = NewBridgeSecret();
  AddPageScript(*QWebEngineProfile::defaultProfile(), std::string(kExtensionName),
                BridgeScript(LoadResource("qdx-extension.js").value_or(""), secret));
  testing::FakeLog log;

  TMainStandIn main;
  auto* exam = new TFrmExam(
      {
          .Profile = QWebEngineProfile::defaultProfile(),
          .Params = {"1", "127.0.0.1:9", "", "http"},
          .Desktop = &platform::Desktop(),
          .Keys = &platform::KeySource(),
          .Log = &log,
          .Strings = &I18n(),
          .BridgeMarker = NativeCallMarker(secret),
          .ScreenCheck = [] { return false; },
      },
      &main);
  exam->mainForm = &main;
  exam->show();
  ASSERT_TRUE(SpinUntil([&] { return exam->isVisible(); }, std::chrono::seconds(10)));
  auto* view = exam->findChild<QWebEngineView*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_NE(view, nullptr);
  QWebEnginePage& page = *view->page();

  // Nothing listens on port 9: the error page, which has the bridge too.
  ASSERT_TRUE(SpinUntil([&] { return page.url().scheme() == "data"; }, std::chrono::seconds(20)));
  EXPECT_TRUE(SpinUntil([&] { return Eval(page, "quorvex.GetVersion()").toInt() == 8; },
                        std::chrono::seconds(10)));
  // The client's own error page commands it as the exam does.
  Eval(page, "quorvex.EnterFullscreen()");
  EXPECT_TRUE(SpinUntil([&] { return exam->Fullscreened(); })) << "the error page is obeyed";
  Eval(page, "quorvex.ExitFullscreen()");
  EXPECT_TRUE(SpinUntil([&] { return !exam->Fullscreened(); }));

  // A document of the exam's origin is obeyed; a frame of another origin in it is not, whether
  // it calls the bridge or makes up a call of its own.
  auto refused = [&] {
    return std::count_if(log.Lines.begin(), log.Lines.end(), [](const std::string& line) {
      return line.find("refused, not the exam's origin") != std::string::npos;
    });
  };
  page.setHtml("<script>quorvex.EnterFullscreen()</script>", QUrl("http://127.0.0.1:9/exam"));
  EXPECT_TRUE(SpinUntil([&] { return exam->Fullscreened(); })) << "the exam's own page";
  Eval(page,
       "const f = document.createElement('iframe');"
       "f.src = \"data:text/html,<script>quorvex.ExitFullscreen();"
       "__quorvexNativeCall('ExitFullscreen')<\\/script>\";"
       "document.body.appendChild(f);");
  EXPECT_TRUE(SpinUntil([&] { return refused() == 2; })) << "both calls of the stranger refused:\n"
                                                         << ::testing::PrintToString(log.Lines);
  EXPECT_TRUE(exam->Fullscreened()) << "a frame of another origin left exam mode";

  // A page with a frame that replaces prompt(), which the bridge also speaks through: the
  // frame has the bridge, the bridge still answers, and the page's prompt() is its own.
  page.setHtml(
      "<script>window.prompt = (m) => 'own:' + m;</script>"
      "<iframe srcdoc=\"<script>parent.frameOrnt = quorvex.Ornt();</script>\"></iframe>");
  EXPECT_TRUE(SpinUntil([&] { return Eval(page, "window.frameOrnt").toInt() == 729184; },
                        std::chrono::seconds(10)));
  EXPECT_EQ(Eval(page, "[quorvex.GetVersion(), prompt('x')].join()").toString(), "8,own:x");

  // No reason: refused, nothing changes.
  exam->close();
  QApplication::processEvents();
  EXPECT_TRUE(exam->isVisible());
  EXPECT_NE(exam->findChild<QWebEngineView*>(QString(), Qt::FindDirectChildrenOnly), nullptr);

  // The page's own close while the window's file chooser is open: the chooser goes first, then
  // the window hides at once, the browser goes, the window closes and the check window is told
  // to close about 500 ms later.
  page.setHtml("<input type=file style='position:fixed;left:0;top:0;width:100%;height:100%'>",
               QUrl("http://127.0.0.1:9/exam"));
  ASSERT_TRUE(
      SpinUntil([&] { return Eval(page, "document.querySelector('input') !== null").toBool(); }));
  QWidget* surface = view->focusProxy();
  ASSERT_NE(surface, nullptr);
  // The chooser waits in a loop of its own inside the engine's call: the close is asked from
  // there.
  auto asked = Clock::now();
  bool dialog_seen = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* chooser = exam->findChild<TNwFileChooser*>();
    if (dialog_seen || !chooser || !chooser->isVisible()) return;
    dialog_seen = true;
    asked = Clock::now();
    exam->RequestClose(TNwCloseType::ctAPI);
  });
  watch.start(20);
  auto last_click = Clock::now() - std::chrono::seconds(10);
  ASSERT_TRUE(SpinUntil([&] {
    if (Clock::now() - last_click > std::chrono::seconds(1)) {
      QTest::mouseClick(surface, Qt::LeftButton, {}, surface->rect().center());
      last_click = Clock::now();
    }
    return dialog_seen;
  })) << "the file chooser did not open";
  EXPECT_FALSE(exam->isVisible());
  EXPECT_TRUE(SpinUntil(
      [&] {
        return exam->findChild<QWebEngineView*>(QString(), Qt::FindDirectChildrenOnly) == nullptr;
      },
      std::chrono::seconds(10)));
  ASSERT_TRUE(SpinUntil([&] { return main.closes == 1; }, std::chrono::seconds(10)));
  EXPECT_GE(main.closed_at - asked, std::chrono::milliseconds(500));
  EXPECT_EQ(exam->CloseType(), TNwCloseType::ctAPI);
  SpinUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(main.closes, 1);
}

}  // namespace
}  // namespace quorvex
