// A stand-in for the desktop's elevation tool (pkexec), first on PATH while it lives: it writes
// down its arguments, then, a moment later, that it ended, so that a caller that did not wait
// for it is caught.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/scratch_dir.h"

namespace quorvex::testing {

class ElevationStandIn {
 public:
  ElevationStandIn() {
    const char* path = std::getenv("PATH");
    FSavedPath = path ? path : "";
    const std::string tool = FBin.path() + "pkexec";
    std::ofstream(tool) << "#!/bin/sh\necho \"$@\" >> '" << FRecord
                        << "'\nsleep 0.3\necho ended >> '" << FRecord << "'\n";
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    setenv("PATH", (FBin.path() + ":" + FSavedPath).c_str(), 1);
  }
  ~ElevationStandIn() { setenv("PATH", FSavedPath.c_str(), 1); }
  ElevationStandIn(const ElevationStandIn&) = delete;
  ElevationStandIn& operator=(const ElevationStandIn&) = delete;

  // What it was started with, a line a start, then "ended" when it ended.
  const std::string& Record() const { return FRecord; }

 private:
  ScratchDir FBin{"qvx-elevation"};
  std::string FSavedPath;
  std::string FRecord = FBin.path() + "record";
};

}  // namespace quorvex::testing
