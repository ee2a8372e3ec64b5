// The file system as the log uses it, and the checks' questions about files.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/files.h"

namespace quorvex::platform {
namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

class TPosixFile final : public IWritableFile {
 public:
  explicit TPosixFile(int fd, std::string path) : FFd(fd), FPath(std::move(path)) {}
  ~TPosixFile() override { close(FFd); }

  void Append(std::string_view data) override {
    // O_APPEND and one write per line: whole lines even when another process appends too.
    while (!data.empty()) {
      ssize_t n = write(FFd, data.data(), data.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        ThrowErrno("write " + FPath);
      }
      data.remove_prefix(static_cast<size_t>(n));
    }
  }

  uint64_t Size() const override {
    struct stat st {};
    if (fstat(FFd, &st) != 0) ThrowErrno("stat " + FPath);
    return static_cast<uint64_t>(st.st_size);
  }

 private:
  int FFd;
  std::string FPath;
};

class TPosixFileSystem final : public IFileSystem {
 public:
  std::unique_ptr<IWritableFile> OpenAppend(const std::string& path) override {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) ThrowErrno("open " + path);
    return std::make_unique<TPosixFile>(fd, path);
  }

  bool Exists(const std::string& path) override { return access(path.c_str(), F_OK) == 0; }

  void Remove(const std::string& path) override {
    if (unlink(path.c_str()) != 0) ThrowErrno("delete " + path);
  }

  void Rename(const std::string& from, const std::string& to) override {
    if (rename(from.c_str(), to.c_str()) != 0) ThrowErrno("rename " + from);
  }

  void CreateDirectories(const std::string& path) override {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) throw std::system_error(ec, "create " + path);
  }
};

}  // namespace

std::string NewTempFileName(const std::string& dir, const std::string& prefix) {
  std::string path = dir + prefix + "XXXXXX.tmp";
  // mkstemps: created with O_EXCL and mode 0600, so the name is ours alone.
  const int fd = mkstemps(path.data(), 4);
  if (fd < 0) return {};
  close(fd);
  return path;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

IFileSystem& LocalFileSystem() {
  // Never destroyed: a thread that logs for the first time while the process exits builds the
  // log's file sink then, and the exit would destroy this before the sink is done with it.
  static auto* fs = new TPosixFileSystem;
  return *fs;
}

}  // namespace quorvex::platform
