#include "common/resources.h"
#include "exam/examlogic.h"

#include <gtest/gtest.h>

#include "tests/support/checks_fakes.h"

namespace quorvex {
namespace {

TEST(ExamUrl, BuiltFromTheLaunchParametersAsTheyStand) {
  EXPECT_EQ(BuildExamUrl({"1234", "d", "a=1&b=2", "p"}), "p://d/doexam/1234.html?a=1&b=2");
  EXPECT_EQ(BuildExamUrl({"1234", "d", "", "p"}), "p://d/doexam/1234.html?");
  EXPECT_EQ(BuildExamUrl({"e 1", "127.0.0.1:80", "x=中 文", "http"}),
            "http://127.0.0.1:80/doexam/e 1.html?x=中 文");
}

TEST(ExamUrl, LaunchLinksAreKnownInAnyCase) {
  EXPECT_TRUE(IsLaunchLink("tvqdx://invokedexam?token=1"));
  EXPECT_TRUE(IsLaunchLink("TVQDX://InvokedExam"));
  EXPECT_FALSE(IsLaunchLink("tvqdx://closeBrowswer"));
  EXPECT_FALSE(IsLaunchLink("http://tvqdx://invokedexam"));
}

class LoadErrorPage : public ::testing::Test {
 protected:
  const std::string tmpl_ =
      "%style%|<h1>%title%</h1><p>%tip%</p><a href=\"%action1href%\">%action1%</a>"
      "<a href=\"%action2href%\">%action2%</a>";
  TNwI18n en_{LoadResource("LANGUAGEINI"), "en-us"};
};

TEST_F(LoadErrorPage, FillsThePlaceholdersInOrder) {
  std::string page = BuildLoadErrorPage(tmpl_, "<style>s</style>", en_, -105, "NAME_NOT_RESOLVED",
                                        "http://exam.example/doexam/1.html?a=1");
  EXPECT_EQ(page,
            "<style>s</style>|<h1>The Exam Page Load Failed</h1><p>The exam page load failed, "
            "please check your network connections, please check if have any proxy, fire wall, "
            "or antivirals software turned on, and then retry. <br/>-105:NAME_NOT_RESOLVED</p>"
            "<a href=\"http://exam.example/doexam/1.html?a=1\">Retry</a>"
            "<a href=\"javascript:window.quorvex.Close()\">Close</a>");

  TNwI18n zh(LoadResource("LANGUAGEINI"), "zh-cn");
  page = BuildLoadErrorPage(tmpl_, "", zh, -3, "ERR_ABORTED", "u");
  EXPECT_NE(page.find("<h1>考试页面加载失败</h1>"), std::string::npos);
  EXPECT_NE(page.find(">重试</a>"), std::string::npos);
  EXPECT_NE(page.find(">关闭</a>"), std::string::npos);
}

TEST_F(LoadErrorPage, PlaceholdersInTheUrlFollowTheOrderAndMarkupIsEscaped) {
  std::string page = BuildLoadErrorPage(tmpl_, "", en_, -2, "x", "http://h/%title%/%action2%");
  EXPECT_NE(page.find("href=\"http://h/%title%/Close\""), std::string::npos) << page;

  page = BuildLoadErrorPage(tmpl_, "", en_, -2, "<img src=x onerror=alert(1)>",
                            "http://h/\"><script>alert(1)</script>");
  EXPECT_EQ(page.find("<script>"), std::string::npos) << page;
  EXPECT_EQ(page.find("<img"), std::string::npos) << page;
  EXPECT_NE(page.find("href=\"http://h/&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\""),
            std::string::npos)
      << page;
}

TEST(ExamClose, NeedsAReasonAndTakesTwoPasses) {
  testing::FakeLog log;
  bool can_close = false;
  EXPECT_EQ(CloseQuery(TNwCloseType::ctNone, can_close, log), TNwCloseStep::csRefuse);
  EXPECT_FALSE(can_close);
  EXPECT_EQ(CloseQuery(TNwCloseType::ctAPI, can_close, log), TNwCloseStep::csTearDown);
  EXPECT_TRUE(can_close);
  EXPECT_EQ(CloseQuery(TNwCloseType::ctAPI, can_close, log), TNwCloseStep::csClose);
  EXPECT_EQ(log.Lines, (std::vector<std::string>{
                           "INFO Clicked close query",
                           "INFO close type in none, do not close",
                           "INFO Clicked close query",
                           "INFO close type is 1, closing",
                           "INFO Clicked close query",
                           "INFO close type is 1, closing",
                       }));
  // A request while the browser is still closing goes through at once.
  can_close = true;
  EXPECT_EQ(CloseQuery(TNwCloseType::ctShutcut, can_close, log), TNwCloseStep::csClose);
  EXPECT_EQ(log.Lines.back(), "INFO close type is 2, closing");
}

TEST(ExamOrigin, OriginsCompareBySchemeHostAndPort) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://127.0.0.1:8080/doexam/1.html?a=1", "http://127.0.0.1:8080"},
      {"HTTP://Exam.Example.com/x", "http://exam.example.com:80"},
      {"https://exam.example.com", "https://exam.example.com:443"},
      {"https://user:pw@exam.example.com:8443#f", "https://exam.example.com:8443"},
      {"http://[::1]:9/", "http://[::1]:9"},
      {"http://[::1]/", "http://[::1]:80"},
      {"ftp://files.example", "ftp://files.example"},
      {"data:text/html,<p>x", ""},
      {"about:blank", ""},
      {"null", ""},
      {"", ""},
      {"http:///path", ""},
  };
  for (const auto& [url, origin] : cases) EXPECT_EQ(OriginOf(url), origin) << url;
  EXPECT_EQ(ExamOrigin({"1", "Exam.Example:8080", "", "http"}), "http://exam.example:8080");
  EXPECT_EQ(HostOf("Exam.Example:8080"), "exam.example");
  EXPECT_EQ(HostOf("https://exam.example:8443/x"), "exam.example");
  EXPECT_EQ(HostOf("[::1]:8080"), "[::1]");
}

}  // namespace
}  // namespace quorvex
