// Where the exam page may go and what may open beside it, in plain values: navigations, the
// close address, popups, links opened from a tab, the context menu and the reload key.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace quorvex {

// The browser runtime's target dispositions, by their numbers.
enum class TNwDisposition : uint8_t {
  wdUnknown = 0,
  wdCurrentTab = 1,
  wdSingletonTab = 2,
  wdNewForegroundTab = 3,
  wdNewBackgroundTab = 4,
  wdNewPopup = 5,
  wdNewWindow = 6,
  wdSaveToDisk = 7,
  wdOffTheRecord = 8,
  wdIgnoreAction = 9,
};

// New foreground and background tabs, popups and windows.
bool IsNewWindowKind(TNwDisposition disposition);

// A target whose last three characters are "pdf" in any letter case; no dot or path needed.
bool IsPdfTarget(std::string_view url);

// The address by which the exam page closes the client, exactly as written.
inline constexpr std::string_view kCloseAddress = "tvqdx://closeBrowswer";
bool IsCloseAddress(std::string_view url);

enum class TNwPopupAction : uint8_t {
  paCancel,
  paPdfDownload,  // the target is saved where the candidate chooses; no popup
  paPopupWindow,  // the popup opens in the client's own popup window
};

// The first rule that applies: exam mode cancels; a PDF target is downloaded; a new-window
// kind opens the popup window; anything else is cancelled.
TNwPopupAction BeforePopup(bool exam_mode, std::string_view target_url, TNwDisposition disposition);

// A link opened from a tab (Ctrl+click, middle click) is cancelled exactly when it asks for a
// new window and its target is no PDF; otherwise it opens in the exam window itself.
bool OpenUrlFromTabCancels(std::string_view target_url, TNwDisposition disposition);

// Context-menu command ids.
enum TNwMenuCommand : int {
  mcBackward = 160,
  mcForward = 161,
  mcReload = 162,
  mcAbout = 163,
};

// The menu's items in order; none in exam mode, where no menu is shown.
std::vector<TNwMenuCommand> ContextMenuItems(bool exam_mode, bool can_go_back, bool can_go_forward);

// Key-event modifier flags of the browser runtime.
struct TNwKeyModifiers {
  bool Shift = false, Control = false, Alt = false, CapsLock = false, NumLock = false;
};
uint32_t KeyEventFlags(const TNwKeyModifiers& modifiers);

// Shift+F5 with no other flag reloads; Caps Lock or Num Lock on adds a flag, so it does not.
bool IsReloadKey(uint32_t flags, uint32_t windows_key_code);

}  // namespace quorvex
