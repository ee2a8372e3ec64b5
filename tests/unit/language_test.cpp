#include "common/language.h"

#include <gtest/gtest.h>

#include "common/resources.h"
#include "common/text.h"

namespace quorvex {
namespace {

std::string Resource() {
  return LoadResource("LANGUAGEINI").value();
}

// Keys of each section in file order.
std::map<std::string, std::vector<std::string>> KeysInOrder(std::string_view text) {
  std::map<std::string, std::vector<std::string>> keys;
  std::string section;
  for (std::string_view line : SplitString(text, '\n')) {
    line = Trim(line);
    if (line.empty()) continue;
    if (line.front() == '[') {
      section = std::string(line.substr(1, line.size() - 2));
    } else {
      keys[section].emplace_back(TrimRight(line.substr(0, line.find('='))));
    }
  }
  return keys;
}

TEST(LanguageTable, CompiledInWithBothSectionsAlike) {
  std::string bytes = Resource();
  ASSERT_TRUE(bytes.starts_with("\xEF\xBB\xBF"));
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ASSERT_EQ(bytes[i - 1], '\r') << "bare LF at " << i;
    }
  }
  auto keys = KeysInOrder(std::string_view(bytes).substr(3));
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys["en-us"].size(), 47u);
  EXPECT_EQ(keys["en-us"], keys["zh-cn"]);
  EXPECT_EQ(keys["en-us"].front(), "RsRegURLProtoFail");
  EXPECT_EQ(keys["en-us"].back(), "Cancel");
}

TEST(LanguageTable, LooksUpTheShippedValues) {
  TNwI18n en(Resource(), "en-us");
  TNwI18n zh(Resource(), "zh-cn");
  EXPECT_EQ(en.i18n("RsQuorvexModule"), "Quorvex module");
  EXPECT_EQ(en.i18n("RsInvalidToken"), "Invalid call arguments, please try again.");
  EXPECT_EQ(zh.i18n("RsClose"), "关闭");
  EXPECT_EQ(en.i18n("rsclose"), "Close");
  EXPECT_EQ(en.i18n("RsForward"), "Forward");
  EXPECT_TRUE(en.i18n("Have found ban APP:%s.").starts_with("Please close %s"));
  EXPECT_EQ(en.i18n("banAPP").substr(0, 36), "todesk=ToDesk;DingTalk=Ding Talk;Fei");
  EXPECT_NE(en.i18n("banAPP").find(";TeamViewer=Team View; EVCapture=EV Record;"),
            std::string::npos);
  EXPECT_NE(en.i18n("RsMultipleScreenTip").find("RDP,  teamviewer."), std::string::npos);
  EXPECT_EQ(en.i18nf("RsDownloadSuccessFully", {"/home/a/x.pdf"}),
            "Download File to /home/a/x.pdf successfully");
  EXPECT_EQ(zh.i18nf("In order to ensure exam performs normally, please change to a better "
                     "equipped computer, the current has a lower configuration, CPU:%d, "
                     "Memory:%dG",
                     {2, 4}),
            "为保证考试正常进行，请换一台电脑； 当前电脑配置较低， CPU: 2, 内存: 4G");
  for (const char* key : {"RsUpgradeURL", "RsProductURL"}) {
    EXPECT_TRUE(en.i18n(key).starts_with("https://")) << key;
    EXPECT_TRUE(zh.i18n(key).starts_with("https://")) << key;
  }
  EXPECT_EQ(en.i18n("NoSuchKey"), "NoSuchKey");
  EXPECT_EQ(en.i18nDef("NoSuchKey", "fallback"), "fallback");
  EXPECT_THROW(en.i18nf("RsDownloadSuccessFully", {5}), EFormatError);
}

TEST(LanguageTable, ParsesByTheIniRules) {
  const std::string ini =
      "\xEF\xBB\xBF"
      "orphan=before any section\r"
      "[ Main ]\n"
      "; a comment\r\n"
      "  Spaced  =  value with = inside  \r\n"
      "Escaped=one\\ntwo\\n\r\n"
      "Other\\x=back\\slash\n"
      "Empty=\n"
      "NoValue\n"
      "Twice=first\n"
      "[other]\n"
      "Only=other\n"
      "[MAIN]\n"
      "Twice=second\n";
  TNwI18n t(ini, "main");
  EXPECT_EQ(t.i18n("spaced"), "value with = inside");
  EXPECT_EQ(t.i18n("Escaped"), "one\n\rtwo\n\r");
  EXPECT_EQ(t.i18n("Other\\x"), "back\\slash");
  EXPECT_EQ(t.i18nDef("Empty", "def"), "");
  EXPECT_EQ(t.i18nDef("NoValue", "def"), "def");
  EXPECT_EQ(t.i18n("NoValue"), "NoValue");
  EXPECT_EQ(t.i18n("Twice"), "second");
  EXPECT_EQ(t.i18n("Only"), "Only");
  EXPECT_EQ(t.i18n("orphan"), "orphan");
  // The default is unescaped as well.
  EXPECT_EQ(t.i18nDef("missing", "a\\nb"), "a\n\rb");
  EXPECT_EQ(t.i18nDefF("missing", "%s!", {"x"}), "x!");

  TNwI18n unknown_section(ini, "fr-fr");
  EXPECT_EQ(unknown_section.i18nDef("Spaced", "def"), "def");
}

TEST(LanguageTable, EmptyOrMissingResource) {
  TNwI18n empty(std::string(), "en-us");
  EXPECT_EQ(empty.i18n("RsClose"), "RsClose");
  EXPECT_EQ(empty.i18nDef("RsClose", "def"), "RsClose");
  EXPECT_THROW(TNwI18n(std::nullopt, "en-us"), EResNotFound);
}

TEST(LanguageTable, SectionFollowsTheUserLocaleExactly) {
  EXPECT_EQ(SectionForLocale("zh-CN"), "zh-cn");
  for (const char* other : {"zh-TW", "zh-HK", "zh-SG", "zh-cn", "en-GB", ""}) {
    EXPECT_EQ(SectionForLocale(other), "en-us") << other;
  }
}

TEST(LanguageTable, ProcessWideInstanceIsCreatedOnce) {
  INwI8n& first = TNwI18n::_("zh-cn");
  INwI8n& again = TNwI18n::_("en-us");
  EXPECT_EQ(&first, &again);
  EXPECT_EQ(&I18n(), &first);
  EXPECT_EQ(I18n().i18n("RsClose"), "关闭");
}

}  // namespace
}  // namespace quorvex
