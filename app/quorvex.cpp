// Entry point: tells the kinds of start apart and runs the one asked for.
#include <QApplication>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/launch.h"
#include "app/runtime.h"
#include "app/success.h"
#include "checks/mainform.h"
#include "checks/utils.h"
#include "common/application.h"
#include "common/language.h"
#include "common/log.h"
#include "common/resources.h"
#include "exam/exam.h"
#include "exam/jsext.h"
#include "platform/desktop.h"
#include "platform/keysource.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/urlprotocol.h"

namespace quorvex {
namespace {

// The windows run on X11, where exam mode can lock the desktop (on a Wayland desktop through
// its X11 server, where the checks then refuse the session). Qt aborts without a display; say
// so instead.
bool HaveDisplay() {
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  const char* display = std::getenv("DISPLAY");
  if (display && *display) return true;
  std::fprintf(stderr, "quorvex: no X11 display to show windows on\n");
  return false;
}

void ShowStartFailure(const std::string& reason) {
  std::fprintf(stderr, "quorvex: %s\n", reason.c_str());
  ShowMessageBox(ApplicationTitle(), I18n().i18nf("RsStartFailed", {reason}));
}

int RunBrowserProcess(int argc, char** argv, const std::vector<std::string>& arguments) {
  const bool helper = ClassifyCommandLine(arguments) == TNwStartKind::skSubProcess;
  if (!helper && !HaveDisplay()) return 1;
  if (!helper) {
    // Logs, cache and markers need a private folder; without one nothing can be kept safe.
    try {
      platform::TempDir();
    } catch (const std::exception& e) {
      QApplication app(argc, argv);
      ShowStartFailure(e.what());
      return 1;
    }
  }
  TCefApplication runtime;
  std::string proto = EarlyValue(arguments[0], "proto");
  runtime.SetSecureOrigin(proto.empty() ? std::string(kDefaultProto) : proto,
                          EarlyValue(arguments[0], "domain"));
  const std::string bridge_secret = NewBridgeSecret();
  runtime.setOnWebkitInitializedEvent(
      std::string(kExtensionName),
      BridgeScript(LoadResource("qdx-extension.js").value_or(""), bridge_secret));
  int exit_code = 0;
  if (!runtime.StartMainProcess(argc, argv, &exit_code)) return exit_code;

  ILogWriter& log = GlobalLogWriter();
  log.Info("-------------------------  start ---------------------", "");
  if (!runtime.SecureOriginNote().empty()) log.Warn(runtime.SecureOriginNote(), "");

  std::string error;
  switch (platform::AcquireSingleInstanceLock(std::string(kInstanceMutexName), &error)) {
    case platform::TInstanceLock::ilAlreadyHeld:
      log.Error("enter quorvexmodule fail, a instance is already started.", "");
      return 0;
    case platform::TInstanceLock::ilFailed:
      // Without the lock a second client could run beside this one unseen.
      log.Error("single instance lock failed: " + error, "");
      ShowStartFailure(error);
      return 1;
    case platform::TInstanceLock::ilAcquired:
      break;
  }

  TNwLaunchCheck check = CheckLaunchUrl(arguments[0]);
  switch (check.Outcome) {
    case TNwLaunchOutcome::loQuietEnd:
      return 0;
    case TNwLaunchOutcome::loInvalidToken:
      ShowMessage("RsInvalidToken");
      return 0;
    case TNwLaunchOutcome::loAccepted:
      break;
  }
  LaunchParameters::Store(std::move(check.Params));
  const LaunchParameters& p = LaunchParameters::Get();
  platform::DebugOutput("launch accepted: eid=" + p.eid + " domain=" + p.domain +
                        " proto=" + p.proto + " args=" + p.args);

  TNwExamFormSetup exam_setup{
      .Profile = runtime.Profile(),
      .Params = p,
      .Desktop = &platform::Desktop(),
      .Keys = &platform::KeySource(),
      .Log = &log,
      .Strings = &I18n(),
      .BridgeMarker = NativeCallMarker(bridge_secret),
      .ScreenCheck = [] { return ScreenConditionHolds(); },
      .UpgradeURL = I18n().i18n("RsUpgradeURL"),
  };
  TNwMainFormSetup setup;
  setup.CreateExamForm = [exam_setup](TFrmMain* owner) -> QWidget* {
    auto* form = new TFrmExam(exam_setup, owner);
    form->mainForm = owner;
    return form;
  };
  QPointer<TFrmMain> main_form = new TFrmMain(std::move(setup));
  // The check window is the main window, hidden during the exam: closing it ends the program.
  main_form->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(main_form, &QObject::destroyed, qApp, &QCoreApplication::quit);
  main_form->show();
  int code = QApplication::exec();
  // Windows and their pages go before the runtime that serves them.
  delete main_form;
  return code;
}

// Registers the URL scheme for this executable and says so in a window of its own, or in a
// message box when it could not.
int RunInstall(int argc, char** argv) {
  const bool registered = platform::RegisterUrlProtocol("tvqdx", platform::ExecutablePath(), true);
  // Without a display the registration still counts; only the window is left out.
  if (!HaveDisplay()) {
    std::fprintf(stderr, "quorvex: %s\n",
                 I18n().i18n(registered ? "RsInstalledSuccessfully" : "RsRegURLProtoFail").c_str());
    return registered ? 0 : 1;
  }
  QApplication app(argc, argv);
  if (!registered) {
    ShowMessage("RsRegURLProtoFail");
    return 1;
  }
  TFrmSuccess form(I18n(), LoadResource("INTROGIF", UiLanguage()).value_or(""));
  form.show();
  return QApplication::exec();
}

int Run(int argc, char** argv) {
  SetUiLanguage(platform::SystemDefaultLangId() == platform::kLangChinesePRC
                    ? platform::kLangChinesePRC
                    : platform::kLangEnglishUS);
  SetApplicationTitle(I18n().i18n("RsQuorvexModule"));

  std::vector<std::string> arguments(argv + 1, argv + argc);
  switch (ClassifyCommandLine(arguments)) {
    case TNwStartKind::skInstall:
      return RunInstall(argc, argv);
    case TNwStartKind::skNoArgument: {
      if (!HaveDisplay()) return 1;
      QApplication app(argc, argv);
      ShowMessage("RsInvalidToken");
      return 0;
    }
    case TNwStartKind::skSubProcess:
    case TNwStartKind::skLaunch:
      break;
  }
  return RunBrowserProcess(argc, argv, arguments);
}

}  // namespace
}  // namespace quorvex

int main(int argc, char** argv) {
  int code = quorvex::Run(argc, argv);
  quorvex::ShutdownGlobalLogWriter();
  return code;
}
