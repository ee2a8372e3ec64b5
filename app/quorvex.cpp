// Entry point: tells the kinds of start apart and runs the one asked for.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/launch.h"
#include "common/application.h"
#include "common/language.h"
#include "common/log.h"
#include "platform/platform.h"

namespace quorvex {
namespace {

// Qt aborts without a display; say so instead.
bool HaveDisplay() {
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(var);
    if (value && *value) return true;
  }
  std::fprintf(stderr, "quorvex: no display to show windows on\n");
  return false;
}

int RunLaunch(int argc, char** argv, const std::string& url) {
  if (!HaveDisplay()) return 1;
  QApplication app(argc, argv);
  ILogWriter& log = GlobalLogWriter();
  log.Info("-------------------------  start ---------------------", "");

  std::string error;
  switch (platform::AcquireSingleInstanceLock(std::string(kInstanceMutexName), &error)) {
    case platform::InstanceLock::AlreadyHeld:
      log.Error("enter quorvexmodule fail, a instance is already started.", "");
      return 0;
    case platform::InstanceLock::Failed:
      log.Error("single instance lock failed: " + error, "");
      break;
    case platform::InstanceLock::Acquired:
      break;
  }

  LaunchCheck check = CheckLaunchUrl(url);
  switch (check.outcome) {
    case LaunchOutcome::QuietEnd:
      return 0;
    case LaunchOutcome::InvalidToken:
      ShowMessage("RsInvalidToken");
      return 0;
    case LaunchOutcome::Accepted:
      break;
  }
  LaunchParameters::Store(std::move(check.params));
  const LaunchParameters& p = LaunchParameters::Get();
  platform::DebugOutput("launch accepted: eid=" + p.eid + " domain=" + p.domain +
                        " proto=" + p.proto + " args=" + p.args);
  // The pre-exam check window takes over from here once it exists.
  return 0;
}

int Run(int argc, char** argv) {
  platform::SetUiLanguage(platform::SystemDefaultLangId() == platform::kLangChinesePRC
                              ? platform::kLangChinesePRC
                              : platform::kLangEnglishUS);
  SetApplicationTitle(I18n().i18n("RsQuorvexModule"));

  std::vector<std::string> arguments(argv + 1, argv + argc);
  switch (ClassifyCommandLine(arguments)) {
    case StartKind::Install:
      std::fprintf(stderr, "quorvex: install is not available in this build yet\n");
      return 1;
    case StartKind::NoArgument: {
      if (!HaveDisplay()) return 1;
      QApplication app(argc, argv);
      ShowMessage("RsInvalidToken");
      return 0;
    }
    case StartKind::SubProcess:
      return 0;
    case StartKind::Launch:
      break;
  }
  return RunLaunch(argc, argv, arguments[0]);
}

}  // namespace
}  // namespace quorvex

int main(int argc, char** argv) {
  int code = quorvex::Run(argc, argv);
  quorvex::ShutdownGlobalLogWriter();
  return code;
}
