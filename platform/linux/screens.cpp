// The number of monitors, from the X server.
#include "platform/linux/screens.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

namespace quorvex::platform {
namespace {

int RandrMonitors(Display* display) {
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(display, &event_base, &error_base)) return 0;
  // Monitors came with RandR 1.5; asking an older server would be a protocol error.
  if (!XRRQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 5)) {
    return 0;
  }
  int total = 0;
  for (int screen = 0; screen < ScreenCount(display); ++screen) {
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, RootWindow(display, screen), True, &count);
    if (monitors) {
      total += count;
      XRRFreeMonitors(monitors);
    }
  }
  return total;
}

int XineramaHeads(Display* display) {
  int event_base = 0, error_base = 0;
  if (!XineramaQueryExtension(display, &event_base, &error_base) || !XineramaIsActive(display)) {
    return 0;
  }
  int count = 0;
  XineramaScreenInfo* heads = XineramaQueryScreens(display, &count);
  if (heads) XFree(heads);
  return count;
}

}  // namespace

int MonitorCountOn(const char* display_name) {
  // A connection of our own: callers run on worker threads and must not share Qt's.
  Display* display = XOpenDisplay(display_name);
  if (!display) return 0;
  int count = std::max({ScreenCount(display), RandrMonitors(display), XineramaHeads(display)});
  XCloseDisplay(display);
  return count;
}

int MonitorCount() {
  return MonitorCountOn(nullptr);
}

}  // namespace quorvex::platform
