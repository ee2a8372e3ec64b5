// The exam-mode keyboard filter in plain values: which keys are kept from everyone, the log
// line of every key event, and the hidden exit gesture. Key codes and flags are those of the
// Windows low-level keyboard hook, so logs and the gesture read the same on every platform.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/log.h"
#include "platform/desktop.h"
#include "platform/keysource.h"

#ifndef QUORVEX_EXIT_KEY
#error "QUORVEX_EXIT_KEY is set by the build (exam/CMakeLists.txt)"
#endif
#ifndef QUORVEX_EXIT_COUNT
#error "QUORVEX_EXIT_COUNT is set by the build (exam/CMakeLists.txt)"
#endif

namespace quorvex {

// The secret exit gesture: more than kExitCount releases of kExitKey with Alt held.
constexpr uint32_t kExitKey = QUORVEX_EXIT_KEY;
constexpr int32_t kExitCount = QUORVEX_EXIT_COUNT;
static_assert(kExitKey > 0 && kExitKey < 0xFF, "the exit key is a Windows virtual-key code");
// An Alt key never carries the Alt-down flag on its own release, so the gesture could not happen.
static_assert(kExitKey != 0x12 && kExitKey != 0xA4 && kExitKey != 0xA5,
              "the exit key cannot be Alt");
static_assert(kExitCount >= 1, "a single release must not end the exam");

// Flag bits of the low-level hook.
constexpr uint32_t kFlagInjected = 0x10;
constexpr uint32_t kFlagAltDown = 0x20;
constexpr uint32_t kFlagReleased = 0x80;

// One key event as the X server reports it.
struct TNwKeyEvent {
  unsigned long Keysym = 0;  // as looked up at the key's first level (no Shift)
  bool Released = false;
  bool AltDown = false;   // the Alt modifier in the event's state
  bool Injected = false;  // came from the XTEST device
};

// The Windows virtual-key code of an X keysym; 0 when it has none.
uint32_t WindowsVirtualKey(unsigned long keysym);

// The low-level hook flags of an event.
uint32_t KeyFlags(const TNwKeyEvent& event);

// Windows keys, Escape and Alt+Tab reach no one, press and release alike.
bool ShouldSwallow(uint32_t vk, uint32_t flags);

// "pressed vk:%d, flag: %d", written for every key event while the filter is on.
std::string PressedLogLine(uint32_t vk, uint32_t flags);

// Counts the releases of the exit key within one 3-second window. Time stays with the owner:
// at the first counted release the gesture hands `start_reset` the delay and the reset to run
// after it (SetTimeout fits). The reset stays safe to run after the gesture is gone, as
// SetTimeout cannot be cancelled.
class TNwExitGesture {
 public:
  using TStartReset = std::function<void(uint32_t delay_ms, std::function<void()> reset)>;
  static constexpr uint32_t kWindowMs = 3000;

  explicit TNwExitGesture(TStartReset start_reset, uint32_t exit_key = kExitKey,
                          int32_t exit_count = kExitCount);

  // One key event seen by the filter; true when the exam is to close.
  bool OnKey(uint32_t vk, uint32_t flags);

  int32_t ShortcutCount() const { return *FCount; }

 private:
  TStartReset FStartReset;
  uint32_t FExitKey;
  int32_t FExitCount;
  std::shared_ptr<int32_t> FCount = std::make_shared<int32_t>(0);
};

// Every key event of the program while exam mode is on: logged, watched for the exit gesture
// (whose releases count only when a real keyboard made them) and kept from everyone or not.
class TNwExamKeyFilter {
 public:
  // `on_exit` runs when the exit gesture is complete.
  TNwExamKeyFilter(ILogWriter& log, platform::IKeySource& keys,
                   TNwExitGesture::TStartReset start_reset, std::function<void()> on_exit,
                   uint32_t exit_key = kExitKey, int32_t exit_count = kExitCount);

  // True to keep the event from everyone.
  bool OnKey(const platform::TNativeKeyEvent& key);

 private:
  ILogWriter& FLog;
  platform::IKeySource& FKeys;
  std::function<void()> FOnExit;
  uint32_t FExitKey;
  TNwExitGesture FGesture;
};

}  // namespace quorvex
