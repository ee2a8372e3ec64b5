// The file system as the log uses it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace quorvex::platform {
namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

class PosixFile final : public IWritableFile {
 public:
  explicit PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override { close(fd_); }

  void Append(std::string_view data) override {
    // O_APPEND and one write per line: whole lines even when another process appends too.
    while (!data.empty()) {
      ssize_t n = write(fd_, data.data(), data.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        ThrowErrno("write " + path_);
      }
      data.remove_prefix(static_cast<size_t>(n));
    }
  }

  uint64_t Size() const override {
    struct stat st {};
    if (fstat(fd_, &st) != 0) ThrowErrno("stat " + path_);
    return static_cast<uint64_t>(st.st_size);
  }

 private:
  int fd_;
  std::string path_;
};

class PosixFileSystem final : public IFileSystem {
 public:
  std::unique_ptr<IWritableFile> OpenAppend(const std::string& path) override {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) ThrowErrno("open " + path);
    return std::make_unique<PosixFile>(fd, path);
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

IFileSystem& LocalFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace quorvex::platform
