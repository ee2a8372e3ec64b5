// The process table, read from procfs.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/linux/processes.h"

namespace quorvex::platform {
namespace {

std::string_view FileNameOf(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Reads up to `size` bytes of `dir_fd`/`path`; -1 when it cannot be opened or read.
ssize_t ReadSmallFile(int dir_fd, const char* path, char* buf, size_t size) {
  int fd = openat(dir_fd, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  ssize_t n;
  do {
    n = read(fd, buf, size);
  } while (n < 0 && errno == EINTR);
  close(fd);
  return n;
}

// The name of process `pid` into `out`; false when the process cannot be named (it has
// ended, or everything about it is hidden from us).
bool ProcessName(int proc_fd, std::string_view pid, std::string& out) {
  char path[64];
  char buf[PATH_MAX];
  auto at = [&](const char* leaf) {
    std::snprintf(path, sizeof path, "%.*s/%s", static_cast<int>(pid.size()), pid.data(), leaf);
    return path;
  };

  ssize_t n = readlinkat(proc_fd, at("exe"), buf, sizeof buf);
  if (n > 0) {
    std::string_view target(buf, static_cast<size_t>(n));
    constexpr std::string_view kDeleted = " (deleted)";
    if (target.ends_with(kDeleted)) target.remove_suffix(kDeleted.size());
    out.assign(FileNameOf(target));
    if (!out.empty()) return true;
  }
  // Kernel threads and zombies have no executable and an empty command line; other users'
  // processes hide their executable but not their command line.
  if (n < 0 && errno != ENOENT) {
    ssize_t len = ReadSmallFile(proc_fd, at("cmdline"), buf, sizeof buf - 1);
    if (len > 0) {
      std::string_view argv0(buf, strnlen(buf, static_cast<size_t>(len)));
      out.assign(FileNameOf(argv0));
      if (!out.empty()) return true;
    }
  }
  ssize_t len = ReadSmallFile(proc_fd, at("comm"), buf, sizeof buf);
  if (len <= 0) return false;
  std::string_view comm(buf, static_cast<size_t>(len));
  if (comm.ends_with('\n')) comm.remove_suffix(1);
  out.assign(comm);
  return !out.empty();
}

}  // namespace

TLinuxProcessTable::TLinuxProcessTable(std::string proc_root) : FProcRoot(std::move(proc_root)) {}

void TLinuxProcessTable::ForEachProcess(
    const std::function<bool(std::string_view exe_name)>& visit) {
  DIR* dir = opendir(FProcRoot.c_str());
  if (!dir) return;
  const int proc_fd = dirfd(dir);
  std::string name;
  while (dirent* entry = readdir(dir)) {
    std::string_view pid(entry->d_name);
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string_view::npos) continue;
    if (!ProcessName(proc_fd, pid, name)) continue;
    if (!visit(name)) break;
  }
  closedir(dir);
}

IProcessTable& ProcessTable() {
  static TLinuxProcessTable table("/proc");
  return table;
}

}  // namespace quorvex::platform
