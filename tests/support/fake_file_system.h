// An in-memory file system for the log and anything else that writes files through the
// platform's interface.
#pragma once

#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "platform/files.h"

namespace quorvex::testing {

// An in-memory file system that fails on demand. Open files follow renames, as on disk.
class FakeFileSystem : public platform::IFileSystem {
 public:
  enum class Fault { None, InputOutput, Other };

  int failing_opens = 0;
  Fault rename_fault = Fault::None;
  bool remove_fails = false;
  std::atomic<int> opens{0}, renames{0}, removes{0};

  std::unique_ptr<platform::IWritableFile> OpenAppend(const std::string& path) override {
    std::lock_guard lock(mutex_);
    ++opens;
    if (failing_opens > 0) {
      --failing_opens;
      throw std::system_error(EACCES, std::generic_category(), "open " + path);
    }
    auto& data = files_[path];
    if (!data) data = std::make_shared<std::string>();
    return std::make_unique<File>(mutex_, data);
  }
  bool Exists(const std::string& path) override {
    std::lock_guard lock(mutex_);
    return files_.count(path) || path == folder_;
  }
  void Remove(const std::string& path) override {
    std::lock_guard lock(mutex_);
    ++removes;
    if (remove_fails) throw std::system_error(EBUSY, std::generic_category(), "delete " + path);
    files_.erase(path);
  }
  void Rename(const std::string& from, const std::string& to) override {
    std::lock_guard lock(mutex_);
    ++renames;
    if (rename_fault == Fault::InputOutput) {
      throw std::system_error(EIO, std::generic_category(), "rename " + from);
    }
    if (rename_fault == Fault::Other) throw std::runtime_error("rename refused");
    files_[to] = files_[from];
    files_.erase(from);
  }
  void CreateDirectories(const std::string& path) override {
    std::lock_guard lock(mutex_);
    folder_ = path;
  }

  void Put(const std::string& path, std::string text) {
    std::lock_guard lock(mutex_);
    files_[path] = std::make_shared<std::string>(std::move(text));
  }
  std::string Text(const std::string& path) {
    std::lock_guard lock(mutex_);
    auto it = files_.find(path);
    return it == files_.end() ? std::string() : *it->second;
  }
  std::vector<std::string> Paths() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> paths;
    for (const auto& [path, data] : files_) paths.push_back(path);
    return paths;
  }

 private:
  class File : public platform::IWritableFile {
   public:
    File(std::mutex& mutex, std::shared_ptr<std::string> data) : mutex_(mutex), data_(data) {}
    void Append(std::string_view data) override {
      std::lock_guard lock(mutex_);
      data_->append(data);
    }
    uint64_t Size() const override {
      std::lock_guard lock(mutex_);
      return data_->size();
    }

   private:
    std::mutex& mutex_;
    std::shared_ptr<std::string> data_;
  };

  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<std::string>> files_;
  std::string folder_;
};

}  // namespace quorvex::testing
