// Paths, locale and language of the current user.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/linux/paths.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace quorvex::platform {
namespace {

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

std::string Canonical(const std::string& path) {
  char buf[PATH_MAX];
  if (!realpath(path.c_str(), buf)) return {};
  return buf;
}

}  // namespace

std::optional<std::string> PrivateDirUnder(const std::string& base, uid_t uid, std::string* error) {
  std::string dir = WithSlash(base) + "quorvex-" + std::to_string(uid);
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    if (error) *error = dir + ": " + std::strerror(errno);
    return std::nullopt;
  }
  struct stat st {};
  if (lstat(dir.c_str(), &st) != 0) {
    if (error) *error = dir + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode)) {
    if (error) *error = dir + " is not a directory of its own";
    return std::nullopt;
  }
  if (st.st_uid != uid) {
    if (error) *error = dir + " belongs to another user";
    return std::nullopt;
  }
  if ((st.st_mode & 0777) != 0700 && chmod(dir.c_str(), 0700) != 0) {
    if (error) *error = dir + ": " + std::strerror(errno);
    return std::nullopt;
  }
  return WithSlash(Canonical(dir));
}

namespace {

enum class TFolderKind { fkNone, fkShared, fkOwnClosed };

// What the folder an environment variable names is to `uid`: none (unset, missing, not a
// folder), the user's own that nobody else may write to, or a folder shared with others.
TFolderKind FolderKind(const char* env_value, uid_t uid, std::string& canonical) {
  if (!env_value || !*env_value) return TFolderKind::fkNone;
  canonical = Canonical(env_value);
  struct stat st {};
  if (canonical.empty() || stat(canonical.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return TFolderKind::fkNone;
  }
  return st.st_uid == uid && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 ? TFolderKind::fkOwnClosed
                                                                     : TFolderKind::fkShared;
}

}  // namespace

std::string TempDirFrom(const char* tmpdir_env, const std::string& shared_base, uid_t uid) {
  // The user's own folder, closed to others, is used as it is; a shared one such as /tmp only
  // holds our private folder.
  std::string canonical;
  std::string base = shared_base;
  switch (FolderKind(tmpdir_env, uid, canonical)) {
    case TFolderKind::fkOwnClosed:
      return WithSlash(canonical);
    case TFolderKind::fkShared:
      base = canonical;
      break;
    case TFolderKind::fkNone:
      break;
  }
  std::string error;
  if (auto dir = PrivateDirUnder(base, uid, &error)) return *dir;
  // Somebody else holds our name in the shared folder: never write there, take a fresh one.
  DebugOutput("TempDir: " + error);
  std::string tmpl = WithSlash(base) + "quorvex-" + std::to_string(uid) + "-XXXXXX";
  if (mkdtemp(tmpl.data())) return WithSlash(Canonical(tmpl));
  throw std::runtime_error("no private temporary folder: " + error);
}

std::string LockDirFrom(const char* runtime_env, const std::string& shared_base, uid_t uid) {
  std::string canonical;
  if (FolderKind(runtime_env, uid, canonical) == TFolderKind::fkOwnClosed) {
    return WithSlash(canonical);
  }
  std::string error;
  if (auto dir = PrivateDirUnder(shared_base, uid, &error)) return *dir;
  throw std::runtime_error("no private folder for the single-instance lock: " + error);
}

// These two are never destroyed either: the log reads them when it is built, which may be
// while the process exits (see LocalFileSystem).
std::string TempDir() {
  static const auto* dir = new std::string(TempDirFrom(std::getenv("TMPDIR"), "/tmp", getuid()));
  return *dir;
}

std::string ExecutablePath() {
  static const auto* path = new std::string(Canonical("/proc/self/exe"));
  return *path;
}

std::string ExecutableDir() {
  const std::string& path = ExecutablePath();
  return path.substr(0, path.rfind('/') + 1);
}

std::string ExecutableBaseName() {
  const std::string& path = ExecutablePath();
  std::string name = path.substr(path.rfind('/') + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string LocaleNameFromPosix(std::string_view value) {
  // "zh_CN.UTF-8@variant" → "zh-CN"; "C" and "POSIX" name no language.
  value = value.substr(0, value.find_first_of(".@"));
  if (value.empty() || value == "C" || value == "POSIX") return {};
  std::string name(value);
  for (char& c : name) {
    if (c == '_') c = '-';
  }
  return name;
}

std::string UserLocaleName() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(var);
    if (value && *value) return LocaleNameFromPosix(value);
  }
  return {};
}

std::string SystemLocaleFromFile(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.starts_with("LANG=")) continue;
    std::string value = line.substr(5);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')) {
      value = value.substr(1, value.size() - 2);
    }
    return LocaleNameFromPosix(value);
  }
  return {};
}

