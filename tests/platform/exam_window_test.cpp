// The exam window's close sequence with the real engine on an Xvfb display.
#include <QApplication>
#include <QCloseEvent>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "app/runtime.h"
#include "exam/exam.h"
#include "exam/jsext.h"
#include "platform/platform.h"
#include "tests/e2e/e2e_support.h"
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
  LaunchParameters::Store({"1", "127.0.0.1:9", "", "http"});
  AddPageScript(*QWebEngineProfile::defaultProfile(), std::string(kExtensionName),
                BridgeScript(platform::LoadResource("qdx-extension.js").value_or("")));

  TMainStandIn main;
  auto* exam = new TFrmExam(&main);
  exam->mainForm = &main;
  exam->show();
  ASSERT_TRUE(SpinUntil([&] { return exam->isVisible(); }, std::chrono::seconds(10)));
  auto* view = exam->findChild<QWebEngineView*>();
  ASSERT_NE(view, nullptr);
  QWebEnginePage& page = *view->page();

  // Nothing listens on port 9: the error page, which has the bridge too.
  ASSERT_TRUE(SpinUntil([&] { return page.url().scheme() == "data"; }, std::chrono::seconds(20)));
  EXPECT_TRUE(SpinUntil([&] { return Eval(page, "quorvex.GetVersion()").toInt() == 8; },
                        std::chrono::seconds(10)));

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
  EXPECT_NE(exam->findChild<QWebEngineView*>(), nullptr);

  // The page's own close: hidden at once, the browser goes, then the window closes and the
  // check window is told to close about 500 ms later.
  const auto asked = Clock::now();
  exam->RequestClose(TNwCloseType::ctAPI);
  EXPECT_FALSE(exam->isVisible());
  EXPECT_TRUE(SpinUntil([&] { return exam->findChild<QWebEngineView*>() == nullptr; },
                        std::chrono::seconds(10)));
  ASSERT_TRUE(SpinUntil([&] { return main.closes == 1; }, std::chrono::seconds(10)));
  EXPECT_GE(main.closed_at - asked, std::chrono::milliseconds(500));
  EXPECT_EQ(exam->CloseType(), TNwCloseType::ctAPI);
  SpinUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(main.closes, 1);
}

}  // namespace
}  // namespace quorvex
