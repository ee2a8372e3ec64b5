// Threads, time, diagnostics, the single-instance lock and the desktop's opener.
#include <QProcess>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/linux/paths.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace quorvex::platform {

bool DebugEnabled() {
  static const bool enabled = std::getenv("QUORVEX_DEBUG") != nullptr;
  return enabled;
}

void DebugOutput(std::string_view text) {
  if (!DebugEnabled()) return;
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

TLocalTime ToLocalTime(std::chrono::system_clock::time_point t) {
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

TInstanceLock AcquireSingleInstanceLock(const std::string& name, std::string* error) {
  // A lock file in a folder of the user's own: one client per user, and the kernel drops the
  // lock with the process. The descriptor stays open for the process's life.
  std::string path;
  try {
    path = LockDirFrom(std::getenv("XDG_RUNTIME_DIR"), "/tmp", getuid()) + name + ".lock";
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return TInstanceLock::ilFailed;
  }
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return TInstanceLock::ilFailed;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return TInstanceLock::ilAcquired;
  int err = errno;
  close(fd);
  if (err == EWOULDBLOCK) return TInstanceLock::ilAlreadyHeld;
  if (error) *error = path + ": " + std::strerror(err);
  return TInstanceLock::ilFailed;
}

void ShellOpen(const std::string& target) {
  // Detached: the opener outlives nothing of ours and leaves no child to reap.
  QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(target)});
}

}  // namespace quorvex::platform
