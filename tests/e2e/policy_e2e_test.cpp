// What the exam page may open and where it may go outside exam mode, as a candidate meets it:
// the context menu, the about window, new windows, links opened from a tab, the reload key and
// the addresses of the client's own scheme.
#include <cstdlib>
#include <fstream>

#include "common/text.h"
#include "tests/e2e/road.h"

namespace quorvex::e2e {
namespace {

class PagePolicy : public Road {
 protected:
  void SetUp() override {
    Road::SetUp();
    // The desktop's opener is a stand-in that writes down what it was given.
    const std::string bin = out_.path() + "bin/";
    ASSERT_EQ(std::system(("mkdir -p " + bin).c_str()), 0);
    {
      std::ofstream opener(bin + "xdg-open");
      opener << "#!/bin/sh\necho \"$@\" >> '" << out_.path() << "opened.txt'\n";
    }
    ASSERT_EQ(std::system(("chmod +x " + bin + "xdg-open").c_str()), 0);
    client_ = OpenExamPage(demo_, window_, {{"PATH", bin + ":" + std::getenv("PATH")}});
    ASSERT_FALSE(window_.empty());
    ASSERT_TRUE(WaitFor([&] { return PagePoint("closeaddr").has_value(); }, 10s)) << Reports();
  }

  std::string Opened() { return ReadFile(out_.path() + "opened.txt"); }
  bool SaidSo(const std::string& line) { return client_->Stderr().find(line) != std::string::npos; }
  size_t Loads() { return Count(Reports(), R"("page":"exam","event":"load")"); }
  void RightClick(const std::string& id) { ClickPage(window_, id, "3"); }

