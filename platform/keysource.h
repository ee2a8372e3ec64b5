// Which device a key event came from: a person's keyboard, or one through which another
// program makes up input.
#pragma once

namespace quorvex::platform {

class IKeySource {
 public:
  virtual ~IKeySource() = default;
  // Starts watching the keyboard devices; later calls do nothing. From the GUI thread.
  virtual void Watch() = 0;
  // Whether the release of `keycode` at server time `time` came from a real keyboard: false
  // for an injected one, and when it cannot be told within a short wait.
  virtual bool IsPhysicalKeyRelease(unsigned int keycode, unsigned long time) = 0;
};

// The key sources of the display the program runs on.
IKeySource& KeySource();

}  // namespace quorvex::platform
