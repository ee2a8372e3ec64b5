// The texts behind the desktop's URL-scheme handler, open to tests.
#pragma once

#include <string>
#include <string_view>

namespace quorvex::platform {

// The name of the desktop entry that handles `scheme`.
std::string SchemeEntryName(const std::string& scheme);
// Whether `path` reaches every opener unchanged as the first word of a command line: the
// shell-script openers split it at blanks and expand patterns, so only plain characters pass.
bool PlainCommandPath(std::string_view path);
// The desktop entry for `scheme` started as `command` (a plain path, or quoted as the entry
// format asks when it is not).
std::string SchemeEntryText(const std::string& scheme, const std::string& command,
                            bool with_argument);
// `mimeapps` with `entry` as the default handler of `scheme`, every other line kept.
std::string WithDefaultHandler(std::string_view mimeapps, const std::string& scheme,
                               const std::string& entry);

}  // namespace quorvex::platform
