// Which of the browser's cookies a download outside the browser carries.
#include "exam/cookies.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(CookieJar, ARequestCarriesTheCookiesOfItsHostPathAndScheme) {
  TNwCookieJar jar;
  jar.Add({"host", "1", "exam.example", "/", false});
  jar.Add({"domain", "2", ".example", "/", false});
  jar.Add({"deep", "3", "exam.example", "/files", false});
  jar.Add({"secure", "4", "exam.example", "/", true});
  jar.Add({"other", "5", "other.test", "/", false});
  const struct {
    const char *url, *header;
  } cases[] = {
      {"http://exam.example/doexam/1.html", "host=1; domain=2"},
      {"https://exam.example/files/a.pdf", "deep=3; host=1; domain=2; secure=4"},
      {"http://EXAM.example:8080/files", "deep=3; host=1; domain=2"},
      {"http://exam.example/filesystem", "host=1; domain=2"},  // not under /files
      {"http://sub.exam.example/", "domain=2"},                // host-only stays home
      {"http://example/", "domain=2"},
      {"http://badexample/", ""},
      {"http://exam.example?x=/files", "host=1; domain=2"},
      {"not a url", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(jar.HeaderFor(c.url), c.header) << c.url;
}

TEST(CookieJar, ACookieSetAgainReplacesItAndARemovedOneIsGone) {
  TNwCookieJar jar;
  jar.Add({"session", "old", "exam.example", "/", false});
  jar.Add({"session", "new", "EXAM.example", "/", false});
  jar.Add({"session", "elsewhere", "exam.example", "/files", false});
  EXPECT_EQ(jar.HeaderFor("http://exam.example/files/a"), "session=elsewhere; session=new");
  jar.Remove({"session", "", "exam.example", "/files", false});
  EXPECT_EQ(jar.HeaderFor("http://exam.example/files/a"), "session=new");
}

}  // namespace
}  // namespace quorvex
