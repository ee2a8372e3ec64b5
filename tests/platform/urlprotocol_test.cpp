// The URL scheme's handler as the desktop's own openers find and start it.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/linux/urlprotocol.h"
#include "platform/urlprotocol.h"
#include "tests/e2e/e2e_support.h"

namespace quorvex::platform {
namespace {

namespace fs = std::filesystem;
using e2e::Capture;
using quorvex::testing::ReadFile;
using quorvex::testing::WaitFor;
using namespace std::chrono_literals;

// Real launch links carry '?', '&', '=', '%' and ':'.
const char* const kLink = "tvqdx://invokedexam?eid=e%201&domain=exam.example:8080&token=ab=";

class UrlProtocol : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    fs::create_directories(home_);
    setenv("HOME", home_.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

  // A stand-in for the program in `folder` that writes down how it was started, one line a
  // start: `tag`, the number of arguments and the first.
  std::string Handler(const std::string& folder, const std::string& tag) {
    fs::create_directories(folder);
    const std::string path = folder + "/quorvex";
    std::ofstream(path) << "#!/bin/sh\nprintf '%s %s\\n' " << tag << " \"$#:$1\" >> '" << record_
                        << "'\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  // Opens the link with `opener` as a desktop without a desktop environment of its own would.
  void Open(const std::vector<std::string>& opener) {
    std::vector<std::string> argv = opener;
    argv.push_back(kLink);
    Capture(argv, {{"HOME", home_},
                   {"XDG_DATA_HOME", ""},
                   {"XDG_CONFIG_HOME", ""},
                   {"XDG_CURRENT_DESKTOP", ""},
                   {"DISPLAY", ":97"}});
  }
  bool Started(const std::string& tag, size_t times) {
    const std::string line = tag + " 1:" + kLink + "\n";
    return WaitFor(
        [&] {
          const std::string got = ReadFile(record_);
          size_t n = 0;
          for (size_t at = got.find(line); at != std::string::npos; at = got.find(line, at + 1))
            ++n;
          return n == times;
        },
        10s);
  }

  quorvex::testing::ScratchDir scratch_{"qvx-scheme"};
  const std::string home_ = scratch_.path() + "home";
  const std::string record_ = scratch_.path() + "started";
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(UrlProtocol, TheDesktopsOpenersStartTheProgramWithTheWholeLink) {
  // A plain folder and one whose name the shell-script opener would split.
  const std::pair<std::string, std::string> cases[] = {
      {"plain", scratch_.path() + "opt/quorvex"},
      {"blanks", scratch_.path() + "My Programs/Quorvex \"exam\" $HOME"}};
  for (const auto& [tag, folder] : cases) {
    SCOPED_TRACE(folder);
    ASSERT_TRUE(RegisterUrlProtocol("tvqdx", Handler(folder, tag), true));
    Open({"xdg-open"});
    EXPECT_TRUE(Started(tag, 1)) << ReadFile(record_);
    Open({"gio", "open"});
    EXPECT_TRUE(Started(tag, 2)) << ReadFile(record_);
  }
}

TEST_F(UrlProtocol, AgainOrFromANewPlaceReplacesOnlyItsOwnEntries) {
  const std::string mimeapps = home_ + "/.config/mimeapps.list";
  fs::create_directories(home_ + "/.config");
  const std::string others =
      "[Default Applications]\n"
      "text/html=firefox-esr.desktop\n"
      "x-scheme-handler/tvqdx=old-client.desktop\n"
      "x-scheme-handler/mailto=thunderbird.desktop\n"
      "\n"
      "[Added Associations]\n"
      "x-scheme-handler/tvqdx=old-client.desktop;\n";
  std::ofstream(mimeapps) << others;

  const std::string first = Handler(scratch_.path() + "first", "first");
  ASSERT_TRUE(RegisterUrlProtocol("tvqdx", first, true));
  const std::string entry =
      ReadFile(home_ + "/.local/share/applications/" + SchemeEntryName("tvqdx"));
  EXPECT_NE(entry.find("Exec=" + first + " %u\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("MimeType=x-scheme-handler/tvqdx;\n"), std::string::npos) << entry;
  const std::string expected =
      "[Default Applications]\n"
      "text/html=firefox-esr.desktop\n"
      "x-scheme-handler/tvqdx=tvqdxProtocol.desktop\n"
      "x-scheme-handler/mailto=thunderbird.desktop\n"
      "\n"
      "[Added Associations]\n"
      "x-scheme-handler/tvqdx=old-client.desktop;\n";
  EXPECT_EQ(ReadFile(mimeapps), expected);
  // Twice: the same files, and true again.
  ASSERT_TRUE(RegisterUrlProtocol("tvqdx", first, true));
  EXPECT_EQ(ReadFile(mimeapps), expected);
  EXPECT_EQ(ReadFile(home_ + "/.local/share/applications/tvqdxProtocol.desktop"), entry);

  // Moved: the links go to the new place.
  const std::string moved = scratch_.path() + "moved here";
  ASSERT_TRUE(RegisterUrlProtocol("tvqdx", Handler(moved, "moved"), true));
  Open({"xdg-open"});
  EXPECT_TRUE(Started("moved", 1)) << ReadFile(record_);
  EXPECT_EQ(ReadFile(record_).find("first "), std::string::npos);
}

TEST_F(UrlProtocol, AListWithoutOurSectionGetsOneAndTheEntryWithoutArgumentHasNoField) {
  fs::create_directories(home_ + "/.config");
  std::ofstream(home_ + "/.config/mimeapps.list")
      << "[Added Associations]\ntext/plain=gedit.desktop;";
  ASSERT_TRUE(RegisterUrlProtocol("tvqdx", "/opt/quorvex/quorvex", false));
  EXPECT_EQ(ReadFile(home_ + "/.config/mimeapps.list"),
            "[Added Associations]\ntext/plain=gedit.desktop;\n\n"
            "[Default Applications]\nx-scheme-handler/tvqdx=tvqdxProtocol.desktop\n");
  EXPECT_NE(ReadFile(home_ + "/.local/share/applications/tvqdxProtocol.desktop")
                .find("Exec=/opt/quorvex/quorvex\n"),
            std::string::npos);
}

TEST_F(UrlProtocol, AFolderThatCannotBeWrittenAnswersFalse) {
  // Root may write anywhere, so the folders are made impossible rather than forbidden.
  const std::string file = scratch_.path() + "a-file";
  std::ofstream(file) << "x";
  setenv("XDG_DATA_HOME", (file + "/data").c_str(), 1);
  EXPECT_FALSE(RegisterUrlProtocol("tvqdx", "/opt/quorvex/quorvex", true));
  unsetenv("XDG_DATA_HOME");
  setenv("XDG_CONFIG_HOME", (file + "/config").c_str(), 1);
  EXPECT_FALSE(RegisterUrlProtocol("tvqdx", "/opt/quorvex/quorvex", true));
  // A list that is a folder cannot be replaced.
  setenv("XDG_CONFIG_HOME", (scratch_.path() + "config").c_str(), 1);
  fs::create_directories(scratch_.path() + "config/mimeapps.list/inner");
  EXPECT_FALSE(RegisterUrlProtocol("tvqdx", "/opt/quorvex/quorvex", true));
}

}  // namespace
}  // namespace quorvex::platform
