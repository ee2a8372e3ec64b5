// The desktop around the exam window: its panels, task list and task managers, the key events
// of the program's own windows and the commands other programs of the user send them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvex::platform {

// Where a top-level window of the program stands on the desktop.
struct TWindowPlacement {
  // Mapped and on the screen.
  bool Viewable = true;
  bool Minimised = false;
  bool OnCurrentDesktop = true;
  // No window of another program stands above it.
  bool OnTop = true;
};

// What exam mode changes on the desktop. From the GUI thread unless said otherwise.
class IDesktop {
 public:
  virtual ~IDesktop() = default;
  // Dock and panel windows (taskbars): hidden in exam mode, shown after. Answers the windows
  // it hid.
  virtual std::vector<unsigned long> HideDockWindows() = 0;
  virtual void ShowDockWindows(const std::vector<unsigned long>& windows) = 0;
  // Keeps `window` out of the desktop's task list.
  virtual void SetSkipTaskbar(unsigned long window, bool skip) = 0;
  // Where `window` stands; `own` are the program's other top-level windows (its dialogs and
  // lists), which may stand above it.
  virtual TWindowPlacement Placement(unsigned long window,
                                     const std::vector<unsigned long>& own) = 0;
  // Maps `window` again, puts it on every desktop and asks the window manager to activate it,
  // which also brings it back from minimised.
  virtual void BringBack(unsigned long window) = 0;
  // Lowers the windows of other programs that bypass the window manager and stand above
  // `window`; answers how many.
  virtual int LowerIntrudersAbove(unsigned long window, const std::vector<unsigned long>& own) = 0;
  // From any thread: hides top-level windows titled `title` (letter case aside) and the
  // desktop's usual system monitors; answers how many it hid.
  virtual int HideTaskManagerWindows(const std::string& title) = 0;
};

// The desktop of the display the program runs on.
IDesktop& Desktop();

// A key event of this program's display connection, in plain values.
struct TNativeKeyEvent {
  unsigned long Keysym;
  bool Release;
  bool AltDown;
  unsigned int Keycode;
  unsigned long Time;  // the server's time of the event
};
// The key event in a native event of the GUI toolkit; nullopt for any other event.
std::optional<TNativeKeyEvent> DecodeKeyEvent(const char* event_type, void* message);

// Caps Lock and Num Lock in the modifier state of a native key event of the GUI toolkit.
struct TLockKeys {
  bool CapsLock = false;
  bool NumLock = false;
};
TLockKeys LockKeysOf(unsigned int native_modifiers);

// The message type by which other processes of the user command the exam window.
inline constexpr const char* kCommandMessageType = "QUORVEX_COMMAND";
// A command for `window` (its number in the first data word); nullopt for any other event.
std::optional<long> DecodeCommandMessage(const char* event_type, void* message,
                                         unsigned long window);
// Sends a command to `window` of the display in $DISPLAY; false when it cannot be sent.
bool SendCommandMessage(unsigned long window, long command);

}  // namespace quorvex::platform
