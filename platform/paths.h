// Where the program and its working files live, and the languages of the user and the system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvex::platform {

// Language identifiers as the rest of the program speaks of them.
inline constexpr uint16_t kLangEnglishUS = 1033;
inline constexpr uint16_t kLangChinesePRC = 2052;

// The user's temporary directory, canonical, ending with '/'. Throws std::runtime_error
// when no private directory can be had.
std::string TempDir();

// The running executable: its path, its folder (ending with '/') and its file name without
// folder and extension.
std::string ExecutablePath();
std::string ExecutableDir();
std::string ExecutableBaseName();

// The user's documents folder (the desktop's XDG one), or the home folder when that does not
// exist; canonical, ending with '/'.
std::string DocumentsDir();

// The folders a user picks files from: the root, the home folder and the mounted removable
// media, in that order, each ending with '/'.
std::vector<std::string> MountedFolders();

// The user's locale as "ll-CC" ("zh-CN", "en-US"); empty when none is set.
std::string UserLocaleName();
// The system's default language identifier (kLangChinesePRC for a zh_CN system).
uint16_t SystemDefaultLangId();

}  // namespace quorvex::platform
