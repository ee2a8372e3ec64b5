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
#include <vector>

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

// ---- What the environment checks read from the machine ----

// True when `path` names a regular file (links followed); a directory or nothing is false.
bool IsRegularFile(const std::string& path);

// Whether DebugOutput writes anything, so that callers skip formatting when it does not.
bool DebugEnabled();

enum class MessageBoxIcon { NoIcon, Information };
// Modal message box with a single OK button and `icon`. Called off the main thread it is
// shown there and waited for; without a widget application it only reaches DebugOutput.
void ShowMessageBox(const std::string& caption, const std::string& text, MessageBoxIcon icon);

// Monitors of the X server named by $DISPLAY: the most of its RandR monitors, Xinerama
// heads and X screens. 0 when no display can be opened.
int MonitorCount();

// The desktop session this process runs in.
class ISessionInfo {
 public:
  virtual ~ISessionInfo() = default;
  // The session says of itself that it is used from elsewhere.
  virtual bool SessionReportsRemote() = 0;
  // This process's session; nullopt when it cannot be told.
  virtual std::optional<std::string> CurrentSessionId() = 0;
  // The session in front of the console of the seat that `session` belongs to; nullopt when
  // none is published.
  virtual std::optional<std::string> ConsoleSessionId(const std::string& session) = 0;
};
ISessionInfo& SessionInfo();

// One disk drive as the system names it; nullopt for a value that cannot be read.
struct DiskDriveInfo {
  std::optional<std::string> Identifier;
  std::optional<std::string> Caption;
};

// One firmware or system identification record.
struct BiosInfo {
  std::optional<std::string> Manufacturer;
  std::optional<std::string> Caption;
};

// Hardware and system facts. The three lists come in the source's own order and throw
// std::runtime_error when the source cannot be read at all.
class IMachineInfo {
 public:
  virtual ~IMachineInfo() = default;
  virtual std::vector<std::optional<std::string>> VideoControllerNames() = 0;
  virtual std::vector<DiskDriveInfo> DiskDrives() = 0;
  virtual std::vector<BiosInfo> BiosInfos() = 0;
  // The running kernel's release text; nullopt when unreadable.
  virtual std::optional<std::string> KernelRelease() = 0;
  // Bytes of memory the system can use; 0 when the query fails.
  virtual uint64_t TotalPhysicalMemory() = 0;
  // Logical processors online when the program started.
  virtual int LogicalProcessorCount() = 0;
};
IMachineInfo& MachineInfo();

class IProcessTable {
 public:
  virtual ~IProcessTable() = default;
  // Calls `visit` with the executable file name of each running process, in the table's own
  // order, until `visit` answers false. A process that cannot be named is left out.
  virtual void ForEachProcess(const std::function<bool(std::string_view exe_name)>& visit) = 0;
};
IProcessTable& ProcessTable();

}  // namespace quorvex::platform

namespace quorvex::platform {

// ---- The desktop around the exam window in exam mode (X11) ----

// Dock and panel windows of the desktop (taskbars): hidden in exam mode, shown after. Answers
// the windows it hid.
std::vector<unsigned long> HideDockWindows();
void ShowDockWindows(const std::vector<unsigned long>& windows);

// Keeps `window` out of the desktop's task list.
void SetSkipTaskbar(unsigned long window, bool skip);

// From any thread: hides top-level windows titled `title` (letter case aside) and the
// desktop's usual system monitors; answers how many it hid.
int HideTaskManagerWindows(const std::string& title);

// A key event of this program's display connection, in plain values; nullopt for any other
// native event.
struct NativeKeyEvent {
  unsigned long keysym;
  bool release;
  bool alt_down;
  unsigned int keycode;
  unsigned long time;  // the server's time of the event
};
std::optional<NativeKeyEvent> DecodeKeyEvent(const char* event_type, void* message);

// Watches which keyboard device each key release comes from, so that releases made up by
// another program (the XTEST device) can be told from a person's. From the GUI thread.
void StartWatchingKeyboardDevices();
// Whether the release of `keycode` at server time `time` came from a real keyboard: false
// for an injected one, and when it cannot be told within a short wait.
bool IsPhysicalKeyRelease(unsigned int keycode, unsigned long time);

// The message type by which other processes of the user command the exam window.
inline constexpr const char* kCommandMessageType = "QUORVEX_COMMAND";
// A command for `window` (its number in the first data word); nullopt for any other event.
std::optional<long> DecodeCommandMessage(const char* event_type, void* message,
                                         unsigned long window);
// Sends a command to `window` of the display in $DISPLAY; false when it cannot be sent.
bool SendCommandMessage(unsigned long window, long command);

}  // namespace quorvex::platform
