// The Linux rules of the temporary folder and the locale, open to tests.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex::platform {

// `base`/quorvex-<uid>/, created 0700; refused (nullopt, reason in `error`) when it is a
// link, not a directory, or owned by someone else.
std::optional<std::string> PrivateDirUnder(const std::string& base, uid_t uid, std::string* error);
// TempDir's rule: $TMPDIR when it is a folder of the user's that no one else may write to;
// else the private folder under it (when it is a folder) or under `shared_base`; else a fresh
// unique folder there. Throws std::runtime_error when none can be had.
std::string TempDirFrom(const char* tmpdir_env, const std::string& shared_base, uid_t uid);
// Where the single-instance lock lives, whatever $TMPDIR says: $XDG_RUNTIME_DIR when it is
// the user's own and closed to others, else the private folder under `shared_base`.
std::string LockDirFrom(const char* runtime_env, const std::string& shared_base, uid_t uid);

// $HOME, else the user's home from the password database.
std::string HomeDir();
// The whole of the file at `path`; empty when it cannot be read.
std::string ReadAll(const std::string& path);

// The documents folder named by the XDG_DOCUMENTS_DIR line of a user-dirs.dirs text ("$HOME"
// expanded), or `home` when there is none or it is the home folder itself; not checked on disk.
std::string DocumentsDirFrom(std::string_view user_dirs, const std::string& home);
// The root, `home`, and the mount points of a /proc/self/mounts text under /media, /run/media
// and /mnt (octal escapes decoded), each ending with '/'.
std::vector<std::string> MountedFoldersFrom(std::string_view mounts, const std::string& home);

// "zh_CN.UTF-8" → "zh-CN".
std::string LocaleNameFromPosix(std::string_view value);
// The LANG= value of a system locale file such as /etc/default/locale, as "ll-CC".
std::string SystemLocaleFromFile(const std::string& path);

}  // namespace quorvex::platform
