// The embedded browser runtime (Qt WebEngine): configured once per process before the
// application object exists. The executable also serves as the runtime's helper processes.
#pragma once

#include <QApplication>
#include <QWebEngineProfile>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

inline constexpr std::string_view kProductName = "TvQdxBrowser";
inline constexpr int kProductVersion = 8;

// The engine's default User-Agent with its Chrome token replaced by ours and its own
// "QtWebEngine/x" token removed.
std::string BuildUserAgent(std::string_view default_agent);

// "proto://domain" when both are plain (a scheme; a host or address with an optional port);
// nullopt otherwise. `proto` empty is "http".
std::optional<std::string> SecureOrigin(const std::string& proto, const std::string& domain);

// The runtime's command-line switches for a launch of `proto`://`domain`, each one argument.
// The secure-origin switch is left out when the origin is not plain.
std::vector<std::string> RuntimeSwitches(const std::string& temp_dir, const std::string& proto,
                                         const std::string& domain);

// Whether renderers must be started one by one so that each gets the secure-origin switch:
// a plain HTTP site on a host the engine does not already trust.
bool NeedsRendererSecureOrigin(const std::string& proto, const std::string& domain);

// Of the switches handed in through the environment, only those that a root user on a
// virtual display needs; they give a candidate nothing (no debugging, no web security off).
std::vector<std::string> AllowedOutsideSwitches(std::string_view flags);

// Runs `source` in every page and frame of `profile` at document creation, in the page's
// own world, before the page's scripts.
void AddPageScript(QWebEngineProfile& profile, const std::string& name, const std::string& source);

class TCefApplication {
 public:
  TCefApplication();
  ~TCefApplication();

  // The early `proto` ("http" when empty) and `domain` of the launch.
  void SetSecureOrigin(std::string proto, std::string domain);

  // A script that every page and frame runs at document creation, before its own scripts.
  void setOnWebkitInitializedEvent(std::string name, std::string source);

  // In a helper process (started with the runtime's "--type=" arguments) runs its work and
  // answers false with the exit code in `exit_code`. In the browser process creates the
  // application object, configures the profile and answers true.
  bool StartMainProcess(int argc, char** argv, int* exit_code);

  QWebEngineProfile* Profile() const { return FProfile; }

  // Why the launch's origin was not made a secure one; empty when it was.
  const std::string& SecureOriginNote() const { return FSecureOriginNote; }

 private:
  std::string FProto = "http";
  std::string FDomain;
  std::string FPageScriptName;
  std::string FPageScript;
  std::string FSecureOriginNote;
  // The application object keeps referring to its arguments.
  std::vector<std::string> FArgs;
  std::vector<char*> FArgv;
  int FArgc = 0;
  std::unique_ptr<QApplication> FApplication;
  QWebEngineProfile* FProfile = nullptr;
};

}  // namespace quorvex
