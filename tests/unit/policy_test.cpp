// The exam window's decisions on popups, links opened from a tab, the close address, the
// context menu and the reload key.
#include "exam/policy.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using D = TNwDisposition;
using A = TNwPopupAction;

TEST(Policy, APdfTargetIsOneByItsLastThreeLetters) {
  const struct {
    const char* url;
    bool pdf;
  } cases[] = {
      {"https://exam.example/files/sheet.pdf", true},
      {"https://exam.example/files/SHEET.PDF", true},
      {"https://exam.example/files/sheet.Pdf", true},
      {"https://exam.example/getpdf", true},  // no dot needed
      {"https://exam.example/files/sheet.pdf?x=1", false},
      {"https://exam.example/files/sheet.pdf#page=2", false},
      {"https://exam.example/notes.html", false},
      {"pdf", true},
      {"df", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPdfTarget(c.url), c.pdf) << c.url;
}

TEST(Policy, PopupsFollowTheFirstRuleThatApplies) {
  const char* page = "https://exam.example/notes.html";
  const char* pdf = "https://exam.example/files/sheet.PDF";
  const struct {
    bool exam_mode;
    const char* url;
    D disposition;
    A action;
  } cases[] = {
      // In exam mode nothing opens, whatever the target.
      {true, page, D::wdNewForegroundTab, A::paCancel},
      {true, pdf, D::wdNewPopup, A::paCancel},
      {true, pdf, D::wdCurrentTab, A::paCancel},
      // Outside it a PDF is downloaded whatever the disposition.
      {false, pdf, D::wdNewForegroundTab, A::paPdfDownload},
      {false, pdf, D::wdCurrentTab, A::paPdfDownload},
      {false, "https://exam.example/getpdf", D::wdNewWindow, A::paPdfDownload},
      {false, "https://exam.example/sheet.pdf?x=1", D::wdNewWindow, A::paPopupWindow},
      // The new-window kinds open the popup window; the rest is cancelled.
      {false, page, D::wdNewForegroundTab, A::paPopupWindow},
      {false, page, D::wdNewBackgroundTab, A::paPopupWindow},
      {false, page, D::wdNewPopup, A::paPopupWindow},
      {false, page, D::wdNewWindow, A::paPopupWindow},
      {false, page, D::wdUnknown, A::paCancel},
      {false, page, D::wdCurrentTab, A::paCancel},
      {false, page, D::wdSingletonTab, A::paCancel},
      {false, page, D::wdSaveToDisk, A::paCancel},
      {false, page, D::wdOffTheRecord, A::paCancel},
      {false, page, D::wdIgnoreAction, A::paCancel},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BeforePopup(c.exam_mode, c.url, c.disposition), c.action)
        << c.exam_mode << " " << c.url << " " << static_cast<int>(c.disposition);
  }
}

TEST(Policy, ALinkFromATabIsCancelledForANewWindowUnlessItIsAPdf) {
  for (int d = 0; d <= 9; ++d) {
    const auto disposition = static_cast<D>(d);
    const bool new_window = d >= 3 && d <= 6;
    EXPECT_EQ(OpenUrlFromTabCancels("https://exam.example/a.html", disposition), new_window) << d;
    EXPECT_FALSE(OpenUrlFromTabCancels("https://exam.example/a.Pdf", disposition)) << d;
  }
}

TEST(Policy, OnlyTheExactCloseAddressCloses) {
  EXPECT_TRUE(IsCloseAddress("tvqdx://closeBrowswer"));
  for (const char* other :
       {"tvqdx://closebrowswer", "tvqdx://CloseBrowswer", "TVQDX://closeBrowswer",
        "tvqdx://closeBrowser", "tvqdx://closeBrowswer/", "tvqdx://closeBrowswer?x=1",
        " tvqdx://closeBrowswer", "tvqdx:closeBrowswer", ""}) {
    EXPECT_FALSE(IsCloseAddress(other)) << other;
  }
}

TEST(Policy, TheMenuOffersWhatThePageCanDoAndNothingInExamMode) {
  using M = std::vector<TNwMenuCommand>;
  EXPECT_EQ(ContextMenuItems(false, false, false), (M{mcReload, mcAbout}));
  EXPECT_EQ(ContextMenuItems(false, true, false), (M{mcBackward, mcReload, mcAbout}));
  EXPECT_EQ(ContextMenuItems(false, false, true), (M{mcForward, mcReload, mcAbout}));
  EXPECT_EQ(ContextMenuItems(false, true, true), (M{mcBackward, mcForward, mcReload, mcAbout}));
  EXPECT_TRUE(ContextMenuItems(true, true, true).empty());
}

TEST(Policy, OnlyShiftAloneWithF5Reloads) {
  constexpr uint32_t kF5 = 116;
  const struct {
    TNwKeyModifiers mods;
    uint32_t key;
    bool reload;
  } cases[] = {
      {{.Shift = true}, kF5, true},
      {{}, kF5, false},
      {{.Control = true}, kF5, false},
      {{.Shift = true, .Control = true}, kF5, false},
      {{.Shift = true, .Alt = true}, kF5, false},
      {{.Shift = true, .CapsLock = true}, kF5, false},
      {{.Shift = true, .NumLock = true}, kF5, false},
      {{.Shift = true}, 117, false},  // F6
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsReloadKey(KeyEventFlags(c.mods), c.key), c.reload)
        << KeyEventFlags(c.mods) << " " << c.key;
  }
  EXPECT_EQ(KeyEventFlags({true, true, true, true, true}), 1u | 2u | 4u | 8u | 256u);
}

}  // namespace
}  // namespace quorvex
