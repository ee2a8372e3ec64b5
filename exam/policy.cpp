#include "exam/policy.h"

#include "common/text.h"

namespace quorvex {

bool IsNewWindowKind(TNwDisposition disposition) {
  return disposition >= TNwDisposition::wdNewForegroundTab &&
         disposition <= TNwDisposition::wdNewWindow;
}

bool IsPdfTarget(std::string_view url) {
  return url.size() >= 3 && SameText(url.substr(url.size() - 3), "pdf");
}

bool IsCloseAddress(std::string_view url) {
  return url == kCloseAddress;
}

TNwPopupAction BeforePopup(bool exam_mode, std::string_view target_url,
                           TNwDisposition disposition) {
  if (exam_mode) return TNwPopupAction::paCancel;
  if (IsPdfTarget(target_url)) return TNwPopupAction::paPdfDownload;
  if (IsNewWindowKind(disposition)) return TNwPopupAction::paPopupWindow;
  return TNwPopupAction::paCancel;
}

bool OpenUrlFromTabCancels(std::string_view target_url, TNwDisposition disposition) {
  return IsNewWindowKind(disposition) && !IsPdfTarget(target_url);
}

std::vector<TNwMenuCommand> ContextMenuItems(bool exam_mode, bool can_go_back,
                                             bool can_go_forward) {
  if (exam_mode) return {};
  std::vector<TNwMenuCommand> items;
  if (can_go_back) items.push_back(mcBackward);
  if (can_go_forward) items.push_back(mcForward);
  items.push_back(mcReload);
  items.push_back(mcAbout);
  return items;
}

uint32_t KeyEventFlags(const TNwKeyModifiers& modifiers) {
  return (modifiers.CapsLock ? 1u : 0u) | (modifiers.Shift ? 2u : 0u) |
         (modifiers.Control ? 4u : 0u) | (modifiers.Alt ? 8u : 0u) |
         (modifiers.NumLock ? 256u : 0u);
}

bool IsReloadKey(uint32_t flags, uint32_t windows_key_code) {
  constexpr uint32_t kShiftDown = 2, kF5 = 116;
  return flags == kShiftDown && windows_key_code == kF5;
}

}  // namespace quorvex
