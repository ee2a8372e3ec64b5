#include "exam/keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "tests/support/desktop_fakes.h"
#include "tests/support/fake_log.h"

namespace quorvex {
namespace {

constexpr uint32_t kAlt = 0x20, kUp = 0x80, kInjected = 0x10;
constexpr uint32_t kGestureFlags = kUp | kAlt;

TEST(KeyboardFilter, SwallowsWindowsKeysEscapeAndAltTabOnly) {
  struct Case {
    uint32_t vk, flags;
    bool swallowed;
  };
  const Case cases[] = {
      {0x5B, 0, true},
      {0x5B, kUp, true},
      {0x5C, kAlt, true},
      {0x5C, kUp | kInjected, true},  // an injected Windows key is no different
      {0x1B, 0, true},
      {0x1B, kUp, true},
      {0x1B, kAlt, true},  // Alt+Esc
      {0x1B, kUp | kAlt, true},
      {0x09, kAlt, true},
      {0x09, kUp | kAlt, true},
      {0x09, kAlt | kInjected, true},
      {0x09, 0, false},  // Tab alone still moves the focus
      {0x09, kUp, false},
      {0x73, kAlt, false},               // Alt+F4: the window filters the close
      {kExitKey, kGestureFlags, false},  // the exit key reaches the page
      {0x74, 0, false},                  // F5
      {0x41, 0, false},
      {0x5D, 0, false},  // Menu
      {0xA4, kAlt, false},
      {0, 0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShouldSwallow(c.vk, c.flags), c.swallowed) << c.vk << "/" << c.flags;
  }
}

TEST(KeyboardFilter, MapsKeysymsToWindowsVirtualKeys) {
  const std::pair<unsigned long, uint32_t> cases[] = {
      {'a', 0x41},    {'A', 0x41},    {'z', 0x5A},    {'Z', 0x5A},    {'0', 0x30},
      {'9', 0x39},    {0xffbe, 0x70}, {0xffc9, 0x7B}, {0xffd5, 0x87}, {0xff1b, 0x1B},
      {0xff09, 0x09}, {0xfe20, 0x09}, {0xff0d, 0x0D}, {0xff08, 0x08}, {0x20, 0x20},
      {0xff51, 0x25}, {0xff52, 0x26}, {0xff53, 0x27}, {0xff54, 0x28}, {0xffe1, 0xA0},
      {0xffe2, 0xA1}, {0xffe3, 0xA2}, {0xffe4, 0xA3}, {0xffe9, 0xA4}, {0xffea, 0xA5},
      {0xffeb, 0x5B}, {0xffec, 0x5C}, {0xffe7, 0x5B}, {0xffe8, 0x5C}, {0xff67, 0x5D},
      {0xffff, 0x2E}, {0xff63, 0x2D}, {0xff50, 0x24}, {0xff57, 0x23}, {0xff55, 0x21},
      {0xff56, 0x22}, {0xffb5, 0x65}, {0xff95, 0x24}, {',', 0xBC},    {'/', 0xBF},
  };
  for (const auto& [keysym, vk] : cases) {
    EXPECT_EQ(WindowsVirtualKey(keysym), vk) << std::hex << keysym;
  }
  // Unknown keys map to 0 and are still logged: a media key, é, nothing.
  for (unsigned long keysym : {0x1008ff13ul, 0xe9ul, 0ul}) {
    EXPECT_EQ(WindowsVirtualKey(keysym), 0u) << std::hex << keysym;
  }
}

TEST(KeyboardFilter, FlagsReadAsTheLowLevelHookReportsThem) {
  struct Case {
    TNwKeyEvent event;
    uint32_t flags;
  };
  const Case cases[] = {
      {{'a', false, false, false}, 0},
      {{'a', true, false, false}, 0x80},
      {{0xffc9, true, true, false}, 0xA0},
      {{0xffc9, true, true, true}, 0xB0},
      {{0xff09, false, true, false}, 0x20},
      {{0xff09, false, false, true}, 0x10},
      // Alt's own events: the flag follows the key, not X's state from before the event.
      {{0xffe9, false, false, false}, 0x20},
      {{0xffe9, true, true, false}, 0x80},
      {{0xffea, false, false, false}, 0x20},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeyFlags(c.event), c.flags) << std::hex << c.event.Keysym;
  }
}

TEST(KeyboardFilter, LogsEveryPressAndRelease) {
  const TNwKeyEvent press{'a', false, false, false}, release{'A', true, false, false};
  EXPECT_EQ(PressedLogLine(WindowsVirtualKey(press.Keysym), KeyFlags(press)),
            "pressed vk:65, flag: 0");
  EXPECT_EQ(PressedLogLine(WindowsVirtualKey(release.Keysym), KeyFlags(release)),
            "pressed vk:65, flag: 128");
  EXPECT_EQ(PressedLogLine(0, 0xB0), "pressed vk:0, flag: 176");
}

// The gesture as the build sets it, with the owner's deferred resets kept for the test to run.
class KeyboardExitGesture : public ::testing::Test {
 protected:
  struct Reset {
    uint32_t delay_ms;
    std::function<void()> run;
  };
  std::vector<Reset> resets_;
  TNwExitGesture gesture_{[this](uint32_t delay_ms, std::function<void()> run) {
    resets_.push_back({delay_ms, run});
  }};

