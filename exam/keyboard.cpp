#include "exam/keyboard.h"

#include <utility>

#include "common/format.h"
#include "platform/process.h"

namespace quorvex {

namespace {

struct TKeysymVk {
  unsigned long Keysym;
  uint32_t Vk;
};

// Keysyms outside the letter, digit, F-key and keypad-digit ranges.
constexpr TKeysymVk kKeys[] = {
    {0xff1b, 0x1B},  // Escape
    {0xff09, 0x09},  // Tab
    {0xfe20, 0x09},  // ISO_Left_Tab: Shift+Tab at the shifted level is still Tab
    {0xff0d, 0x0D},  // Return
    {0xff8d, 0x0D},  // KP_Enter
    {0xff08, 0x08},  // BackSpace
    {0x0020, 0x20},  // space
    {0xff51, 0x25},  // Left
    {0xff52, 0x26},  // Up
    {0xff53, 0x27},  // Right
    {0xff54, 0x28},  // Down
    {0xff50, 0x24},  // Home
    {0xff57, 0x23},  // End
    {0xff55, 0x21},  // Prior
    {0xff56, 0x22},  // Next
    {0xff63, 0x2D},  // Insert
    {0xffff, 0x2E},  // Delete
    {0xff96, 0x25},  // KP_Left
    {0xff97, 0x26},  // KP_Up
    {0xff98, 0x27},  // KP_Right
    {0xff99, 0x28},  // KP_Down
    {0xff95, 0x24},  // KP_Home
    {0xff9c, 0x23},  // KP_End
    {0xff9a, 0x21},  // KP_Prior
    {0xff9b, 0x22},  // KP_Next
    {0xff9e, 0x2D},  // KP_Insert
    {0xff9f, 0x2E},  // KP_Delete
    {0xff9d, 0x0C},  // KP_Begin
    {0xffaa, 0x6A},  // KP_Multiply
    {0xffab, 0x6B},  // KP_Add
    {0xffac, 0x6C},  // KP_Separator
    {0xffad, 0x6D},  // KP_Subtract
    {0xffae, 0x6E},  // KP_Decimal
    {0xffaf, 0x6F},  // KP_Divide
    {0xffe1, 0xA0},  // Shift_L
    {0xffe2, 0xA1},  // Shift_R
    {0xffe3, 0xA2},  // Control_L
    {0xffe4, 0xA3},  // Control_R
    {0xffe9, 0xA4},  // Alt_L
    {0xffea, 0xA5},  // Alt_R
    {0xfe03, 0xA5},  // ISO_Level3_Shift: AltGr is the right Alt key
    // The Windows key is Super, or Meta or Hyper under the keymap's altwin options.
    {0xffeb, 0x5B},  // Super_L
    {0xffec, 0x5C},  // Super_R
    {0xffe7, 0x5B},  // Meta_L
    {0xffe8, 0x5C},  // Meta_R
    {0xffed, 0x5B},  // Hyper_L
    {0xffee, 0x5C},  // Hyper_R
    {0xff67, 0x5D},  // Menu
    {0xff61, 0x2C},  // Print
    {0xff13, 0x13},  // Pause
    {0xffe5, 0x14},  // Caps_Lock
    {0xff7f, 0x90},  // Num_Lock
    {0xff14, 0x91},  // Scroll_Lock
    // Punctuation where the US layout has it, named as Windows names it.
    {';', 0xBA},
    {'=', 0xBB},
    {',', 0xBC},
    {'-', 0xBD},
    {'.', 0xBE},
    {'/', 0xBF},
    {'`', 0xC0},
    {'[', 0xDB},
    {'\\', 0xDC},
    {']', 0xDD},
    {'\'', 0xDE},
};

}  // namespace

uint32_t WindowsVirtualKey(unsigned long keysym) {
  if (keysym >= 'a' && keysym <= 'z') return static_cast<uint32_t>(keysym - 'a' + 0x41);
  if (keysym >= 'A' && keysym <= 'Z') return static_cast<uint32_t>(keysym);
  if (keysym >= '0' && keysym <= '9') return static_cast<uint32_t>(keysym);
  if (keysym >= 0xffbe && keysym <= 0xffd5) return static_cast<uint32_t>(keysym - 0xffbe + 0x70);
  if (keysym >= 0xffb0 && keysym <= 0xffb9) return static_cast<uint32_t>(keysym - 0xffb0 + 0x60);
  for (const auto& key : kKeys) {
    if (key.Keysym == keysym) return key.Vk;
  }
  return 0;
}

uint32_t KeyFlags(const TNwKeyEvent& event) {
  bool alt_down = event.AltDown;
  // X reports the modifier state from before the event; Windows reports it after, so an Alt
  // key's own press carries the flag and its release does not.
  const uint32_t vk = WindowsVirtualKey(event.Keysym);
  if (vk == 0xA4 || vk == 0xA5) alt_down = !event.Released;
  uint32_t flags = 0;
  if (event.Injected) flags |= kFlagInjected;
  if (alt_down) flags |= kFlagAltDown;
  if (event.Released) flags |= kFlagReleased;
  return flags;
}

bool ShouldSwallow(uint32_t vk, uint32_t flags) {
  switch (vk) {
    case 0x5B:
    case 0x5C:
    case 0x1B:
      return true;
    case 0x09:
      return (flags & kFlagAltDown) != 0;
    default:
      return false;
  }
}

std::string PressedLogLine(uint32_t vk, uint32_t flags) {
  return Format("pressed vk:%d, flag: %d", {vk, flags});
}

TNwExitGesture::TNwExitGesture(TStartReset start_reset, uint32_t exit_key, int32_t exit_count)
    : FStartReset(std::move(start_reset)), FExitKey(exit_key), FExitCount(exit_count) {}

bool TNwExitGesture::OnKey(uint32_t vk, uint32_t flags) {
  // Exactly released + Alt: an injected release carries one more bit and never counts.
  if (vk != FExitKey || flags != (kFlagReleased | kFlagAltDown)) return false;
  if (*FCount == 0 && FStartReset) {
    FStartReset(kWindowMs, [count = FCount] { *count = 0; });
  }
  ++*FCount;
  return *FCount > FExitCount;
}

TNwExamKeyFilter::TNwExamKeyFilter(ILogWriter& log, platform::IKeySource& keys,
                                   TNwExitGesture::TStartReset start_reset,
                                   std::function<void()> on_exit, uint32_t exit_key,
                                   int32_t exit_count)
    : FLog(log),
      FKeys(keys),
      FOnExit(std::move(on_exit)),
      FExitKey(exit_key),
      FGesture(std::move(start_reset), exit_key, exit_count) {}

bool TNwExamKeyFilter::OnKey(const platform::TNativeKeyEvent& key) {
  const uint32_t vk = WindowsVirtualKey(key.Keysym);
  // Only a candidate of the exit gesture is worth the question where it came from.
  const bool injected = key.Release && key.AltDown && vk == FExitKey &&
                        !FKeys.IsPhysicalKeyRelease(key.Keycode, key.Time);
  const uint32_t flags = KeyFlags({key.Keysym, key.Release, key.AltDown, injected});
  const std::string line = PressedLogLine(vk, flags);
  platform::DebugOutput(line);
  FLog.Info(line, "");
  if (FGesture.OnKey(vk, flags)) {
    FLog.Info("shoutcut detected, try to exit", "");
    if (FOnExit) FOnExit();
  }
  return ShouldSwallow(vk, flags);
}

}  // namespace quorvex
