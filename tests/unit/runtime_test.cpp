#include "app/runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>

namespace quorvex {
namespace {

TEST(Runtime, UserAgentCarriesOurProductInsteadOfTheEnginesTokens) {
  EXPECT_EQ(BuildUserAgent("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like "
                           "Gecko) QtWebEngine/6.4.2 Chrome/102.0.5005.177 Safari/537.36"),
            "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
            "Chrome/81.0 TvQdxBrowser/8 Safari/537.36");
  EXPECT_EQ(BuildUserAgent("Agent/1"), "Agent/1 Chrome/81.0 TvQdxBrowser/8");
}

TEST(Runtime, SwitchesMarkTheExamOriginSecureAndLogToTheTemporaryFolder) {
  auto switches = RuntimeSwitches("/tmp/q/", "", "exam.example:8080");
  auto has = [&](const std::string& s) {
    return std::find(switches.begin(), switches.end(), s) != switches.end();
  };
  EXPECT_TRUE(has("--unsafely-treat-insecure-origin-as-secure=http://exam.example:8080"));
  EXPECT_TRUE(has("--log-file=/tmp/q/quorvex-bs.log"));
  EXPECT_TRUE(has("--enable-media-stream=1"));
  EXPECT_TRUE(has("--use-fake-ui-for-media-stream"));
  EXPECT_TRUE(has("--disable-spell-checking"));
  EXPECT_TRUE(has("--no-sandbox"));
  EXPECT_TRUE(has("--no-zygote"));
  auto https = RuntimeSwitches("/t/", "https", "exam.example");
  EXPECT_NE(std::find(https.begin(), https.end(),
                      "--unsafely-treat-insecure-origin-as-secure=https://exam.example"),
            https.end());
  EXPECT_EQ(std::find(https.begin(), https.end(), "--no-zygote"), https.end());
}

TEST(Runtime, NothingFromTheLaunchOrAPathBecomesASwitchOfItsOwn) {
  // A temporary folder with a blank stays one argument.
  auto switches = RuntimeSwitches("/tmp/with blank/", "http", "exam.example");
  EXPECT_NE(
      std::find(switches.begin(), switches.end(), "--log-file=/tmp/with blank/quorvex-bs.log"),
      switches.end());
  // Early values that are not a plain scheme and host leave the secure origin out.
  const std::tuple<const char*, const char*, std::optional<std::string>> cases[] = {
      {"http", "exam.example:8080", "http://exam.example:8080"},
      {"", "10.1.2.3", "http://10.1.2.3"},
      {"https", "[::1]:443", "https://[::1]:443"},
      {"http", "my_host.local", "http://my_host.local"},
      {"http", " --remote-debugging-port=9333", std::nullopt},
      {"http", "exam.example --remote-debugging-port=9333", std::nullopt},
      {"http --remote-debugging-port=9333", "exam.example", std::nullopt},
      {"http", "exam.example/path", std::nullopt},
      {"http", "exam.example:80,other", std::nullopt},
      {"http", "", std::nullopt},
      {"1http", "exam.example", std::nullopt},
  };
  for (const auto& [proto, domain, origin] : cases) {
    EXPECT_EQ(SecureOrigin(proto, domain), origin) << proto << "://" << domain;
    for (const std::string& s : RuntimeSwitches("/t/", proto, domain)) {
      EXPECT_EQ(s.find("remote-debugging"), std::string::npos) << s;
      if (!origin) {
        EXPECT_FALSE(s.starts_with("--unsafely-treat-insecure-origin-as-secure")) << s;
      }
    }
  }
}

TEST(Runtime, OnlyUntrustedPlainHttpSitesNeedRenderersStartedOneByOne) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"http", "exam.example:8080", true}, {"", "exam.example", true},
      {"HTTP", "10.1.2.3", true},          {"https", "exam.example", false},
      {"ftp", "exam.example", false},      {"http", "127.0.0.1:8080", false},
      {"http", "localhost:80", false},     {"http", "a.localhost", false},
      {"http", "[::1]:8080", false},       {"http", "", false},
  };
  for (const auto& [proto, domain, needed] : cases) {
    EXPECT_EQ(NeedsRendererSecureOrigin(proto, domain), needed) << proto << "://" << domain;
  }
}

TEST(Runtime, OnlyHarmlessSwitchesComeInFromOutside) {
  EXPECT_EQ(AllowedOutsideSwitches("--no-sandbox  --disable-gpu --remote-debugging-port=9222 "
                                   "--disable-web-security --use-gl=swiftshader "
                                   "--no-sandbox-x --user-data-dir=/x --single-process"),
            (std::vector<std::string>{"--no-sandbox", "--disable-gpu", "--use-gl=swiftshader"}));
  EXPECT_TRUE(AllowedOutsideSwitches("").empty());
}

}  // namespace
}  // namespace quorvex