  // Counted releases; how many of them answered "close".
  int Release(int times, uint32_t flags = kGestureFlags) {
    int closes = 0;
    for (int i = 0; i < times; ++i) closes += gesture_.OnKey(kExitKey, flags) ? 1 : 0;
    return closes;
  }
};

TEST_F(KeyboardExitGesture, ClosesAtTheReleaseThatExceedsTheCount) {
  EXPECT_EQ(Release(kExitCount), 0);
  EXPECT_EQ(gesture_.ShortcutCount(), kExitCount);
  EXPECT_TRUE(gesture_.OnKey(kExitKey, kGestureFlags));
  EXPECT_EQ(Release(2), 2);  // further releases in the same window close again
  EXPECT_EQ(gesture_.ShortcutCount(), kExitCount + 3);
  ASSERT_EQ(resets_.size(), 1u);  // one reset per window, measured from the first release
  EXPECT_EQ(resets_[0].delay_ms, 3000u);
}

TEST_F(KeyboardExitGesture, AResetStartsOverWithANewWindow) {
  EXPECT_EQ(Release(kExitCount), 0);
  ASSERT_EQ(resets_.size(), 1u);
  resets_[0].run();
  EXPECT_EQ(gesture_.ShortcutCount(), 0);
  EXPECT_EQ(Release(kExitCount), 0);  // the count before the reset is gone
  ASSERT_EQ(resets_.size(), 2u);
  EXPECT_EQ(Release(1), 1);
}

TEST_F(KeyboardExitGesture, OnlyPhysicalReleasesOfTheExitKeyWithAltCount) {
  const uint32_t other_key = kExitKey == 0x7A ? 0x7B : 0x7A;
  for (int i = 0; i < kExitCount + 2; ++i) {
    EXPECT_FALSE(gesture_.OnKey(kExitKey, kGestureFlags | kInjected));
    EXPECT_FALSE(gesture_.OnKey(kExitKey, kAlt));               // press
    EXPECT_FALSE(gesture_.OnKey(kExitKey, kUp));                // no Alt
    EXPECT_FALSE(gesture_.OnKey(kExitKey, kUp | kAlt | 0x01));  // an extra bit
    EXPECT_FALSE(gesture_.OnKey(other_key, kGestureFlags));
  }
  EXPECT_EQ(gesture_.ShortcutCount(), 0);
  EXPECT_TRUE(resets_.empty());
  // Interleaved injected releases neither count nor spoil a real gesture.
  for (int i = 0; i < kExitCount; ++i) {
    EXPECT_FALSE(gesture_.OnKey(kExitKey, kGestureFlags));
    EXPECT_FALSE(gesture_.OnKey(kExitKey, kGestureFlags | kInjected));
  }
  EXPECT_TRUE(gesture_.OnKey(kExitKey, kGestureFlags));
}

TEST(KeyboardExitGestureLifetime, AResetRunningAfterTheGestureIsGoneIsHarmless) {
  std::function<void()> pending;
  {
    TNwExitGesture gesture([&](uint32_t, std::function<void()> run) { pending = run; }, 0x41, 1);
    EXPECT_FALSE(gesture.OnKey(0x41, kGestureFlags));
    EXPECT_TRUE(gesture.OnKey(0x41, kGestureFlags));
  }
  ASSERT_TRUE(pending);
  pending();
}

// The filter on the program's key events, with the exit gesture on Alt+Q counted past 2.
class ExamKeyFilter : public ::testing::Test {
 protected:
  static constexpr unsigned long kQ = 'q', kEscape = 0xff1b, kTab = 0xff09;

  // Releases of Q with Alt held; how often the exam was told to close.
  int Gesture(bool physical, int releases) {
    keys_.Physical = physical;
    for (int i = 0; i < releases; ++i) {
      filter_.OnKey({kQ, false, true, 24, 100u + i});
      filter_.OnKey({kQ, true, true, 24, 200u + i});
    }
    return exits_;
  }
  size_t Logged(const std::string& line) {
    return static_cast<size_t>(std::count(log_.Lines.begin(), log_.Lines.end(), "INFO " + line));
  }

  testing::FakeLog log_;
  testing::FakeKeySource keys_;
  int exits_ = 0;
  TNwExamKeyFilter filter_{
      log_, keys_, [](uint32_t, std::function<void()>) {}, [this] { ++exits_; }, 0x51, 2};
};

TEST_F(ExamKeyFilter, ARealGestureClosesTheExam) {
  EXPECT_EQ(Gesture(true, 2), 0);
  EXPECT_EQ(Gesture(true, 1), 1) << "the release that exceeds the count closes";
  EXPECT_EQ(Logged("pressed vk:81, flag: 160"), 3u);
  EXPECT_EQ(Logged("shoutcut detected, try to exit"), 1u);
}

TEST_F(ExamKeyFilter, AGestureAnotherProgramMadeUpNeverCounts) {
  EXPECT_EQ(Gesture(false, 6), 0);
  EXPECT_EQ(Logged("pressed vk:81, flag: 176"), 6u) << "logged with the injected flag";
  EXPECT_EQ(Logged("shoutcut detected, try to exit"), 0u);
}

TEST_F(ExamKeyFilter, KeepsTheSwitchingKeysFromEveryoneAndLogsEveryEvent) {
  EXPECT_TRUE(filter_.OnKey({kEscape, false, false, 9, 1}));
  EXPECT_TRUE(filter_.OnKey({kTab, false, true, 23, 2}));
  EXPECT_FALSE(filter_.OnKey({kTab, false, false, 23, 3}));
  EXPECT_FALSE(filter_.OnKey({'a', true, false, 38, 4}));
  EXPECT_EQ(log_.Lines, (std::vector<std::string>{
                            "INFO pressed vk:27, flag: 0", "INFO pressed vk:9, flag: 32",
                            "INFO pressed vk:9, flag: 0", "INFO pressed vk:65, flag: 128"}));
}

}  // namespace
}  // namespace quorvex
