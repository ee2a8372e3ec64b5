// Entry point: tells the kinds of start apart and runs the one asked for.
#include <QApplication>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/launch.h"
#include "app/runtime.h"
#include "checks/mainform.h"
#include "common/application.h"
#include "common/language.h"
#include "common/log.h"
#include "exam/exam.h"
#include "exam/jsext.h"
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

int RunBrowserProcess(int argc, char** argv, const std::vector<std::string>& arguments) {
  const bool helper = ClassifyCommandLine(arguments) == StartKind::SubProcess;
  if (!helper && !HaveDisplay()) return 1;
  TCefApplication runtime;
  std::string proto = EarlyValue(arguments[0], "proto");
  runtime.SetSecureOrigin(proto.empty() ? std::string(kDefaultProto) : proto,
                          EarlyValue(arguments[0], "domain"));
  runtime.setOnWebkitInitializedEvent(
      std::string(kExtensionName),
      BridgeScript(platform::LoadResource("qdx-extension.js").value_or("")));
  int exit_code = 0;
  if (!runtime.StartMainProcess(argc, argv, &exit_code)) return exit_code;

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

  LaunchCheck check = CheckLaunchUrl(arguments[0]);
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

  TNwMainFormSetup setup;
  setup.CreateExamForm = NewExamForm<TFrmExam>;
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
    case StartKind::Launch:
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
