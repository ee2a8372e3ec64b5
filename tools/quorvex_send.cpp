// Sends a command to a running exam window, as another program of the user may:
//   quorvex_send WINDOW reload|nothing|close   (or the message number: 0x40A, 0x40B, 0x40C)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/desktop.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quorvex_send WINDOW reload|nothing|close|NUMBER\n");
    return 2;
  }
  const unsigned long window = std::strtoul(argv[1], nullptr, 0);
  long command = std::strtol(argv[2], nullptr, 0);
  if (std::strcmp(argv[2], "reload") == 0) command = 0x040A;
  if (std::strcmp(argv[2], "nothing") == 0) command = 0x040B;
  if (std::strcmp(argv[2], "close") == 0) command = 0x040C;
  if (window == 0 || command == 0) {
    std::fprintf(stderr, "quorvex_send: bad window or command\n");
    return 2;
  }
  if (!quorvex::platform::SendCommandMessage(window, command)) {
    std::fprintf(stderr, "quorvex_send: cannot reach window %s on the X display\n", argv[1]);
    return 1;
  }
  return 0;
}
