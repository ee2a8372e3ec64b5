// Threads, time, diagnostics, the single-instance lock and the desktop's opener.
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>
#include <vector>

#include "platform/files.h"
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

int RunElevatedAndWait(const std::string& file, const std::string& parameters,
                       int /*show_command*/) {
  const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
  if (pkexec.isEmpty()) {
    DebugOutput("no elevation tool (pkexec) on this system; " + file + " not started");
    return -1;
  }
  if (!IsRegularFile(file)) return -1;
  std::vector<std::string> argv = {pkexec.toStdString()};
  if (file.ends_with(".deb")) {
    // apt-get takes a package file only by a path with a slash, and fetches what it needs.
    argv.insert(argv.end(), {"/usr/bin/apt-get", "install", "-y", file});
  } else {
    argv.push_back(file);
    std::istringstream words(parameters);
    for (std::string word; words >> word;) argv.push_back(word);
  }
  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace quorvex::platform
