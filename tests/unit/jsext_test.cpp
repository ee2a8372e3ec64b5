#include "exam/jsext.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"

namespace quorvex {
namespace {

TEST(PageBridge, EveryNativeFunctionBecomesACallIntoTheClient) {
  const std::string source = platform::LoadResource("qdx-extension.js").value();
  EXPECT_TRUE(source.starts_with("var quorvex;if (!quorvex)  quorvex = {};(function() {"));
  const std::string script = BridgeScript(source);
  EXPECT_EQ(script.find("native function"), std::string::npos);
  for (const char* name : {"Close", "GetVersion", "Ornt", "EnterFullscreen", "ExitFullscreen",
                           "NeedCamera", "Upgrade"}) {
    EXPECT_NE(script.find(std::string("function ") + name + "() { var r = __quorvexNativeCall(" +
                          "\"\\u0001quorvex-native:" + name + "\")"),
              std::string::npos)
        << name;
  }
  // The page's prompt() is taken before any of its scripts can replace it.
  EXPECT_TRUE(script.starts_with("const __quorvexNativeCall = window.prompt.bind(window);"));
}

TEST(PageBridge, ValuesAnswerAtOnceAndCommandsBecomeMessages) {
  const struct {
    const char* name;
    bool handled;
    std::optional<int> value;
    const char* message;  // null: none sent
  } cases[] = {
      {"GetVersion", true, 8, nullptr},
      {"getversion", true, 8, nullptr},
      {"Ornt", true, 729184, nullptr},
      {"Close", true, {}, "closeBrowser"},
      {"CLOSE", true, {}, "closeBrowser"},
      {"Upgrade", true, {}, "upgrade"},
      {"EnterFullscreen", true, {}, "EnterFullscreen"},
      {"ExitFullscreen", true, {}, "ExitFullscreen"},
      {"NeedCamera", true, {}, "NeedCamera"},
      {"needcamera", false, {}, nullptr},
      {"Reload", false, {}, nullptr},
      {"", false, {}, nullptr},
  };
  for (const auto& c : cases) {
    std::vector<std::string> sent;
    TNwExternalJsExtension extension([&](const std::string& m) { sent.push_back(m); });
    std::optional<int> retval;
    EXPECT_EQ(extension.Execute(c.name, retval), c.handled) << c.name;
    EXPECT_EQ(retval, c.value) << c.name;
    EXPECT_EQ(sent, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
        << c.name;
  }
}

TEST(PageBridge, TheExamWindowActsOnExactNames) {
  using A = TBridgeAction;
  const std::tuple<const char*, A, bool> cases[] = {
      {"closeBrowser", A::Close, true},
      {"upgrade", A::Upgrade, false},
      {"EnterFullscreen", A::EnterExamMode, true},
      {"ExitFullscreen", A::ExitExamMode, true},
      {"NeedCamera", A::NeedCamera, true},
      {"closebrowser", A::None, false},
      {"Upgrade", A::None, false},
      {"", A::None, false},
  };
  for (const auto& [name, action, handled] : cases) {
    TBridgeDispatch d = DispatchProcessMessage(name);
    EXPECT_EQ(d.action, action) << name;
    EXPECT_EQ(d.handled, handled) << name;
  }
}

}  // namespace
}  // namespace quorvex
