#include "common/format.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvex {
namespace {

struct FormatCase {
  const char* format;
  std::vector<TNwFmtArg> args;
  const char* expected;
};

TEST(Format, WritesTheFormatsTheProgramUses) {
  const FormatCase cases[] = {
      {"%0:s [TID %1:10u][%2:-8s] %3:s [%4:s]",
       {"2021-03-04 09:05:07:042 ", 5120, "INFO", "Form created", ""},
       "2021-03-04 09:05:07:042  [TID       5120][INFO    ] Form created []"},
      {"%0:s [TID %1:10u][%2:-8s] %3:s [%4:s]",
       {"t", 1234567890123LL, "WARNING", "m", "console"},
       "t [TID 1234567890123][WARNING ] m [console]"},
      {"%s.%2.2d.%s.log", {"quorvex", 0, ""}, "quorvex.00..log"},
      {"%s.%2.2d.%s.log", {"quorvex", 5, "console"}, "quorvex.05.console.log"},
      {"%s.%2.2d.%s.log", {"q", 123, "t"}, "q.123.t.log"},
      {"%s V%d.0", {"Quorvex", 8}, "Quorvex V8.0"},
      {"%s://%s/doexam/%s.html?%s",
       {"https", "exam.example.com", "E-17", "a=1&b=2"},
       "https://exam.example.com/doexam/E-17.html?a=1&b=2"},
      {"keyboard hook success, id:%d", {-42}, "keyboard hook success, id:-42"},
      {"CPU: %d, Memory: %dG", {4, 8}, "CPU: 4, Memory: 8G"},
      {"%5.3d|%-6d|%.4d", {7, -7, -7}, "  007|-7    |-0007"},
      {"%u", {-1}, "4294967295"},
      {"%x", {255}, "FF"},
      {"%*d|%-*s|", {4, 9, 3, "ab"}, "   9|ab |"},
      {"%.2s|%3s|%-3s|", {"文字列", "中", "é"}, "文字|  中|é  |"},
      {"%1:s %0:s %s", {"a", "b"}, "b a b"},
      {"100%% %S", {"sure"}, "100% sure"},
      {"no placeholder", {}, "no placeholder"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Format(c.format, TNwFmtArgs(c.args)), c.expected) << c.format;
  }
}

TEST(Format, RaisesAFormatErrorForWrongOrMissingArguments) {
  const std::pair<const char*, std::vector<TNwFmtArg>> cases[] = {
      {"%d", {"text"}}, {"%s", {5}},         {"%s %s", {"one"}}, {"%2:s", {"a", "b"}},
      {"%q", {1}},      {"ends with %", {}}, {"%*d", {"w", 1}},  {"%-", {1}},
  };
  for (const auto& [format, args] : cases) {
    EXPECT_THROW(Format(format, TNwFmtArgs(args)), EFormatError) << format;
  }
  try {
    Format("%d", {"x"});
    FAIL();
  } catch (const EFormatError& e) {
    EXPECT_STREQ(e.what(), "Format '%d' invalid or incompatible with argument");
  }
}

}  // namespace
}  // namespace quorvex
