// The desktop session of this process: logind's records, the environment, the display.
#include <cstdlib>
#include <fstream>
#include <map>

#include "platform/linux/session.h"

namespace quorvex::platform {
namespace {

using KeyValues = std::map<std::string, std::string, std::less<>>;

std::optional<KeyValues> ReadKeyValueFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  KeyValues values;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    values.emplace(line.substr(0, eq), line.substr(eq + 1));
  }
  return values;
}

// logind names sessions and seats with letters, digits, '-' and '_'; anything else must not
// become part of a path.
bool IsRecordName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool IsSet(const char* value) {
  return value && *value;
}

}  // namespace

std::optional<std::string> ReadKeyValue(const std::string& path, std::string_view key) {
  auto values = ReadKeyValueFile(path);
  if (!values) return std::nullopt;
  auto it = values->find(key);
  if (it == values->end()) return std::nullopt;
  return it->second;
}

bool DisplayIsRemote(std::string_view display) {
  size_t colon = display.rfind(':');
  if (colon == std::string_view::npos) return false;
  std::string_view host = display.substr(0, colon);
  if (host.empty() || host.front() == '/') return false;
  return host != "unix" && !host.starts_with("unix/");
}

TLinuxSessionInfo::TLinuxSessionInfo(std::string run_dir, EnvLookup env,
                                     std::string audit_session_file)
    : FRunDir(std::move(run_dir)),
      FEnv(std::move(env)),
      FAuditSessionFile(std::move(audit_session_file)) {}

const char* TLinuxSessionInfo::Env(const char* name) const {
  return FEnv ? FEnv(name) : nullptr;
}

bool TLinuxSessionInfo::SessionReportsRemote() {
  if (auto id = CurrentSessionId()) {
    if (ReadKeyValue(FRunDir + "/sessions/" + *id, "REMOTE") == "1") return true;
  }
  for (const char* name : {"SSH_CONNECTION", "SSH_CLIENT", "SSH_TTY", "XRDP_SESSION"}) {
    if (IsSet(Env(name))) return true;
  }
  const char* display = Env("DISPLAY");
  return IsSet(display) && DisplayIsRemote(display);
}

bool TLinuxSessionInfo::IsWaylandSession() {
  const char* type = Env("XDG_SESSION_TYPE");
  if (IsSet(type)) {
    if (std::string_view(type) == "wayland") return true;
    if (std::string_view(type) == "x11") return false;
  }
  return IsSet(Env("WAYLAND_DISPLAY"));
}

std::optional<std::string> TLinuxSessionInfo::CurrentSessionId() {
  const char* xdg = Env("XDG_SESSION_ID");
  if (IsSet(xdg) && IsRecordName(xdg)) return std::string(xdg);
  std::ifstream in(FAuditSessionFile);
  std::string id;
  if (!(in >> id)) return std::nullopt;
  // The audit subsystem's "no session".
  if (id == "4294967295" || !IsRecordName(id)) return std::nullopt;
  return id;
}

std::optional<std::string> TLinuxSessionInfo::ConsoleSessionId(const std::string& session) {
  if (!IsRecordName(session)) return std::nullopt;
  // A session logind does not know (ended, or never registered) tells nothing.
  auto record = ReadKeyValueFile(FRunDir + "/sessions/" + session);
  if (!record) return std::nullopt;
  // A session without a seat is not at any console; the console then is seat0's.
  std::string seat = "seat0";
  if (auto it = record->find("SEAT"); it != record->end() && !it->second.empty()) {
    seat = it->second;
  }
  if (!IsRecordName(seat)) return std::nullopt;
  auto active = ReadKeyValue(FRunDir + "/seats/" + seat, "ACTIVE");
  if (!active || active->empty()) return std::nullopt;
  return active;
}

ISessionInfo& SessionInfo() {
  static TLinuxSessionInfo info(
      "/run/systemd", [](const char* name) { return std::getenv(name); }, "/proc/self/sessionid");
  return info;
}

}  // namespace quorvex::platform
