// Paths, locale and language of the current user.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/linux/linux.h"
#include "platform/platform.h"

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

std::atomic<uint16_t> g_ui_language{kLangEnglishUS};

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

std::string TempDirFrom(const char* tmpdir_env, const std::string& shared_base, uid_t uid) {
  if (tmpdir_env && *tmpdir_env) {
    std::string canonical = Canonical(tmpdir_env);
    if (!canonical.empty()) return WithSlash(canonical);
  }
  std::string error;
  if (auto dir = PrivateDirUnder(shared_base, uid, &error)) return *dir;
  // Somebody else holds our name in the shared folder: never write there, take a fresh one.
  DebugOutput("TempDir: " + error);
  std::string tmpl = WithSlash(shared_base) + "quorvex-" + std::to_string(uid) + "-XXXXXX";
  if (mkdtemp(tmpl.data())) return WithSlash(Canonical(tmpl));
  throw std::runtime_error("no private temporary directory: " + error);
}

std::string TempDir() {
  static const std::string dir = TempDirFrom(std::getenv("TMPDIR"), "/tmp", getuid());
  return dir;
}

std::string ExecutablePath() {
  static const std::string path = Canonical("/proc/self/exe");
  return path;
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

void SetUiLanguage(uint16_t lang_id) {
  g_ui_language = lang_id;
}
uint16_t UiLanguage() {
  return g_ui_language;
}

}  // namespace quorvex::platform
