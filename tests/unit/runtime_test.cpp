#include "app/runtime.h"

#include <gtest/gtest.h>

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
  EXPECT_TRUE(RuntimeSwitches("/t/", "https", "")[5].ends_with("=https://"));
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