uint16_t SystemDefaultLangId() {
  std::string locale = SystemLocaleFromFile("/etc/default/locale");
  if (locale.empty()) locale = SystemLocaleFromFile("/etc/locale.conf");
  return locale == "zh-CN" ? kLangChinesePRC : kLangEnglishUS;
}

namespace {

// A mount point as /proc/self/mounts writes it: blanks and the like as "\040".
std::string DecodeMountPath(std::string_view field) {
  std::string path;
  for (size_t i = 0; i < field.size(); ++i) {
    const std::string_view escape = field.substr(i + 1, 3);
    if (field[i] == '\\' && escape.size() == 3 &&
        escape.find_first_not_of("01234567") == std::string_view::npos) {
      path.push_back(static_cast<char>(std::stoi(std::string(escape), nullptr, 8)));
      i += 3;
    } else {
      path.push_back(field[i]);
    }
  }
  return path;
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/";
}

std::string ReadAll(const std::string& path) {
  // Reading a folder throws from inside the stream.
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  std::ifstream in(path, std::ios::binary);
  try {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return {};
  }
}

std::string DocumentsDirFrom(std::string_view user_dirs, const std::string& home) {
  for (std::string_view line : Lines(user_dirs)) {
    constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
    if (!line.starts_with(kKey)) continue;
    std::string_view value = line.substr(kKey.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    std::string dir;
    if (value.starts_with("$HOME")) {
      dir = home + std::string(value.substr(5));
    } else if (value.starts_with("/")) {
      dir = std::string(value);
    } else {
      continue;
    }
    return WithSlash(dir);
  }
  return WithSlash(home);
}

std::vector<std::string> MountedFoldersFrom(std::string_view mounts, const std::string& home) {
  std::vector<std::string> folders = {"/", WithSlash(home)};
  for (std::string_view line : Lines(mounts)) {
    const size_t first = line.find(' ');
    if (first == std::string_view::npos) continue;
    const size_t second = line.find(' ', first + 1);
    const std::string point = WithSlash(DecodeMountPath(
        line.substr(first + 1, second == std::string_view::npos ? std::string_view::npos
                                                                : second - first - 1)));
    const bool removable = point.starts_with("/media/") || point.starts_with("/run/media/") ||
                           point.starts_with("/mnt/");
    if (removable && std::find(folders.begin(), folders.end(), point) == folders.end()) {
      folders.push_back(point);
    }
  }
  return folders;
}

std::string DocumentsDir() {
  const std::string home = HomeDir();
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string config_dir = config && *config ? config : home + "/.config";
  const std::string documents =
      Canonical(DocumentsDirFrom(ReadAll(config_dir + "/user-dirs.dirs"), home));
  struct stat st {};
  if (!documents.empty() && stat(documents.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    return WithSlash(documents);
  }
  const std::string canonical_home = Canonical(home);
  return WithSlash(canonical_home.empty() ? home : canonical_home);
}

std::vector<std::string> MountedFolders() {
  return MountedFoldersFrom(ReadAll("/proc/self/mounts"), HomeDir());
}

}  // namespace quorvex::platform
