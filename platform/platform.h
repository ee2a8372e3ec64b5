// The operating-system operations the program uses. Everything above this layer is plain
// C++; platform/linux implements it for Linux + X11.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvex::platform {

// Language identifiers as the rest of the program speaks of them.
inline constexpr uint16_t kLangEnglishUS = 1033;
inline constexpr uint16_t kLangChinesePRC = 2052;

// The user's temporary directory, canonical, ending with '/'. Throws std::runtime_error
// when no private directory can be had.
std::string TempDir();

// Folder of the running executable (ending with '/') and its file name without folder and
// extension.
std::string ExecutableDir();
std::string ExecutableBaseName();
std::string ExecutablePath();

// The user's locale as "ll-CC" ("zh-CN", "en-US"); empty when none is set.
std::string UserLocaleName();
// The system's default language identifier (kLangChinesePRC for a zh_CN system).
uint16_t SystemDefaultLangId();

// The language of resources that exist per language; set once at start.
void SetUiLanguage(uint16_t lang_id);
uint16_t UiLanguage();

// Diagnostic output for developers: stderr when QUORVEX_DEBUG is set, else nothing.
void DebugOutput(std::string_view text);

// Id of the calling thread, cheap after the first call on a thread.
uint32_t CurrentThreadId();

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalTime ToLocalTime(std::chrono::system_clock::time_point t);

enum class InstanceLock { Acquired, AlreadyHeld, Failed };
// Takes the process-wide lock `name` for the current user; the kernel releases it when
// the process ends. Failed carries a message in `error`.
InstanceLock AcquireSingleInstanceLock(const std::string& name, std::string* error = nullptr);

// A resource compiled into the executable; nullopt when there is none of that name.
std::optional<std::string> LoadResource(const std::string& name);

// Modal message box: caption, text, a single OK button, no icon.
void ShowMessageBox(const std::string& caption, const std::string& text);

// Runs `fn` on the main (GUI) thread and waits until it has returned. Returns false when
// no main thread services calls (no application object); then `fn` does not run.
bool RunOnMainThreadSync(const std::function<void()>& fn);

// Files as the log writes them: appended whole lines, owner-only.
class IWritableFile {
 public:
  virtual ~IWritableFile() = default;
  // Writes all of `data` in one call; throws std::system_error on failure.
  virtual void Append(std::string_view data) = 0;
  virtual uint64_t Size() const = 0;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // Opens `path` for appending, creating it (mode 0600) when missing; throws
  // std::system_error.
  virtual std::unique_ptr<IWritableFile> OpenAppend(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // Both throw std::system_error.
  virtual void Remove(const std::string& path) = 0;
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  virtual void CreateDirectories(const std::string& path) = 0;
};

// The real file system.
IFileSystem& LocalFileSystem();

}  // namespace quorvex::platform
