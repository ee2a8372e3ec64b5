// Another program of the user's desktop, for the tests of exam mode:
//   x_intruder cover            maps a screen-sized window that bypasses the window manager and
//                               prints its id; stays until killed
//   x_intruder hold-keyboard S  takes the keyboard, prints "held", lets it go after S seconds,
//                               prints "released" and ends
//   x_intruder grabs            prints who may take the keyboard and the pointer: "keyboard:held"
//                               when someone else holds it, "keyboard:free" otherwise (same for
//                               the pointer)
//   x_intruder top              prints the client window on top of the stack, or the top
//                               window itself when it holds none
//   x_intruder unmaximize ID    asks the window manager to give window ID its normal size
//   x_intruder popups           prints how many windows that bypass the window manager (menus,
//                               lists, tooltips) are on the screen, then each one's id and
//                               geometry
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The client window inside a frame: the one with WM_STATE.
Window ClientOf(Display* d, Window w) {
  Atom wm_state = XInternAtom(d, "WM_STATE", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, wm_state, 0, 0, False, AnyPropertyType, &type, &format, &count,
                         &after, &data) == Success &&
      type != None) {
    if (data) XFree(data);
    return w;
  }
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  Window found = None;
  if (XQueryTree(d, w, &root, &parent, &children, &n)) {
    for (unsigned int i = 0; i < n && found == None; ++i) found = ClientOf(d, children[i]);
    if (children) XFree(children);
  }
  return found;
}

int Top(Display* d) {
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return 1;
  for (unsigned int i = n; i-- > 0;) {
    XWindowAttributes attrs{};
    if (XGetWindowAttributes(d, children[i], &attrs) && attrs.map_state == IsViewable &&
        attrs.c_class == InputOutput) {
      Window client = ClientOf(d, children[i]);
      std::printf("%lu\n", client != None ? client : children[i]);
      break;
    }
  }
  if (children) XFree(children);
  return 0;
}

int Popups(Display* d) {
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return 1;
  std::string found;
  int popups = 0;
  for (unsigned int i = 0; i < n; ++i) {
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(d, children[i], &attrs)) continue;
    // A window manager keeps tiny helper windows of its own out of sight.
    const bool seeable = attrs.width > 1 && attrs.height > 1 && attrs.x + attrs.width > 0 &&
                         attrs.y + attrs.height > 0;
    if (attrs.map_state == IsViewable && attrs.override_redirect && attrs.c_class == InputOutput &&
        seeable) {
      ++popups;
      char line[96];
      std::snprintf(line, sizeof line, "%lu %dx%d+%d+%d\n", children[i], attrs.width, attrs.height,
                    attrs.x, attrs.y);
      found += line;
    }
  }
  if (children) XFree(children);
  std::printf("%d\n%s", popups, found.c_str());
  return 0;
}

int Unmaximize(Display* d, Window w) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = w;
  event.xclient.message_type = XInternAtom(d, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 0;  // remove
  event.xclient.data.l[1] =
      static_cast<long>(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False));
  event.xclient.data.l[2] =
      static_cast<long>(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
  event.xclient.data.l[3] = 2;
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XSync(d, False);
  return 0;
}

int Grabs(Display* d) {
  Window root = DefaultRootWindow(d);
  int keyboard = XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  if (keyboard == GrabSuccess) XUngrabKeyboard(d, CurrentTime);
  int pointer =
      XGrabPointer(d, root, False, 0, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
  if (pointer == GrabSuccess) XUngrabPointer(d, CurrentTime);
  XSync(d, False);
  std::printf("keyboard:%s pointer:%s\n", keyboard == GrabSuccess ? "free" : "held",
              pointer == GrabSuccess ? "free" : "held");
  return 0;
}

int HoldKeyboard(Display* d, int seconds) {
  while (XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime) !=
         GrabSuccess) {
    usleep(20 * 1000);
  }
  XSync(d, False);
  std::printf("held\n");
  std::fflush(stdout);
  sleep(static_cast<unsigned>(seconds));
  XUngrabKeyboard(d, CurrentTime);
  XSync(d, False);
  std::printf("released\n");
  return 0;
}

int Cover(Display* d) {
  const int screen = DefaultScreen(d);
  XSetWindowAttributes attrs{};
  attrs.override_redirect = True;
  attrs.background_pixel = 0xcc3300;
  Window w = XCreateWindow(d, RootWindow(d, screen), 0, 0, DisplayWidth(d, screen),
                           DisplayHeight(d, screen), 0, CopyFromParent, InputOutput, CopyFromParent,
                           CWOverrideRedirect | CWBackPixel, &attrs);
  XStoreName(d, w, "intruder");
  XMapRaised(d, w);
  XSync(d, False);
  std::printf("%lu\n", w);
  std::fflush(stdout);
  for (;;) pause();
}

}  // namespace

int main(int argc, char** argv) {
  Display* d = XOpenDisplay(nullptr);
  if (!d || argc < 2) return 2;
  if (std::strcmp(argv[1], "cover") == 0) return Cover(d);
  if (std::strcmp(argv[1], "hold-keyboard") == 0 && argc > 2)
    return HoldKeyboard(d, std::atoi(argv[2]));
  if (std::strcmp(argv[1], "grabs") == 0) return Grabs(d);
  if (std::strcmp(argv[1], "top") == 0) return Top(d);
  if (std::strcmp(argv[1], "popups") == 0) return Popups(d);
  if (std::strcmp(argv[1], "unmaximize") == 0 && argc > 2)
    return Unmaximize(d, std::strtoul(argv[2], nullptr, 0));
  return 2;
}
