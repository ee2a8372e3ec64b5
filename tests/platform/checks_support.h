// Fixture trees for the Linux sources of the environment checks.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/e2e/e2e_support.h"

namespace quorvex::testing {

namespace fs = std::filesystem;

// A scratch folder with helpers to lay out files and links in it.
class FixtureTree : public ::testing::Test {
 protected:
  fs::path Root() const { return dir_.path(); }
  std::string Path(const std::string& relative) const { return (Root() / relative).string(); }

  void Write(const std::string& relative, const std::string& content) const {
    fs::path p = Root() / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
  }
  void Link(const std::string& relative, const std::string& target) const {
    fs::path p = Root() / relative;
    fs::create_directories(p.parent_path());
    fs::create_symlink(target, p);
  }
  void MakeDir(const std::string& relative) const { fs::create_directories(Root() / relative); }

 private:
  e2e::ScratchDir dir_;
};

}  // namespace quorvex::testing
