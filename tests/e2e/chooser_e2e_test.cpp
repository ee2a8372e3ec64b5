// The page's upload fields answered in the exam window's own chooser, as a candidate meets it,
// in and out of exam mode.
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "common/text.h"
#include "tests/e2e/road.h"

namespace quorvex::e2e {
namespace {

// What the demo site serves as /files/sample.txt.
const char* const kSampleText = "Quorvex demo sample file.\nIt is offered as a download.\n";

class Chooser : public Road {
 protected:
  void SetUp() override {
    Road::SetUp();
    // A home of the candidate's own with a documents folder the desktop names.
    home_ = out_.path() + "home/";
    std::filesystem::create_directories(home_ + ".config");
    std::filesystem::create_directories(home_ + "Papers/inner");
    std::ofstream(home_ + ".config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
    std::ofstream(home_ + "Papers/answer.txt") << "forty-two";
    client_ = OpenExamPage(demo_, window_, {{"HOME", home_}, {"XDG_CONFIG_HOME", ""}});
    ASSERT_FALSE(window_.empty());
    ASSERT_TRUE(WaitFor([&] { return PagePoint("upload").has_value(); }, 10s)) << Reports();
  }

  bool SaidSo(const std::string& line) { return client_->Stderr().find(line) != std::string::npos; }
  // Opens the chooser from the field `id` and waits for it, and for its file list when it
  // shows a folder it has not read yet.
  void Open(const std::string& id, bool reads_folder = true) {
    const size_t shown = Count(client_->Stderr(), "file chooser shown");
    const size_t read = Count(client_->Stderr(), "file list read: ");
    ClickPage(window_, id);
    ASSERT_TRUE(WaitFor(
        [&] {
          const std::string err = client_->Stderr();
          return Count(err, "file chooser shown") == shown + 1 &&
                 (!reads_folder || Count(err, "file list read: ") > read);
        },
        10s))
        << client_->Stderr();
  }
  // Answers the save dialog that `id` brings up with `target`.
  void SaveFrom(const std::string& id, const std::string& target) {
    ClickPage(window_, id);
    ASSERT_TRUE(WaitFor([&] { return SaidSo("save dialog shown"); }, 10s)) << client_->Stderr();
    ASSERT_TRUE(WaitFor([&] { return !x_.FindWindows("^Save").empty(); }, 10s));
    x_.Type("ctrl+a");
    OnDisplay({"xdotool", "type", "--delay", "20", target});
    x_.Type("Return");
  }
  // The top-level windows on the screen.
  size_t Windows() { return Stacking().size(); }

  std::string home_;
  std::unique_ptr<Process> demo_, client_;
  std::string window_;
};

TEST_F(Chooser, TheFileChosenReachesThePageWithoutAWindowOfItsOwn) {
  const size_t windows = Windows();
  Open("upload");
  EXPECT_EQ(Windows(), windows) << "no dialog window";
  // The file list has the keyboard; the first file, then Enter.
  x_.Type("Down Return");
  EXPECT_TRUE(WaitFor([&] { return Reported("upload:upload:answer.txt/9"); }, 10s)) << Reports();
}

TEST_F(Chooser, EveryKindOfRequestGetsOneFileFromTheWholeFolder) {
  std::ofstream(home_ + "Papers/photo.txt") << "not a picture";
  Open("uploads");  // several files
  x_.Type("Down Return");
  EXPECT_TRUE(WaitFor([&] { return Reported("upload:uploads:answer.txt/9\""); }, 10s)) << Reports();
  // Images only, yet every file is listed; the folder is the same, so the file picked last is
  // still highlighted.
  Open("images", false);
  x_.Type("Down Return");
  EXPECT_TRUE(WaitFor([&] { return Reported("upload:images:photo.txt/13\""); }, 10s)) << Reports();
}

TEST_F(Chooser, CancelLeavesTheFieldAsItWas) {
  Open("upload");
  x_.Type("Escape");
  ASSERT_TRUE(WaitFor([&] { return SaidSo("file chooser hidden"); }, 10s)) << client_->Stderr();
  // A second request after the cancelled one is answered as usual.
  Open("upload", false);
  x_.Type("Down Return");
  EXPECT_TRUE(WaitFor([&] { return Reported("upload:upload:answer.txt/9"); }, 10s)) << Reports();
  EXPECT_EQ(Count(Reports(), "upload:upload:"), 1u) << "the cancelled request gave nothing";
}

TEST_F(Chooser, InExamModeThePanelHasTheKeyboardAndTheExamKeepsTheScreen) {
  // Exam mode puts the window on the screen anew, under another id.
  window_ = EnterExamMode(window_);
  ASSERT_FALSE(window_.empty()) << Log();
  // The page laid out anew for the whole screen.
  ASSERT_TRUE(WaitFor([&] { return Reported(R"("width":1280,"height":1024)"); }, 10s));
  const size_t windows = Windows();
  Open("upload");
  EXPECT_EQ(Windows(), windows);
  // Tab to Select, then Cancel: the keys move within the panel.
  x_.Type("Down Tab Tab Return");
  ASSERT_TRUE(WaitFor([&] { return SaidSo("file chooser hidden"); }, 10s)) << client_->Stderr();
  Open("upload", false);
  x_.Type("Down Return");
  EXPECT_TRUE(WaitFor([&] { return Reported("upload:upload:answer.txt/9"); }, 10s)) << Reports();
  EXPECT_EQ(Count(Reports(), "upload:upload:"), 1u);
  EXPECT_EQ(std::string(Trim(OnDisplay({X_INTRUDER_EXE, "grabs"}))), "keyboard:held pointer:held");
}

TEST_F(Chooser, ADownloadIsSavedBesideWhatIsThereUnlessAFileIsPicked) {
  std::ofstream(home_ + "Papers/sample.txt") << "mine";
  Open("txt");        // the save prompt is the chooser
  x_.Type("Return");  // nothing highlighted
  const std::string saved = home_ + "Papers/sample (1).txt";
  EXPECT_TRUE(WaitFor([&] { return ReadFile(saved) == kSampleText; }, 10s)) << client_->Stderr();
  EXPECT_EQ(ReadFile(home_ + "Papers/sample.txt"), "mine");
  // Picking a file targets it.
  Open("txt", false);
  x_.Type("Down Return");  // answer.txt, first in the list
  EXPECT_TRUE(WaitFor([&] { return ReadFile(home_ + "Papers/answer.txt") == kSampleText; }, 10s))
      << client_->Stderr();
}

TEST_F(Chooser, ADownloadInExamModeWritesNothing) {
  window_ = EnterExamMode(window_);
  ASSERT_FALSE(window_.empty()) << Log();
  ASSERT_TRUE(WaitFor([&] { return Reported(R"("width":1280,"height":1024)"); }, 10s));
  ClickPage(window_, "txt");
  EXPECT_TRUE(WaitFor([&] { return SaidSo("download not continued in exam mode: http"); }, 10s))
      << client_->Stderr();
  EXPECT_FALSE(SaidSo("file chooser shown"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home_ + "Papers"),
                          std::filesystem::directory_iterator()),
            2)
      << "answer.txt and inner/ only";
}

TEST_F(Chooser, APdfForANewWindowIsSavedWhereTheCandidateSays) {
  // Served only with the exam site's session cookie and to the exam browser.
  const std::string target = home_ + "Papers/formulas.pdf";
  SaveFrom("privatepdf", target);
  EXPECT_TRUE(WaitFor([&] { return ReadFile(target).starts_with("%PDF-1.4"); }, 20s))
      << client_->Stderr();
  EXPECT_TRUE(WaitFor(
      [&] {
        return SaidSo("message box: Quorvex module: Download File to " + target + " successfully");
      },
      20s))
      << client_->Stderr();
  EXPECT_TRUE(x_.FindWindows("^Demo notes$").empty()) << "no popup";
}

TEST_F(Chooser, APdfThatCannotBeFetchedEndsInTheFailureBox) {
  const std::string target = home_ + "Papers/gone.pdf";
  SaveFrom("deadpdf", target);
  EXPECT_TRUE(
      WaitFor([&] { return SaidSo("message box: Quorvex module: File Download Failed"); }, 30s))
      << client_->Stderr();
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(Chooser, ClosingTheExamWithThePanelUpEndsCleanly) {
  Open("upload");
  OnDisplay({QUORVEX_SEND_EXE, window_, "close"});
  auto ended = client_->WaitExit(20s);
  ASSERT_TRUE(ended.has_value()) << Log();
  EXPECT_TRUE(WIFEXITED(*ended) && WEXITSTATUS(*ended) == 0) << *ended;
}

}  // namespace
}  // namespace quorvex::e2e