  std::unique_ptr<Process> demo_, client_;
  std::string window_;
};

TEST_F(PagePolicy, TheMenuHoldsReloadAndAboutUntilThePageCanGoBack) {
  const int popups = Popups();
  RightClick("part2");
  EXPECT_TRUE(WaitFor([&] { return SaidSo("context menu: Reload, About"); }, 10s))
      << client_->Stderr();
  EXPECT_TRUE(WaitFor([&] { return Popups() == popups + 1; }, 10s)) << "one menu, ours";
  x_.Type("Escape");
  ASSERT_TRUE(WaitFor([&] { return Popups() == popups; }, 10s));

  ClickPage(window_, "part2");
  ASSERT_TRUE(WaitFor([&] { return Reported("hash:#part-2"); }, 10s)) << Reports();
  RightClick("part2");
  ASSERT_TRUE(WaitFor([&] { return SaidSo("context menu: Backward, Reload, About"); }, 10s))
      << client_->Stderr();
  x_.Type("Down Return");  // Backward
  EXPECT_TRUE(WaitFor([&] { return Reported(R"("event":"hash:")"); }, 10s)) << Reports();
}

TEST_F(PagePolicy, AboutNamesTheProductAndItsLinksGoToTheDesktopsOpener) {
  RightClick("part2");
  ASSERT_TRUE(WaitFor([&] { return SaidSo("context menu: Reload, About"); }, 10s));
  x_.Type("Up Return");  // the last item
  std::vector<std::string> about;
  ASSERT_TRUE(WaitFor([&] { return (about = x_.FindWindows("^About$")).size() == 1; }, 10s))
      << client_->Stderr();
  EXPECT_TRUE(WaitFor(
      [&] {
        auto g = x_.Geometry(about[0]);
        return g[2] == 457 && g[3] == 241;
      },
      5s));
  // The product line, then the support line.
  OnDisplay({"xdotool", "mousemove", "--window", about[0], "228", "132", "click", "1"});
  EXPECT_TRUE(WaitFor([&] { return Opened() == "https://www.quorvex.com\n"; }, 10s)) << Opened();
  OnDisplay({"xdotool", "mousemove", "--window", about[0], "228", "202", "click", "1"});
  EXPECT_TRUE(WaitFor(
      [&] {
        return Opened().ends_with(
            "mailto:support@quorvex.com?subject=I want to ask questions about the Quorvex\n");
      },
      10s))
      << Opened();
  // Modal: the exam window waits, and has the keyboard back once it closes.
  x_.Type("Escape");
  EXPECT_TRUE(WaitFor([&] { return x_.FindWindows("^About$").empty(); }, 10s));
  EXPECT_TRUE(client_->Running());
}

TEST_F(PagePolicy, ExamModeClosesAnOpenAboutWindow) {
  x_.PressKeys(window_, "Tab Tab Tab Tab Tab Tab Return");  // "Enter exam mode in 2 s"
  RightClick("part2");
  ASSERT_TRUE(WaitFor([&] { return SaidSo("context menu: Reload, About"); }, 10s));
  x_.Type("Up Return");
  ASSERT_TRUE(WaitFor([&] { return x_.FindWindows("^About$").size() == 1; }, 10s));
  ASSERT_TRUE(WaitFor([&] { return LogHas("keyboard hook success"); }, 10s)) << Log();
  EXPECT_TRUE(WaitFor([&] { return x_.FindWindows("^About$").empty(); }, 5s));
}

TEST_F(PagePolicy, OnlyShiftF5WithNoLockOnReloads) {
  ASSERT_EQ(Loads(), 1u);
  // A page that was not reloaded still holds every key it was given.
  x_.PressKeys(window_, "F5 x ctrl+F5 x");
  ASSERT_TRUE(
      WaitFor([&] { return Reported(R"("keys":["F5","x","Control","Ctrl+F5","x"])"); }, 10s))
      << Reports();
  x_.PressKeys(window_, "Caps_Lock shift+F5 Caps_Lock x");
  ASSERT_TRUE(WaitFor(
      [&] {
        return Reported(
            R"("keys":["F5","x","Control","Ctrl+F5","x","CapsLock","Shift","Shift+F5","CapsLock","x"])");
      },
      10s))
      << Reports();
  ASSERT_EQ(Loads(), 1u);
  x_.PressKeys(window_, "shift+F5");
  EXPECT_TRUE(WaitFor([&] { return Loads() == 2; }, 10s)) << Reports();
}

TEST_F(PagePolicy, ALaunchLinkInsideStartsNothingAndLeavesThePage) {
  ClickPage(window_, "launch");
  EXPECT_TRUE(WaitFor([&] { return SaidSo("load stopped: tvqdx://invokedexam?eid=demo-2"); }, 10s))
      << client_->Stderr();
  // The page is still the exam's and takes keys.
  x_.PressKeys(window_, "q");
  EXPECT_TRUE(WaitFor([&] { return Reported(R"("keys":["q"])"); }, 10s)) << Reports();
  EXPECT_EQ(Opened(), "");
  EXPECT_EQ(Count(Log(), "  start -"), 1u) << Log();
  EXPECT_FALSE(SaidSo("load error "));
}

TEST_F(PagePolicy, AMailLinkStartsNothingAndLeavesThePage) {
  ClickPage(window_, "mail");
  EXPECT_TRUE(WaitFor([&] { return SaidSo("load stopped: mailto:proctor@example.com"); }, 10s))
      << client_->Stderr();
  x_.PressKeys(window_, "q");
  EXPECT_TRUE(WaitFor([&] { return Reported(R"("keys":["q"])"); }, 10s)) << Reports();
  EXPECT_EQ(Opened(), "");
  EXPECT_FALSE(SaidSo("load error ")) << client_->Stderr();
}

TEST_F(PagePolicy, TheCloseAddressEndsTheProgram) {
  ClickPage(window_, "closeaddr");
  ASSERT_TRUE(client_->WaitExit(20s).has_value()) << Log();
  const std::string log = Log();
  EXPECT_LT(log.find("crm received process message, try to exit"),
            log.find("close type is 1, closing"))
      << log;
  EXPECT_EQ(Opened(), "");
}

TEST_F(PagePolicy, ACloseAddressInOtherLettersDoesNot) {
  ClickPage(window_, "closewrong");
  EXPECT_TRUE(WaitFor([&] { return SaidSo("load stopped: tvqdx://closebrowswer"); }, 10s))
      << client_->Stderr();
  x_.PressKeys(window_, "q");
  EXPECT_TRUE(WaitFor([&] { return Reported(R"("keys":["q"])"); }, 10s)) << "the page stays";
  EXPECT_TRUE(client_->Running());
  EXPECT_FALSE(LogHas("crm received process message")) << Log();
}

TEST_F(PagePolicy, NewWindowsAreDecidedByTheirTarget) {
  ClickPage(window_, "notes");  // target "_blank": the client's own popup window
  EXPECT_TRUE(WaitFor([&] { return x_.FindWindows("^Demo notes$").size() == 1; }, 10s))
      << client_->Stderr();
  EXPECT_TRUE(WaitFor([&] { return Reported(R"("page":"notes","event":"load")"); }, 10s));
  // Back to the exam window for the next link.
  OnDisplay({"xdotool", "windowactivate", "--sync", window_});
  const size_t boxes = Count(client_->Stderr(), "message box:");
  ClickPage(window_, "sheet");  // target "_blank", ends in "PDF"
  EXPECT_TRUE(WaitFor([&] { return SaidSo("popup to PDF download: http"); }, 10s))
      << client_->Stderr();
  // The save dialog; cancelled, nothing is fetched or shown.
  ASSERT_TRUE(WaitFor([&] { return !x_.FindWindows("^Save").empty(); }, 10s));
  x_.Type("Escape");
  EXPECT_TRUE(WaitFor([&] { return x_.FindWindows("^Save").empty(); }, 10s));
  EXPECT_EQ(Count(client_->Stderr(), "message box:"), boxes);
}

TEST_F(PagePolicy, ALinkOpenedFromTheTabOpensOnlyAPdfAndThatHere) {
  ClickPage(window_, "part2", "1", {"ctrl"});
  ClickPage(window_, "part2", "2");
  EXPECT_TRUE(
      WaitFor([&] { return Count(client_->Stderr(), "link from tab refused: http") == 2; }, 10s))
      << client_->Stderr();
  ClickPage(window_, "pdf", "1", {"ctrl"});
  EXPECT_TRUE(WaitFor([&] { return LogHas("/files/sample.pdf"); }, 10s)) << client_->Stderr();
  EXPECT_TRUE(SaidSo("link from tab opens here: http")) << client_->Stderr();
  EXPECT_FALSE(Reported("hash:#part-2")) << Reports();
}

}  // namespace
}  // namespace quorvex::e2e
