#include "app/launch.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Lines = std::vector<std::string>;

std::string TokenFor(const std::string& eid, const std::string& domain) {
  return Sha1Hex(eid + domain + std::string(kTokenSalt));
}

TEST(LaunchToken, Sha1HexOfUtf8Bytes) {
  EXPECT_EQ(Sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Sha1Hex("中"), "0869071c92c0c11170ac87036bebedb52ea0c993");
}

TEST(LaunchUrl, SplitsTheQueryBetweenTheFirstTwoQuestionMarks) {
  EXPECT_EQ(SplitLaunchUrl("tvqdx://invokedexam"), std::nullopt);
  EXPECT_EQ(SplitLaunchUrl(""), std::nullopt);
  EXPECT_EQ(*SplitLaunchUrl("x?"), Lines{""});
  EXPECT_EQ(*SplitLaunchUrl("x?a=1&&b=2&"), (Lines{"a=1", "", "b=2", ""}));
  EXPECT_EQ(*SplitLaunchUrl("x?a=1?b=2&c=3"), Lines{"a=1"});

  Lines lines{"TOKEN=abc", "eid", "token=second", "Eid=e=1"};
  EXPECT_EQ(LaunchValue(lines, "token"), "abc");
  EXPECT_EQ(LaunchValue(lines, "eid"), "e=1");
  EXPECT_EQ(LaunchValue(lines, "domain"), std::nullopt);
}

TEST(LaunchUrl, EarlyValuesForTheRuntime) {
  const struct {
    const char* url;
    const char* name;
    const char* expected;
  } cases[] = {
      {"tvqdx://invokedexam?token=t&domain=a.com&proto=https", "proto", "https"},
      {"tvqdx://invokedexam?token=t&domain=a.com&proto=https", "domain", "a.com"},
      {"tvqdx://invokedexam?domain=a.com", "proto", ""},
      {"tvqdx://invokedexam?proto", "proto", ""},
      {"tvqdx://invokedexam?proto=", "proto", ""},
      // The first occurrence counts, wherever it stands.
      {"tvqdx://invokedexam?eid=domainX=1&domain=b.org", "domain", "=1"},
  };
  for (const auto& c : cases) EXPECT_EQ(EarlyValue(c.url, c.name), c.expected) << c.url;
}

TEST(LaunchArgs, DecodesPercentThenLenientBase64) {
  EXPECT_EQ(DecodeLaunchArgs(""), "");
  EXPECT_EQ(DecodeLaunchArgs("YT0xJmI9Mg%3D%3D"), "a=1&b=2");
  EXPECT_EQ(DecodeLaunchArgs("5Lit5paH"), "中文");
  // A raw "+" becomes a blank and is skipped; "%2B" keeps the Base64 "+".
  EXPECT_EQ(LenientBase64Decode("+/+/"), "\xFB\xFF\xBF");
  EXPECT_EQ(PercentDecode("%2B%2b+%%"), "++ %");
  EXPECT_EQ(DecodeLaunchArgs("Pj4%2B"), ">>>");
  EXPECT_EQ(DecodeLaunchArgs("Pj4+"), ">>");
  EXPECT_EQ(LenientBase64Decode("Y W\n=J=j"), "abc");
  EXPECT_EQ(LenientBase64Decode("YW"), "a");  // leftover bits are dropped

  for (const char* bad : {"%", "%4", "%zz", "abc%g1", "%ff%fe"}) {
    EXPECT_THROW(DecodeLaunchArgs(bad), EDecodeError) << bad;
  }
  // Base64 of bytes that are not UTF-8, and of a NUL.
  EXPECT_THROW(DecodeLaunchArgs("/w=="), EDecodeError);
  EXPECT_THROW(DecodeLaunchArgs("AA=="), EDecodeError);
}

TEST(LaunchCommandLine, ClassifiesTheKindOfStart) {
  using K = TNwStartKind;
  const std::pair<std::vector<std::string>, TNwStartKind> cases[] = {
      {{"install"}, K::skInstall},
      {{"INSTALL"}, K::skInstall},
      {{"Install"}, K::skInstall},
      {{"install", "x"}, K::skLaunch},
      {{}, K::skNoArgument},
      {{"--type=renderer", "--lang=en-US"}, K::skSubProcess},
      {{"tvqdx://invokedexam?token=x"}, K::skLaunch},
      {{""}, K::skLaunch},
  };
  for (const auto& [args, kind] : cases) {
    EXPECT_EQ(ClassifyCommandLine(args), kind) << (args.empty() ? "(none)" : args[0]);
  }
}

