// Linux pieces that the platform tests reach directly.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace quorvex::platform {

// `base`/quorvex-<uid>/, created 0700; refused (nullopt, reason in `error`) when it is a
// link, not a directory, or owned by someone else.
std::optional<std::string> PrivateDirUnder(const std::string& base, uid_t uid, std::string* error);
// TempDir's rule: $TMPDIR when set, else the private folder under `shared_base`, else a
// fresh unique folder there.
std::string TempDirFrom(const char* tmpdir_env, const std::string& shared_base, uid_t uid);

// "zh_CN.UTF-8" → "zh-CN".
std::string LocaleNameFromPosix(std::string_view value);
// The LANG= value of a system locale file such as /etc/default/locale, as "ll-CC".
std::string SystemLocaleFromFile(const std::string& path);

}  // namespace quorvex::platform
