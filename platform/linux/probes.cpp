// Small questions about files and the diagnostic output.
#include <sys/stat.h>

#include <cstdlib>

#include "platform/platform.h"

namespace quorvex::platform {

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DebugEnabled() {
  static const bool enabled = std::getenv("QUORVEX_DEBUG") != nullptr;
  return enabled;
}

}  // namespace quorvex::platform
