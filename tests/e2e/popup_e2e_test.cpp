// The exam page's popups in the client's own popup window, as a candidate meets them.
#include <sys/wait.h>

#include "common/text.h"
#include "tests/e2e/road.h"

namespace quorvex::e2e {
namespace {

class Popups : public Road {
 protected:
  void SetUp() override {
    Road::SetUp();
    client_ = OpenExamPage(demo_, window_);
    ASSERT_FALSE(window_.empty());
    ASSERT_TRUE(WaitFor([&] { return PagePoint("notes").has_value(); }, 10s)) << Reports();
  }
  // Opens the notes page in a popup window; its id.
  std::string OpenNotes() {
    const size_t loads = Count(Reports(), R"("page":"notes","event":"load")");
    OnDisplay({"xdotool", "windowactivate", "--sync", window_});
    ClickPage(window_, "notes");
    std::vector<std::string> popup;
    EXPECT_TRUE(WaitFor(
        [&] {
          return Count(Reports(), R"("page":"notes","event":"load")") == loads + 1 &&
                 !(popup = x_.FindWindows("^Demo notes$")).empty();
        },
        20s))
        << client_->Stderr();
    return popup.empty() ? "" : popup.back();
  }

  std::unique_ptr<Process> demo_, client_;
  std::string window_;
};

TEST_F(Popups, ANewWindowLinkOpensAMaximizedPopupWithThePagesTitleAndBridge) {
  const std::string popup = OpenNotes();
  ASSERT_FALSE(popup.empty());
  EXPECT_TRUE(WaitFor(
      [&] {
        const std::string state = OnDisplay({"xprop", "-id", popup, "_NET_WM_STATE"});
        return state.find("_NET_WM_STATE_MAXIMIZED_VERT") != std::string::npos &&
               state.find("_NET_WM_STATE_MAXIMIZED_HORZ") != std::string::npos;
      },
      10s));
  EXPECT_TRUE(Reported(R"("page":"notes","event":"load")"));
  EXPECT_TRUE(Reported(R"("version":8)")) << Reports();
  // A second one gets a window of its own.
  OpenNotes();
  EXPECT_EQ(x_.FindWindows("^Demo notes$").size(), 2u);
}

TEST_F(Popups, InAPopupAPersonTypesAndSelectsButOpensNoFurtherWindow) {
  const std::string popup = OpenNotes();
  ASSERT_FALSE(popup.empty());
  OnDisplay({"xdotool", "windowactivate", "--sync", popup});
  ClickPage(popup, "typed");
  OnDisplay({"xdotool", "type", "--delay", "30", "hello"});
  EXPECT_TRUE(WaitFor([&] { return Reported("typed:hello"); }, 10s)) << Reports();
  // The field's tooltip shows once the pointer rests on it again.
  ASSERT_EQ(Road::Popups(), 0);
  OnDisplay({"xdotool", "mousemove_relative", "2", "0"});
  EXPECT_TRUE(WaitFor([&] { return Road::Popups() == 1; }, 10s)) << "no tooltip";
  // A double click selects a word.
  const auto words = PagePoint("words");
  ASSERT_TRUE(words.has_value());
  OnDisplay({"xdotool", "mousemove", "--window", popup, std::to_string(words->first + 30),
             std::to_string(words->second), "click", "--repeat", "2", "--delay", "80", "1"});
  EXPECT_TRUE(WaitFor([&] { return Reported("selected:beta"); }, 10s)) << Reports();
  // A triple click, away from the double one so that it starts a count of its own, selects the
  // line.
  OnDisplay({"xdotool", "mousemove", "--window", popup, std::to_string(words->first),
             std::to_string(words->second), "click", "--repeat", "3", "--delay", "80", "1"});
  EXPECT_TRUE(WaitFor([&] { return Reported("selected:alpha beta gamma"); }, 10s)) << Reports();

  ClickPage(popup, "again");  // window.open
  EXPECT_TRUE(WaitFor(
      [&] { return client_->Stderr().find("popup of a popup refused") != std::string::npos; }, 10s))
      << client_->Stderr();
  EXPECT_EQ(x_.FindWindows("^Demo notes$").size(), 1u);
  ClickPage(popup, "notespdf");  // a PDF for a new window: saved instead
  EXPECT_TRUE(WaitFor([&] { return !x_.FindWindows("^Save").empty(); }, 10s)) << client_->Stderr();
  x_.Type("Escape");
  EXPECT_TRUE(WaitFor([&] { return x_.FindWindows("^Save").empty(); }, 10s));

  ClickPage(popup, "bye");  // window.close
  EXPECT_TRUE(WaitFor([&] { return x_.FindWindows("^Demo notes$").empty(); }, 10s));
  EXPECT_TRUE(WaitFor(
      [&] { return client_->Stderr().find("popup window gone") != std::string::npos; }, 10s));
}

TEST_F(Popups, ASmallWindowIsAtLeast100PixelsWhenRestored) {
  const size_t loads = Count(Reports(), R"("page":"notes","event":"load")");
  ClickPage(window_, "sized");  // left 10, top 20, width 50, height 60
  std::vector<std::string> popup;
  ASSERT_TRUE(WaitFor(
      [&] {
        return Count(Reports(), R"("page":"notes","event":"load")") == loads + 1 &&
               !(popup = x_.FindWindows("^Demo notes$")).empty();
      },
      20s));
  OnDisplay({X_INTRUDER_EXE, "unmaximize", popup[0]});
  std::vector<int> g;
  EXPECT_TRUE(WaitFor(
      [&] {
        g = x_.Geometry(popup[0]);
        return g[2] == 100 && g[3] == 100;
      },
      10s))
      << g[0] << "," << g[1] << " " << g[2] << "x" << g[3];
}

TEST_F(Popups, ExamModeKeepsOpenPopupsBelowAndWithoutTheKeyboard) {
  const std::string popup = OpenNotes();
  ASSERT_FALSE(popup.empty());
  OnDisplay({"xdotool", "windowactivate", "--sync", window_});
  ClickPage(window_, "enter");
  ASSERT_TRUE(WaitFor([&] { return LogHas("keyboard hook success, id:"); }, 10s)) << Log();
  const auto exams = x_.FindWindows("^Demo exam demo-1$");
  ASSERT_EQ(exams.size(), 1u);
  const std::string exam = exams[0];
  // Raised and typed into by another program, the popup stays under the exam.
  OnDisplay({"xdotool", "windowactivate", popup});
  EXPECT_TRUE(WaitFor(
      [&] {
        return std::string(Trim(OnDisplay({X_INTRUDER_EXE, "top"}))) == exam &&
               Trim(OnDisplay({X_INTRUDER_EXE, "grabs"})) == "keyboard:held pointer:held";
      },
      5s));
  OnDisplay({"xdotool", "type", "--delay", "30", "zz"});
  EXPECT_TRUE(WaitFor([&] { return Reported(R"("keys":["z")"); }, 10s)) << Reports();
  EXPECT_FALSE(Reported("typed:z")) << "the popup got no key";
}

TEST_F(Popups, ClosingAPopupHidesItAndTheExamGoesOn) {
  const std::string popup = OpenNotes();
  ASSERT_FALSE(popup.empty());
  x_.PressKeys(popup, "alt+F4");
  EXPECT_TRUE(WaitFor([&] { return x_.FindWindows("^Demo notes$").empty(); }, 10s));
  EXPECT_TRUE(WaitFor(
      [&] { return client_->Stderr().find("popup window gone") != std::string::npos; }, 10s));
  EXPECT_TRUE(client_->Running());
  EXPECT_EQ(x_.FindWindows("^Demo exam demo-1$").size(), 1u);
}

TEST_F(Popups, ClosingTheExamClosesEveryPopupAndTheProgramEnds) {
  ASSERT_FALSE(OpenNotes().empty());
  ASSERT_FALSE(OpenNotes().empty());
  OnDisplay({QUORVEX_SEND_EXE, window_, "close"});
  auto ended = client_->WaitExit(20s);
  ASSERT_TRUE(ended.has_value()) << Log();
  EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 0) << *ended;
  EXPECT_EQ(Count(client_->Stderr(), "popup window gone"), 2u) << client_->Stderr();
}

}  // namespace
}  // namespace quorvex::e2e
