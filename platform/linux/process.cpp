// Threads, time, diagnostics and the single-instance lock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

namespace quorvex::platform {

void DebugOutput(std::string_view text) {
  static const bool enabled = std::getenv("QUORVEX_DEBUG") != nullptr;
  if (!enabled) return;
  std::string line(text);
  line.push_back('\n');
  // One write per line so that lines of several threads do not mix.
  ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
  (void)ignored;
}

uint32_t CurrentThreadId() {
  thread_local const uint32_t id = static_cast<uint32_t>(syscall(SYS_gettid));
  return id;
}

LocalTime ToLocalTime(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  auto since = t.time_since_epoch();
  auto secs = duration_cast<seconds>(since);
  auto ms = duration_cast<milliseconds>(since - secs).count();
  if (ms < 0) {
    ms += 1000;
    secs -= seconds(1);
  }
  time_t tt = static_cast<time_t>(secs.count());
  struct tm tm {};
  localtime_r(&tt, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,          tm.tm_hour,
          tm.tm_min,         tm.tm_sec,     static_cast<int>(ms)};
}

InstanceLock AcquireSingleInstanceLock(const std::string& name, std::string* error) {
  // A lock file in the user's own temporary folder: one client per user, and the kernel
  // drops the lock with the process. The descriptor stays open for the process's life.
  std::string path;
  try {
    path = TempDir() + name + ".lock";
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return InstanceLock::Failed;
  }
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return InstanceLock::Failed;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return InstanceLock::Acquired;
  int err = errno;
  close(fd);
  if (err == EWOULDBLOCK) return InstanceLock::AlreadyHeld;
  if (error) *error = path + ": " + std::strerror(err);
  return InstanceLock::Failed;
}

}  // namespace quorvex::platform
