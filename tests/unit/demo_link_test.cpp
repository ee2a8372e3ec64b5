#include "demo/launch_link.h"

#include <gtest/gtest.h>

#include "app/launch.h"

namespace quorvex::demo {
namespace {

TEST(DemoLaunchLink, EncodesBase64WithFillAndEscapesAllButUnreserved) {
  // The client's decoder skips the fill, so only these vectors show it is right.
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64Encode("\xFB\xFF\xBF"), "+/+/");
  EXPECT_EQ(PercentEncode("+/= %&?#aZ09-._~\xE4"), "%2B%2F%3D%20%25%26%3F%23aZ09-._~%E4");
}

TEST(DemoLaunchLink, ClientAcceptsTheLinkAndDecodesTheSameValues) {
  const struct {
    const char* eid;
    const char* domain;
    const char* args;
    const char* proto;
  } cases[] = {
      {"demo-1", "127.0.0.1:8765", "candidate=Demo Candidate&lang=en&paper=1", "http"},
      {"e.2_x~", "127.0.0.1:1", "", "http"},
      {"x", "Exam.Example.org", "name=中文 ü", "https"},
      // Base64 "Pz8/Pj4+": both "/" and "+" must survive the client's percent step.
      {"x", "h", "\?\?\?>>>", "http"},
      {"x", "h", "a%2B+b=c&d", "http"},
      {"x", "h", "a", "http"},
      {"x", "h", "ab", "http"},
  };
  for (const auto& c : cases) {
    const std::string url = SignedLaunchUrl(c.eid, c.domain, c.args, c.proto);
    const TNwLaunchCheck check = CheckLaunchUrl(url);
    ASSERT_EQ(check.Outcome, TNwLaunchOutcome::loAccepted) << url;
    EXPECT_EQ(check.Params.eid, c.eid) << url;
    EXPECT_EQ(check.Params.domain, c.domain) << url;
    EXPECT_EQ(check.Params.args, c.args) << url;
    EXPECT_EQ(check.Params.proto, c.proto) << url;
  }
}

TEST(DemoLaunchLink, TokenSignsEidAndDomain) {
  const std::string url = SignedLaunchUrl("demo-1", "127.0.0.1:8765", "a=1");
  ASSERT_EQ(CheckLaunchUrl(url).Outcome, TNwLaunchOutcome::loAccepted);
  const struct {
    const char* from;
    const char* to;
  } forgeries[] = {{"eid=demo-1", "eid=demo-2"},
                   {"domain=127.0.0.1:8765", "domain=127.0.0.1:8766"}};
  for (const auto& f : forgeries) {
    std::string forged = url;
    forged.replace(forged.find(f.from), std::string_view(f.from).size(), f.to);
    EXPECT_EQ(CheckLaunchUrl(forged).Outcome, TNwLaunchOutcome::loInvalidToken) << forged;
  }
}

}  // namespace
}  // namespace quorvex::demo
