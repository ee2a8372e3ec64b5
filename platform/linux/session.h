// The Linux session sources, with their roots open to tests.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/session.h"

namespace quorvex::platform {

// "host:0" names a display reached over the network; ":0", "unix:0" and socket paths do not.
bool DisplayIsRemote(std::string_view display);

// The value of `key` in a KEY=value file such as logind's state files; nullopt when the
// file cannot be read or has no such key.
std::optional<std::string> ReadKeyValue(const std::string& path, std::string_view key);

using EnvLookup = std::function<const char*(const char* name)>;

// logind's records under `run_dir` (/run/systemd), the environment through `env`, the audit
// session of the process in `audit_session_file` (/proc/self/sessionid).
class TLinuxSessionInfo final : public ISessionInfo {
 public:
  TLinuxSessionInfo(std::string run_dir, EnvLookup env, std::string audit_session_file);

  bool SessionReportsRemote() override;
  bool IsWaylandSession() override;
  std::optional<std::string> CurrentSessionId() override;
  std::optional<std::string> ConsoleSessionId(const std::string& session) override;

 private:
  const char* Env(const char* name) const;

  std::string FRunDir;
  EnvLookup FEnv;
  std::string FAuditSessionFile;
};

}  // namespace quorvex::platform
