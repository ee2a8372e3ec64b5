#include "app/runtime.h"

#include <QtWebEngineCore/private/qtwebenginecoreglobal_p.h>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <cstdlib>
#include <cstring>
#include <regex>

#include "common/format.h"
#include "common/text.h"
#include "platform/platform.h"

namespace quorvex {
namespace {

TCefApplication* g_runtime = nullptr;

bool IsHelperProcess(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--type=", 7) == 0) return true;
  }
  return false;
}

}  // namespace

std::string BuildUserAgent(std::string_view default_agent) {
  const std::string product = Format("Chrome/81.0 %s/%d", {kProductName, kProductVersion});
  std::string agent =
      std::regex_replace(std::string(default_agent), std::regex(R"( ?QtWebEngine/[0-9.]+)"), "");
  std::regex chrome(R"(Chrome/[0-9.]+)");
  if (std::regex_search(agent, chrome)) return std::regex_replace(agent, chrome, product);
  return agent + " " + product;
}

std::vector<std::string> RuntimeSwitches(const std::string& temp_dir, const std::string& proto,
                                         const std::string& domain) {
  std::vector<std::string> switches = {
      // The exam client runs its engine without a sandbox.
      "--no-sandbox",
      "--enable-media-stream=1",
      "--use-fake-ui-for-media-stream",
      "--disable-spell-checking",
      "--unsafely-treat-insecure-origin-as-secure=" +
          Format("%s://%s", {proto.empty() ? std::string("http") : proto, domain}),
      "--enable-logging",
      "--log-file=" + temp_dir + "quorvex-bs.log",
      "--log-level=2",
      "--lang=en-US",
  };
  // The engine does not hand the secure-origin switch on to renderers forked from its zygote;
  // without one every renderer starts through this executable, which adds it. Only a plain
  // HTTP site that is not already trustworthy (loopback) needs that slower start.
  if (NeedsRendererSecureOrigin(proto, domain)) switches.push_back("--no-zygote");
  return switches;
}

bool NeedsRendererSecureOrigin(const std::string& proto, const std::string& domain) {
  if (!proto.empty() && LowerText(proto) != "http") return false;
  std::string host = LowerText(domain);
  if (host.starts_with("[")) {
    host = host.substr(0, host.find(']') + 1);
  } else {
    host = host.substr(0, host.find(':'));
  }
  return !host.empty() && host != "localhost" && !host.ends_with(".localhost") &&
         !host.starts_with("127.") && host != "[::1]";
}

std::vector<std::string> AllowedOutsideSwitches(std::string_view flags) {
  static const std::regex allowed(
      R"(--(no-sandbox|disable-gpu|disable-gpu-compositing|disable-dev-shm-usage|use-gl=(swiftshader|egl|angle)|use-angle=swiftshader))");
  std::vector<std::string> kept;
  for (std::string_view piece : SplitString(flags, ' ')) {
    std::string flag(Trim(piece));
    if (std::regex_match(flag, allowed)) kept.push_back(flag);
  }
  return kept;
}

TCefApplication::TCefApplication() {
  g_runtime = this;
}

TCefApplication::~TCefApplication() {
  // Pages go before their profile, the profile before the engine's application object.
  delete FProfile;
  FApplication.reset();
  if (g_runtime == this) g_runtime = nullptr;
}

TCefApplication* TCefApplication::Instance() {
  return g_runtime;
}

void TCefApplication::setOnWebkitInitializedEvent(std::string name, std::string source) {
  FPageScriptName = std::move(name);
  FPageScript = std::move(source);
}

void TCefApplication::SetSecureOrigin(std::string proto, std::string domain) {
  FProto = proto.empty() ? "http" : std::move(proto);
  FDomain = std::move(domain);
}

bool TCefApplication::StartMainProcess(int argc, char** argv, int* exit_code) {
  if (IsHelperProcess(argc, argv)) {
    std::vector<const char*> args(argv, argv + argc);
    // The engine does not hand the secure-origin switch on to its renderers; without a zygote
    // every renderer starts here, so it is added on the way in.
    const char* origin = std::getenv("QUORVEX_SECURE_ORIGIN");
    std::string secure =
        std::string("--unsafely-treat-insecure-origin-as-secure=") + (origin ? origin : "");
    if (origin && *origin) args.push_back(secure.c_str());
    args.push_back(nullptr);
    *exit_code = QtWebEngineCore::processMain(static_cast<int>(args.size()) - 1, args.data());
    return false;
  }
  // The engine starts this same executable for its helper processes.
  setenv("QTWEBENGINEPROCESS_PATH", platform::ExecutablePath().c_str(), 1);
  // Switches from outside could attach developer tools or turn web security off.
  const char* outside = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
  std::vector<std::string> kept = AllowedOutsideSwitches(outside ? outside : "");
  for (const char* var : {"QTWEBENGINE_REMOTE_DEBUGGING", "QTWEBENGINE_INSPECTOR_SERVER"}) {
    unsetenv(var);
  }

  // The engine takes its switches from this variable: ours, and of the outside ones only
  // the harmless few.
  std::string temp_dir;
  try {
    temp_dir = platform::TempDir();
  } catch (const std::exception& e) {
    platform::DebugOutput(std::string("runtime: ") + e.what());
  }
  std::string flags;
  for (const std::string& s : RuntimeSwitches(temp_dir, FProto, FDomain)) flags += s + " ";
  for (const std::string& s : kept) flags += s + " ";
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
  setenv("QUORVEX_SECURE_ORIGIN", Format("%s://%s", {FProto, FDomain}).c_str(), 1);

  // Never the caller's arguments: the engine would read switches from them too.
  FArg0 = argv[0];
  FArgv[0] = FArg0.data();
  FApplication = std::make_unique<QApplication>(FArgc, FArgv);

  FProfile = new QWebEngineProfile(QStringLiteral("quorvex"));
  FProfile->setCachePath(QString::fromStdString(temp_dir + "quorvex-cache"));
  FProfile->setPersistentStoragePath(QString::fromStdString(temp_dir + "quorvex-userdata"));
  FProfile->setHttpUserAgent(
      QString::fromStdString(BuildUserAgent(FProfile->httpUserAgent().toStdString())));
  FProfile->setHttpAcceptLanguage(QStringLiteral("en-US"));
  FProfile->setSpellCheckEnabled(false);
  if (!FPageScriptName.empty() && !FPageScript.empty()) {
    AddPageScript(*FProfile, FPageScriptName, FPageScript);
  }
  return true;
}

void AddPageScript(QWebEngineProfile& profile, const std::string& name, const std::string& source) {
  QWebEngineScript script;
  script.setName(QString::fromStdString(name));
  script.setSourceCode(QString::fromStdString(source));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(true);
  profile.scripts()->insert(script);
}

}  // namespace quorvex
