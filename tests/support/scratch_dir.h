// A fresh private folder under the system's temporary folder, removed with everything in it
// when the object goes. For tests and benchmarks.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

namespace quorvex::testing {

class ScratchDir {
 public:
  explicit ScratchDir(const std::string& prefix = "quorvex-test") {
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) throw std::system_error(errno, std::generic_category(), tmpl);
    path_ = tmpl + "/";
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Ends with '/'.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace quorvex::testing
