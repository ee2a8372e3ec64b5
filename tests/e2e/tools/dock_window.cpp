// A desktop panel for the tests: a window of the dock type along the bottom of the screen,
// kept until the process is killed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>
#include <cstdio>

int main() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return 1;
  const int screen = DefaultScreen(d);
  const int width = DisplayWidth(d, screen);
  const int height = DisplayHeight(d, screen);
  Window w =
      XCreateSimpleWindow(d, RootWindow(d, screen), 0, height - 40, width, 40, 0, 0, 0x336699);
  Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
  Atom dock = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DOCK", False);
  XChangeProperty(d, w, type, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&dock),
                  1);
  XStoreName(d, w, "test dock");
  // A busy window manager may miss the first request: ask until the panel is on the screen,
  // then say which window it is.
  for (int attempt = 0; attempt < 100; ++attempt) {
    XMapWindow(d, w);
    XSync(d, False);
    XWindowAttributes attrs{};
    if (XGetWindowAttributes(d, w, &attrs) && attrs.map_state == IsViewable) break;
    usleep(200 * 1000);
  }
  std::printf("%lu\n", w);
  std::fflush(stdout);
  for (;;) pause();
}
