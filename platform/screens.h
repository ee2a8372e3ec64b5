// The monitors of the display the program shows its windows on.
#pragma once

namespace quorvex::platform {

// The most of the display server's monitors, heads and screens; 0 when no display can be
// reached. Safe from any thread.
int MonitorCount();

}  // namespace quorvex::platform
