// The X11 desktop around the exam window: docks, activation, the task managers and key
// events.

// Qt first: the X headers define macros (Status, Bool) that Qt's headers refuse to follow.
#include <QGuiApplication>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/desktop.h"

namespace quorvex::platform {
namespace {

// Titles of the usual system monitors are ASCII; other letters are compared as they are.
std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Qt's own connection: a grab works for the connection that made it.
Display* QtDisplay() {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->display() : nullptr;
}

// A connection of our own for calls from other threads; Xlib serialises its use.
Display* OwnDisplay() {
  static Display* display = [] {
    XInitThreads();
    return XOpenDisplay(nullptr);
  }();
  return display;
}

bool HasAtomInList(Display* d, Window w, const char* property, const char* value) {
  Atom prop = XInternAtom(d, property, False);
  Atom wanted = XInternAtom(d, value, False);
  Atom type;
  int format;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, prop, 0, 32, False, XA_ATOM, &type, &format, &count, &after,
                         &data) != Success ||
      !data) {
    return false;
  }
  bool found = false;
  auto* atoms = reinterpret_cast<Atom*>(data);
  for (unsigned long i = 0; i < count; ++i) found = found || atoms[i] == wanted;
  XFree(data);
  return found;
}

std::string WindowTitle(Display* d, Window w) {
  XTextProperty text{};
  Atom utf8 = XInternAtom(d, "_NET_WM_NAME", False);
  if (XGetTextProperty(d, w, &text, utf8) && text.value) {
    std::string title(reinterpret_cast<char*>(text.value), text.nitems);
    XFree(text.value);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(d, w, &name) && name) {
    std::string title(name);
    XFree(name);
    return title;
  }
  return {};
}

// Top-level client windows: children of the root and, under a reparenting window manager,
// the children of its frames.
template <typename Fn>
void ForEachClient(Display* d, Fn fn) {
  Window root_return, parent;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root_return, &parent, &children, &count)) return;
  for (unsigned int i = 0; i < count; ++i) {
    fn(children[i]);
    Window* inner = nullptr;
    unsigned int inner_count = 0;
    if (XQueryTree(d, children[i], &root_return, &parent, &inner, &inner_count)) {
      for (unsigned int k = 0; k < inner_count; ++k) fn(inner[k]);
      if (inner) XFree(inner);
    }
  }
  if (children) XFree(children);
}

// A CARDINAL property of one value; nullopt when missing.
std::optional<unsigned long> CardinalProperty(Display* d, Window w, const char* property) {
  Atom type;
  int format;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, XInternAtom(d, property, False), 0, 1, False, XA_CARDINAL, &type,
                         &format, &count, &after, &data) != Success ||
      !data) {
    return std::nullopt;
  }
  std::optional<unsigned long> value;
  if (count == 1 && format == 32) value = *reinterpret_cast<unsigned long*>(data);
  XFree(data);
  return value;
}

// The child of the root that holds `w`: its frame under a reparenting window manager.
Window TopLevelOf(Display* d, Window w) {
  const Window root = DefaultRootWindow(d);
  for (;;) {
    Window root_return, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, w, &root_return, &parent, &children, &count)) return w;
    if (children) XFree(children);
    if (parent == root || parent == 0) return w;
    w = parent;
  }
}

// The viewable children of the root stacked above the one that holds `window`, leaving out
// those that hold the program's own windows.
std::vector<Window> ForeignWindowsAbove(Display* d, Window window,
                                        const std::vector<unsigned long>& own) {
  const Window frame = TopLevelOf(d, window);
  std::vector<Window> own_frames;
  for (unsigned long w : own) own_frames.push_back(TopLevelOf(d, w));
  Window root_return, parent;
  Window* children = nullptr;
  unsigned int count = 0;
  std::vector<Window> above;
  if (!XQueryTree(d, DefaultRootWindow(d), &root_return, &parent, &children, &count)) return above;
  bool past_frame = false;
  // Bottom to top.
  for (unsigned int i = 0; i < count; ++i) {
    if (children[i] == frame) {
      past_frame = true;
      continue;
    }
    if (!past_frame) continue;
    if (std::find(own_frames.begin(), own_frames.end(), children[i]) != own_frames.end()) continue;
    XWindowAttributes attrs{};
    if (XGetWindowAttributes(d, children[i], &attrs) && attrs.map_state == IsViewable &&
        attrs.c_class == InputOutput) {
      above.push_back(children[i]);
    }
  }
  if (children) XFree(children);
  return above;
}

