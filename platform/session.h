// The desktop session this process runs in.
#pragma once

#include <optional>
#include <string>

namespace quorvex::platform {

class ISessionInfo {
 public:
  virtual ~ISessionInfo() = default;
  // The session says of itself that it is used from elsewhere.
  virtual bool SessionReportsRemote() = 0;
  // A Wayland session, where no X11 client can take the keyboard from the compositor.
  virtual bool IsWaylandSession() = 0;
  // This process's session; nullopt when it cannot be told.
  virtual std::optional<std::string> CurrentSessionId() = 0;
  // The session in front of the console of the seat that `session` belongs to; nullopt when
  // none is published.
  virtual std::optional<std::string> ConsoleSessionId(const std::string& session) = 0;
};

// This process's session.
ISessionInfo& SessionInfo();

}  // namespace quorvex::platform
