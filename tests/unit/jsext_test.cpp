#include "exam/jsext.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/resources.h"

namespace quorvex {
namespace {

TEST(PageBridge, EveryNativeFunctionBecomesACallIntoTheClient) {
  const std::string source = LoadResource("qdx-extension.js").value();
  EXPECT_TRUE(source.starts_with("var quorvex;if (!quorvex)  quorvex = {};(function() {"));
  const std::string script = BridgeScript(source, "5ec4e7");
  EXPECT_EQ(script.find("native function"), std::string::npos);
  for (const char* name : {"Close", "GetVersion", "Ornt", "EnterFullscreen", "ExitFullscreen",
                           "NeedCamera", "Upgrade"}) {
    EXPECT_NE(script.find(std::string("function ") + name + "() { var r = __quorvexNativeCall(\"" +
                          name + "\")"),
              std::string::npos)
        << name;
  }
  // The page's prompt() is taken before any of its scripts can replace it, and the secret
  // stays in the closure: the functions the page can read hold none of it.
  EXPECT_TRUE(
      script.starts_with("const __quorvexNativeCall = ((ask, marker) => (name) => "
                         "ask(marker + name))(window.prompt.bind(window), "
                         "\"\\u0001quorvex-native:5ec4e7:\");"));
  EXPECT_EQ(script.find("5ec4e7", script.find(';')), std::string::npos);
  EXPECT_EQ(NativeCallMarker("5ec4e7"), "\x01quorvex-native:5ec4e7:");
}

TEST(PageBridge, EveryProcessHasItsOwnSecret) {
  const std::string a = NewBridgeSecret(), b = NewBridgeSecret();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos) << a;
  EXPECT_NE(a, b);
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
  using A = TNwBridgeAction;
  const std::tuple<const char*, A, bool> cases[] = {
      {"closeBrowser", A::baClose, true},
      {"upgrade", A::baUpgrade, false},
      {"EnterFullscreen", A::baEnterExamMode, true},
      {"ExitFullscreen", A::baExitExamMode, true},
      {"NeedCamera", A::baNeedCamera, true},
      {"closebrowser", A::baNone, false},
      {"Upgrade", A::baNone, false},
      {"", A::baNone, false},
  };
  for (const auto& [name, action, handled] : cases) {
    TNwBridgeDispatch d = DispatchProcessMessage(name);
    EXPECT_EQ(d.Action, action) << name;
    EXPECT_EQ(d.Handled, handled) << name;
  }
}

}  // namespace
}  // namespace quorvex
