// What a PDF link for a new window asks before anything is fetched.
#include "exam/downloadfile.h"

#include <gtest/gtest.h>

#include "tests/support/checks_fakes.h"

namespace quorvex {
namespace {

TEST(DownloadFile, TheDialogProposesTheLocalizedNameAndCancelFetchesNothing) {
  const struct {
    const char* language;
    bool with_filter;
    const char *proposed, *filter;
  } cases[] = {
      {"en-us", true, "Please enter file name here.pdf", "PDF|*.pdf"},
      {"zh-cn", true, "请在这里输入文件名.pdf", "PDF|*.pdf"},
      {"en-us", false, "Please enter file name here.pdf", ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> asked, shown;
    int headers = 0;
    DownloadFile({
                     .Strings = &testing::ShippedStrings(c.language),
                     .AskSavePath = [&](const std::string& proposed,
                                        const std::string& filter) -> std::optional<std::string> {
                       asked = {proposed, filter};
                       return std::nullopt;
                     },
                     .ShowResult = [&](const std::string& text) { shown.push_back(text); },
                     .Headers =
                         [&](const std::string&) {
                           ++headers;
                           return TNwDownloadRequest{};
                         },
                     .WithFilter = c.with_filter,
                 },
                 0x0103, "https://exam.example/files/Report.PDF");  // only the low byte counts
    EXPECT_EQ(asked, (std::vector<std::string>{c.proposed, c.filter})) << c.language;
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(headers, 0) << "nothing is fetched";
  }
}

TEST(DownloadFile, AnUnknownFileTypeAsksNothing) {
  bool asked = false;
  DownloadFile({.Strings = &testing::ShippedStrings("en-us"),
                .AskSavePath =
                    [&](const std::string&, const std::string&) {
                      asked = true;
                      return std::optional<std::string>();
                    }},
               1, "https://exam.example/a.pdf");
  EXPECT_FALSE(asked);
  EXPECT_EQ(FileTypeOf(3)->Extension, ".pdf");
  EXPECT_FALSE(FileTypeOf(4).has_value());
}

}  // namespace
}  // namespace quorvex