TEST(LaunchCheckUrl, AcceptsAValidTokenAndStoresTheParameters) {
  const std::string token = TokenFor("E17", "Exam.Example.com");
  TNwLaunchCheck c = CheckLaunchUrl("TVQDX://InvokedExam?TOKEN=" + token +
                                    "&eid=E17&Domain=Exam.Example.com&args=YT0x&proto=ftp");
  ASSERT_EQ(c.Outcome, TNwLaunchOutcome::loAccepted);
  EXPECT_EQ(c.Params.eid, "E17");
  EXPECT_EQ(c.Params.domain, "Exam.Example.com");
  EXPECT_EQ(c.Params.args, "a=1");
  EXPECT_EQ(c.Params.proto, "ftp");

  c = CheckLaunchUrl("tvqdx://invokedexam?token=" + TokenFor("", "") + "&token=bad");
  ASSERT_EQ(c.Outcome, TNwLaunchOutcome::loAccepted);
  EXPECT_EQ(c.Params.proto, "http");
  EXPECT_EQ(c.Params.args, "");

  // The platform's own host always uses https; the digest takes the domain as sent.
  std::string host = "EXAM.QUORVEX.COM";
  c = CheckLaunchUrl("tvqdx://invokedexam?token=" + TokenFor("1", host) + "&eid=1&domain=" + host +
                     "&proto=http");
  ASSERT_EQ(c.Outcome, TNwLaunchOutcome::loAccepted);
  EXPECT_EQ(c.Params.proto, "https");
  EXPECT_EQ(c.Params.domain, host);
}

TEST(LaunchCheckUrl, RejectsOrEndsQuietly) {
  const std::string good = TokenFor("E1", "a.com");
  std::string upper = good;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(ch));
  using O = TNwLaunchOutcome;
  const std::pair<std::string, TNwLaunchOutcome> cases[] = {
      {"tvqdx://invokedexam?token=" + upper + "&eid=E1&domain=a.com", O::loInvalidToken},
      {"tvqdx://invokedexam?token=&eid=E1&domain=a.com", O::loInvalidToken},
      {"tvqdx://invokedexam?token=" + good + "&eid=E1&domain=b.com", O::loInvalidToken},
      {"tvqdx://invokedexam?eid=E1&domain=a.com?token=" + good, O::loQuietEnd},
      {"tvqdx://invokedexam?eid=E1&domain=a.com", O::loQuietEnd},
      {"tvqdx://invokedexam?token&eid=E1", O::loQuietEnd},
      {"tvqdx://invokedexam", O::loQuietEnd},
      {"tvqdx://invokedexa?token=" + good, O::loQuietEnd},
      {"http://invokedexam?token=" + good, O::loQuietEnd},
      {"", O::loQuietEnd},
      {"tvqdx://invokedexam?token=" + good + "&eid=E1&domain=a.com&args=%zz", O::loQuietEnd},
      {"tvqdx://invokedexam?token=" + good + "&eid=E1&domain=a.com&args=%ff", O::loQuietEnd},
      {std::string("tvqdx://invokedexam?token=x\0y", 29), O::loQuietEnd},
      {"tvqdx://invokedexam?token=\xC3\x28", O::loQuietEnd},
      {"tvqdx://invokedexam?token=" + std::string(1 << 20, 'a'), O::loInvalidToken},
      {"tvqdx://invokedexam?" + std::string(1 << 20, '&'), O::loQuietEnd},
      {"tvqdx://invokedexam?token=1&args=" + std::string((1 << 20) + 1, '%'), O::loQuietEnd},
  };
  for (const auto& [url, outcome] : cases) {
    EXPECT_EQ(CheckLaunchUrl(url).Outcome, outcome) << url.substr(0, 80);
  }
}

}  // namespace
}  // namespace quorvex
