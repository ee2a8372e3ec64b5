// Which device a key release came from: a person's keyboard, or the XTEST device through
// which other programs make up input. Raw events tell, on a connection of our own.
#include <poll.h>
#include <sys/socket.h>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "platform/keysource.h"

namespace quorvex::platform {
namespace {

struct TRelease {
  unsigned int keycode;
  unsigned long time;
  bool injected;
};

// Waits until `fd` has something to read; false once the other end has closed it.
bool WaitForInput(int fd) {
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  char c;
  return recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

class TKeySourceWatcher final : public IKeySource {
 public:
  void Watch() override {
    std::lock_guard lock(FLock);
    if (FStarted) return;
    FStarted = true;
    std::thread([this] { Run(); }).detach();
  }

  bool IsPhysicalKeyRelease(unsigned int keycode, unsigned long time) override {
    std::unique_lock lock(FLock);
    const TRelease* found = nullptr;
    // The raw event travels on another connection and may come a moment later.
    FSeen.wait_for(lock, std::chrono::milliseconds(100), [&] {
      for (const TRelease& r : FReleases) {
        if (r.keycode == keycode && r.time == time) found = &r;
      }
      return found != nullptr;
    });
    return found && !found->injected;
  }

 private:
  void Run() {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    int opcode = 0, event = 0, error = 0, major = 2, minor = 2;
    if (!XQueryExtension(d, "XInputExtension", &opcode, &event, &error) ||
        XIQueryVersion(d, &major, &minor) != Success) {
      XCloseDisplay(d);
      return;
    }
    std::set<int> xtest;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(d, XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
      if (std::strstr(devices[i].name, "XTEST")) xtest.insert(devices[i].deviceid);
    }
    XIFreeDeviceInfo(devices);

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XIEventMask mask{XIAllDevices, sizeof bits, bits};
    XISetMask(bits, XI_RawKeyRelease);
    XISelectEvents(d, DefaultRootWindow(d), &mask, 1);
    XFlush(d);
    for (;;) {
      // A display that goes away ends this thread, not the program (Xlib would end it on
      // reading the end of the connection): the GUI learns of it on its own connection.
      if (XEventsQueued(d, QueuedAlready) == 0 && !WaitForInput(ConnectionNumber(d))) return;
      XEvent e;
      XNextEvent(d, &e);
      if (e.xcookie.type != GenericEvent || e.xcookie.extension != opcode) continue;
      if (!XGetEventData(d, &e.xcookie)) continue;
      if (e.xcookie.evtype == XI_RawKeyRelease) {
        auto* raw = static_cast<XIRawEvent*>(e.xcookie.data);
        std::lock_guard lock(FLock);
        FReleases.push_back(
            {static_cast<unsigned int>(raw->detail), raw->time, xtest.count(raw->sourceid) > 0});
        if (FReleases.size() > 64) FReleases.pop_front();
        FSeen.notify_all();
      }
      XFreeEventData(d, &e.xcookie);
    }
  }

  std::mutex FLock;
  std::condition_variable FSeen;
  std::deque<TRelease> FReleases;
  bool FStarted = false;
};

}  // namespace

IKeySource& KeySource() {
  // Lives until the process ends: its thread waits on the server for good.
  static auto* watcher = new TKeySourceWatcher;
  return *watcher;
}

}  // namespace quorvex::platform
