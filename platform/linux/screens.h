// The X server's monitors, for any display.
#pragma once

#include "platform/screens.h"

namespace quorvex::platform {

// Monitors of the X server `display_name` (nullptr: $DISPLAY), as MonitorCount counts them.
int MonitorCountOn(const char* display_name);

}  // namespace quorvex::platform
