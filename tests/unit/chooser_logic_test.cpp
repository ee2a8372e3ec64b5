// The chooser's place and answers, and where a browser download goes.
#include "exam/chooserlogic.h"

#include <gtest/gtest.h>

#include <set>

namespace quorvex {
namespace {

TEST(ChooserLogic, TheContainerIsCentredWithHalvesToEven) {
  EXPECT_EQ(ContainerPlace(1280, 1024), (TNwPlace{340, 287}));
  EXPECT_EQ(ContainerPlace(1281, 1025), (TNwPlace{340, 288}));  // 340.5 → 340, 287.5 → 288
  EXPECT_EQ(ContainerPlace(1283, 1027), (TNwPlace{342, 288}));  // 341.5 → 342, 288.5 → 288
  EXPECT_EQ(ContainerPlace(400, 300), (TNwPlace{-100, -75}));
}

TEST(ChooserLogic, TheCurrentPathJoinsFolderAndName) {
  EXPECT_EQ(CurrentPath("/home/ann/Documents", "a.txt"), "/home/ann/Documents/a.txt");
  EXPECT_EQ(CurrentPath("/home/ann/Documents/", "a.txt"), "/home/ann/Documents/a.txt");
  EXPECT_EQ(CurrentPath("/", "a.txt"), "/a.txt");
  EXPECT_EQ(CurrentPath("/home/ann/Documents/", ""), "");
}

TEST(ChooserLogic, ADownloadLandsInTheDocumentsFolderUnderItsOwnName) {
  const struct {
    const char *suggested, *target;
  } cases[] = {
      {"sheet.pdf", "/docs/sheet.pdf"},       {"", "/docs/unamed file"},
      {"../../.bashrc", "/docs/.bashrc"},     {"/etc/passwd", "/docs/passwd"},
      {"folder/", "/docs/unamed file"},       {"..", "/docs/unamed file"},
      {"résumé 2.txt", "/docs/résumé 2.txt"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DownloadTarget("/docs/", c.suggested), c.target) << c.suggested;
}

TEST(ChooserLogic, ANameInUseGetsTheFirstFreeNumber) {
  std::set<std::string> taken = {"sheet.pdf", "sheet (1).pdf", "notes", ".profile",
                                 "archive.tar.gz"};
  auto in_use = [&](const std::string& name) { return taken.contains(name); };
  EXPECT_EQ(UniqueName("new.pdf", in_use), "new.pdf");
  EXPECT_EQ(UniqueName("sheet.pdf", in_use), "sheet (2).pdf");
  EXPECT_EQ(UniqueName("notes", in_use), "notes (1)");
  EXPECT_EQ(UniqueName(".profile", in_use), ".profile (1)");
  EXPECT_EQ(UniqueName("archive.tar.gz", in_use), "archive.tar (1).gz");
}

}  // namespace
}  // namespace quorvex
