// Files as the log writes them, and the small questions the checks ask about files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvex::platform {

// Appended whole lines, owner-only.
class IWritableFile {
 public:
  virtual ~IWritableFile() = default;
  // Writes all of `data` in one call; throws std::system_error on failure.
  virtual void Append(std::string_view data) = 0;
  virtual uint64_t Size() const = 0;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // Opens `path` for appending, creating it (mode 0600) when missing, never through a link;
  // throws std::system_error.
  virtual std::unique_ptr<IWritableFile> OpenAppend(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // Both throw std::system_error.
  virtual void Remove(const std::string& path) = 0;
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  virtual void CreateDirectories(const std::string& path) = 0;
};

// The real file system.
IFileSystem& LocalFileSystem();

// A new unique empty file `dir`<prefix>XXXXXX.tmp (owner-only), created so that no other
// caller gets the same name; its path, or empty when none could be made.
std::string NewTempFileName(const std::string& dir, const std::string& prefix);

// True when `path` names a regular file (links followed); a directory or nothing is false.
bool IsRegularFile(const std::string& path);

}  // namespace quorvex::platform
