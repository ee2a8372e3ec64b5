// The program started from the command line, as the browser or a person starts it.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "app/launch.h"
#include "tests/e2e/e2e_support.h"

namespace quorvex::e2e {
namespace {

const std::string kLogStart =
    "[INFO    ] -------------------------  start --------------------- []";

std::string ValidUrl(const std::string& eid, const std::string& domain) {
  return "tvqdx://invokedexam?token=" + Sha1Hex(eid + domain + std::string(kTokenSalt)) +
         "&eid=" + eid + "&domain=" + domain + "&args=YT0x&proto=http";
}

class Launch : public ::testing::Test {
 protected:
  std::unique_ptr<Process> Start(const std::vector<std::string>& args,
                                 const std::string& lang = "en_US.UTF-8") {
    std::vector<std::string> argv = {QUORVEX_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<Process>(
        argv,
        std::map<std::string, std::string>{
            {"DISPLAY", x_.display()},
            {"TMPDIR", tmp_.path()},
            // The lock of one client per user is this test's own.
            {"XDG_RUNTIME_DIR", tmp_.path()},
            {"QUORVEX_DEBUG", "1"},
            {"LANG", lang},
            {"LC_ALL", ""},
            {"LC_MESSAGES", ""},
            {"QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu"},
        },
        out_.path());
  }

  // Waits for the message box titled `title`, checks that it is the only window, and
  // answers it with Enter.
  void AnswerMessageBox(Process& p, const std::string& title) {
    std::vector<std::string> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = x_.FindWindows(".")).empty(); }, 20s)) << p.Stderr();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(x_.FindWindows("^" + title + "$"), boxes);
    x_.PressKeys(boxes[0], "Return");
  }

  void ExpectCleanExit(Process& p) {
    auto status = p.WaitExit(20s);
    ASSERT_TRUE(status.has_value()) << "still running";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status) << "\n"
                                    << p.Stderr();
    EXPECT_EQ(WEXITSTATUS(*status), 0) << p.Stderr();
  }

  std::string Log() { return ReadFile(tmp_.path() + "quorvex.00..log"); }

  XServer x_;
  ScratchDir tmp_, out_;
};

TEST_F(Launch, NoArgumentShowsTheInvalidCallMessage) {
  auto p = Start({});
  AnswerMessageBox(*p, "Quorvex module");
  ExpectCleanExit(*p);
  EXPECT_NE(
      p->Stderr().find("message box: Quorvex module: Invalid call arguments, please try again."),
      std::string::npos);
}

TEST_F(Launch, ChineseUserLocaleGetsTheChineseTexts) {
  auto p = Start({"tvqdx://invokedexam?token=0000&eid=1&domain=a.com"}, "zh_CN.UTF-8");
  AnswerMessageBox(*p, "Quorvex");
  ExpectCleanExit(*p);
  EXPECT_NE(p->Stderr().find("message box: Quorvex: 不正确的调用方式"), std::string::npos);
}

TEST_F(Launch, AValidTokenIsAcceptedAndLogged) {
  auto p = Start({ValidUrl("E17", "127.0.0.1:8080")});
  EXPECT_TRUE(WaitFor(
      [&] {
        return p->Stderr().find(
                   "launch accepted: eid=E17 domain=127.0.0.1:8080 proto=http args=a=1") !=
               std::string::npos;
      },
      20s))
      << p->Stderr();
  // The check window takes over from here; the road tests follow it.
  EXPECT_TRUE(p->Running());
  // The log is written behind the program's back: wait for the first whole line.
  std::string log;
  EXPECT_TRUE(WaitFor([&] { return (log = Log()).find("\r\n") != std::string::npos; }, 10s));
  std::string first = log.substr(0, log.find("\r\n"));
  EXPECT_TRUE(first.ends_with(kLogStart)) << first;
}

TEST_F(Launch, ASecondInstanceLogsAndShowsNothing) {
  // The first client waits on its message box, holding the instance lock.
  auto first = Start({"tvqdx://invokedexam?token=bad&eid=1"});
  ASSERT_TRUE(WaitFor([&] { return !x_.FindWindows(".").empty(); }, 20s)) << first->Stderr();

  auto second = Start({ValidUrl("E1", "a.com")});
  ExpectCleanExit(*second);
  EXPECT_EQ(second->Stderr().find("launch accepted"), std::string::npos);
  EXPECT_EQ(x_.FindWindows(".").size(), 1u);
  EXPECT_NE(Log().find("[ERROR   ] enter quorvexmodule fail, a instance is already started. []"),
            std::string::npos)
      << Log();

  AnswerMessageBox(*first, "Quorvex module");
  ExpectCleanExit(*first);
}

TEST_F(Launch, MalformedUrlsEndQuietlyOrWithTheMessage) {
  const std::string good = Sha1Hex("E1a.com" + std::string(kTokenSalt));
  const struct {
    std::vector<std::string> args;
    bool message;
  } cases[] = {
      {{"tvqdx://invokedexam"}, false},
      {{"tvqdx://invokedexam?"}, false},
      {{"tvqdx://invokedexam?token"}, false},
      {{"TVQDX://InvokedExam?TOKEN=" + std::string(40, '0') + "&eid=E1&domain=a.com"}, true},
      {{"tvqdx://invokedexam?token=" + good + "&eid=E1&domain=a.com&args=%zz"}, false},
      {{"tvqdx://invokedexam?token=" + good + "&eid=E1&domain=a.com&args=%ff%fe"}, false},
      {{"tvqdx://invokedexam?token=\xff\xfe"}, false},
      {{"https://example.com/?token=" + good}, false},
      {{""}, false},
      {{"install", "extra"}, false},
      {{"tvqdx://invokedexam?token=" + std::string(100000, 'f')}, true},
      {{"tvqdx://invokedexam?" + std::string(100000, '%')}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0].substr(0, 60));
    auto p = Start(c.args);
    if (c.message) AnswerMessageBox(*p, "Quorvex module");
    ExpectCleanExit(*p);
    EXPECT_TRUE(x_.FindWindows(".").empty());
    EXPECT_EQ(p->Stderr().find("launch accepted"), std::string::npos);
  }
}

}  // namespace
}  // namespace quorvex::e2e
