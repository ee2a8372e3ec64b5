// Registration of the client's URL scheme with the desktop, so that browsers hand its links to
// the program.
#pragma once

#include <string>

namespace quorvex::platform {

// Makes `executable` the user's handler of `scheme` links: with `with_argument`, started with
// the whole link as its only argument. Writing again replaces only what an earlier call wrote.
// False when anything could not be written.
bool RegisterUrlProtocol(const std::string& scheme, const std::string& executable,
                         bool with_argument);

}  // namespace quorvex::platform