XEvent ClientMessageTo(Display* d, Window w, const char* type, long l0, long l1 = 0, long l2 = 0) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, type, False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = l0;
  e.xclient.data.l[1] = l1;
  e.xclient.data.l[2] = l2;
  return e;
}

// A request to the window manager about `w` (EWMH).
void SendWmMessage(Display* d, Window w, const char* type, long l0, long l1, long l2) {
  XEvent e = ClientMessageTo(d, w, type, l0, l1, l2);
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

// The desktop as the window manager and the panels see it, through Qt's own connection for
// the GUI thread's requests (so that they follow Qt's own about the same windows) and a
// connection of our own for the focus guard's thread.
class TX11Desktop final : public IDesktop {
 public:
  std::vector<unsigned long> HideDockWindows() override {
    std::vector<unsigned long> hidden;
    Display* d = QtDisplay();
    if (!d) return hidden;
    ForEachClient(d, [&](Window w) {
      XWindowAttributes attrs{};
      if (!XGetWindowAttributes(d, w, &attrs) || attrs.map_state != IsViewable) return;
      if (!HasAtomInList(d, w, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK")) return;
      XUnmapWindow(d, w);
      hidden.push_back(w);
    });
    XFlush(d);
    return hidden;
  }

  void ShowDockWindows(const std::vector<unsigned long>& windows) override {
    Display* d = QtDisplay();
    if (!d) return;
    for (unsigned long w : windows) XMapWindow(d, w);
    XFlush(d);
  }

  void SetSkipTaskbar(unsigned long window, bool skip) override {
    Display* d = QtDisplay();
    if (!d) return;
    // _NET_WM_STATE: 1 add, 0 remove.
    SendWmMessage(d, window, "_NET_WM_STATE", skip ? 1 : 0,
                  static_cast<long>(XInternAtom(d, "_NET_WM_STATE_SKIP_TASKBAR", False)), 0);
    XFlush(d);
  }

  TWindowPlacement Placement(unsigned long window, const std::vector<unsigned long>& own) override {
    TWindowPlacement placement;
    Display* d = QtDisplay();
    if (!d) return placement;
    XWindowAttributes attrs{};
    placement.Viewable = XGetWindowAttributes(d, window, &attrs) && attrs.map_state == IsViewable;
    placement.Minimised = HasAtomInList(d, window, "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN");
    const auto desktop = CardinalProperty(d, window, "_NET_WM_DESKTOP");
    const auto current = CardinalProperty(d, DefaultRootWindow(d), "_NET_CURRENT_DESKTOP");
    placement.OnCurrentDesktop =
        !desktop || !current || *desktop == *current || *desktop == 0xFFFFFFFFul;
    placement.OnTop = ForeignWindowsAbove(d, window, own).empty();
    return placement;
  }

  void BringBack(unsigned long window) override {
    Display* d = QtDisplay();
    if (!d) return;
    XMapWindow(d, window);
    SendWmMessage(d, window, "_NET_WM_DESKTOP", 0xFFFFFFFFl, 2, 0);
    // Source 2: a pager, which window managers obey without focus-stealing rules.
    SendWmMessage(d, window, "_NET_ACTIVE_WINDOW", 2, CurrentTime, 0);
    XFlush(d);
  }

  int LowerIntrudersAbove(unsigned long window, const std::vector<unsigned long>& own) override {
    Display* d = QtDisplay();
    if (!d) return 0;
    int lowered = 0;
    for (Window w : ForeignWindowsAbove(d, window, own)) {
      XWindowAttributes attrs{};
      // The window manager stacks the windows it manages (ours is above them); the others
      // answer to nobody but this request.
      if (XGetWindowAttributes(d, w, &attrs) && attrs.override_redirect) {
        XLowerWindow(d, w);
        ++lowered;
      }
    }
    XFlush(d);
    return lowered;
  }

  int HideTaskManagerWindows(const std::string& title) override {
    Display* d = OwnDisplay();
    if (!d) return 0;
    static const char* const kMonitors[] = {"system monitor",    "gnome-system-monitor",
                                            "task manager",      "ksysguard",
                                            "xfce4-taskmanager", "htop"};
    const std::string wanted = AsciiLower(title);
    int hidden = 0;
    ForEachClient(d, [&](Window w) {
      XWindowAttributes attrs{};
      if (!XGetWindowAttributes(d, w, &attrs) || attrs.map_state != IsViewable) return;
      const std::string name = AsciiLower(WindowTitle(d, w));
      if (name.empty()) return;
      bool match = name == wanted || std::any_of(std::begin(kMonitors), std::end(kMonitors),
                                                 [&](const char* m) { return name == m; });
      if (!match) return;
      XUnmapWindow(d, w);
      ++hidden;
    });
    XFlush(d);
    return hidden;
  }
};

}  // namespace

IDesktop& Desktop() {
  static TX11Desktop desktop;
  return desktop;
}

TLockKeys LockKeysOf(unsigned int native_modifiers) {
  TLockKeys locks;
  locks.CapsLock = (native_modifiers & LockMask) != 0;
  // Num Lock is whichever modifier the keyboard map binds it to, usually Mod2.
  Display* d = QtDisplay();
  const unsigned int num = d ? XkbKeysymToModifiers(d, XK_Num_Lock) : Mod2Mask;
  locks.NumLock = num != 0 && (native_modifiers & num) != 0;
  return locks;
}

std::optional<TNativeKeyEvent> DecodeKeyEvent(const char* event_type, void* message) {
  if (std::strcmp(event_type, "xcb_generic_event_t") != 0) return std::nullopt;
  auto* event = static_cast<xcb_generic_event_t*>(message);
  const uint8_t kind = event->response_type & ~0x80;
  if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE) return std::nullopt;
  auto* key = static_cast<xcb_key_press_event_t*>(message);
  Display* d = QtDisplay();
  if (!d) return std::nullopt;
  return TNativeKeyEvent{XkbKeycodeToKeysym(d, key->detail, 0, 0), kind == XCB_KEY_RELEASE,
                         (key->state & XCB_MOD_MASK_1) != 0, key->detail, key->time};
}

std::optional<long> DecodeCommandMessage(const char* event_type, void* message,
                                         unsigned long window) {
  if (std::strcmp(event_type, "xcb_generic_event_t") != 0) return std::nullopt;
  auto* event = static_cast<xcb_generic_event_t*>(message);
  if ((event->response_type & ~0x80) != XCB_CLIENT_MESSAGE) return std::nullopt;
  auto* client = static_cast<xcb_client_message_event_t*>(message);
  Display* d = QtDisplay();
  if (!d || client->window != window || client->format != 32) return std::nullopt;
  static const Atom type = XInternAtom(d, kCommandMessageType, False);
  if (client->type != type) return std::nullopt;
  return static_cast<long>(client->data.data32[0]);
}

bool SendCommandMessage(unsigned long window, long command) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  // A window that is gone is a failed send, not the end of the caller (Xlib's default).
  static bool failed;
  failed = false;
  auto* previous = XSetErrorHandler([](Display*, XErrorEvent*) {
    failed = true;
    return 0;
  });
  XEvent e = ClientMessageTo(d, window, kCommandMessageType, command);
  const bool sent = XSendEvent(d, window, False, NoEventMask, &e) != 0;
  XSync(d, False);
  XSetErrorHandler(previous);
  XCloseDisplay(d);
  return sent && !failed;
}

}  // namespace quorvex::platform
