#include "app/runtime.h"

#include <QtWebEngineCore/private/qtwebenginecoreglobal_p.h>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <regex>

#include "app/launch.h"
#include "common/format.h"
#include "common/text.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace quorvex {
namespace {

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

std::optional<std::string> SecureOrigin(const std::string& proto, const std::string& domain) {
  // A scheme, and a host name, IPv4 or bracketed IPv6 address with an optional port: nothing
  // that could end the switch's value or start another.
  static const std::regex scheme(R"([A-Za-z][A-Za-z0-9+.-]*)");
  static const std::regex host(
      R"(([A-Za-z0-9_]([A-Za-z0-9_-]*[A-Za-z0-9_])?(\.[A-Za-z0-9_]([A-Za-z0-9_-]*[A-Za-z0-9_])?)*|\[[0-9A-Fa-f:.]+\])(:[0-9]{1,5})?)");
  const std::string used_proto = proto.empty() ? std::string(kDefaultProto) : proto;
  if (!std::regex_match(used_proto, scheme) || !std::regex_match(domain, host)) {
    return std::nullopt;
  }
  return Format("%s://%s", {used_proto, domain});
}

std::vector<std::string> RuntimeSwitches(const std::string& temp_dir, const std::string& proto,
                                         const std::string& domain) {
  std::vector<std::string> switches = {
      // The exam client runs its engine without a sandbox.
      "--no-sandbox",
      "--enable-media-stream=1",
      "--use-fake-ui-for-media-stream",
      "--disable-spell-checking",
      "--enable-logging",
      "--log-file=" + temp_dir + "quorvex-bs.log",
      "--log-level=2",
      "--lang=en-US",
  };
  const std::optional<std::string> origin = SecureOrigin(proto, domain);
  if (origin) switches.push_back("--unsafely-treat-insecure-origin-as-secure=" + *origin);
  // The engine does not hand the secure-origin switch on to renderers forked from its zygote;
  // without one every renderer starts through this executable, which adds it. Only a plain
  // HTTP site that is not already trustworthy (loopback) needs that slower start.
  if (origin && NeedsRendererSecureOrigin(proto, domain)) switches.push_back("--no-zygote");
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

namespace {

// Our own scheme inside a page: its addresses are commands (the close address) or a launch
// link the exam site shows, never something to load or to hand to the desktop. Each request
// stops where it is, and the page stays as it was.
class TNwSchemeRefusal final : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  void requestStarted(QWebEngineUrlRequestJob* job) override {
    job->fail(QWebEngineUrlRequestJob::RequestAborted);
  }
};

}  // namespace

TCefApplication::TCefApplication() = default;

TCefApplication::~TCefApplication() {
  // Pages go before their profile, the profile before the engine's application object.
  delete FProfile;
  FApplication.reset();
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
  // Switches from outside could attach developer tools or turn web security off. The engine
  // splits this variable at blanks, so nothing of ours goes through it either.
  const char* outside = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
  std::vector<std::string> kept = AllowedOutsideSwitches(outside ? outside : "");
  for (const char* var : {"QTWEBENGINE_CHROMIUM_FLAGS", "QTWEBENGINE_REMOTE_DEBUGGING",
                          "QTWEBENGINE_INSPECTOR_SERVER"}) {
    unsetenv(var);
  }

  std::string temp_dir;
  try {
    temp_dir = platform::TempDir();
  } catch (const std::exception& e) {
    platform::DebugOutput(std::string("runtime: ") + e.what());
  }
  if (std::optional<std::string> origin = SecureOrigin(FProto, FDomain)) {
    setenv("QUORVEX_SECURE_ORIGIN", origin->c_str(), 1);
  } else {
    unsetenv("QUORVEX_SECURE_ORIGIN");
    FSecureOriginNote = "secure origin left out, not a plain scheme and host: " +
                        Format("%s://%s", {FProto, FDomain});
  }

  // The engine reads its switches, each whole, from the application's arguments after
  // "--webEngineArgs": ours, and of the outside ones only the harmless few. Never the caller's
  // own arguments.
  FArgs = {argv[0], "--webEngineArgs"};
  for (const std::string& s : RuntimeSwitches(temp_dir, FProto, FDomain)) FArgs.push_back(s);
  for (const std::string& s : kept) FArgs.push_back(s);
  for (std::string& s : FArgs) FArgv.push_back(s.data());
  FArgv.push_back(nullptr);
  FArgc = static_cast<int>(FArgs.size());
  // Known to the engine, the scheme's addresses reach the page's handlers and are never handed
  // to the desktop's opener.
  QWebEngineUrlScheme scheme{QByteArray(kScheme.data(), kScheme.size())};
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  QWebEngineUrlScheme::registerScheme(scheme);
  FApplication = std::make_unique<QApplication>(FArgc, FArgv.data());

  FProfile = new QWebEngineProfile(QStringLiteral("quorvex"));
  FProfile->setCachePath(QString::fromStdString(temp_dir + "quorvex-cache"));
  FProfile->setPersistentStoragePath(QString::fromStdString(temp_dir + "quorvex-userdata"));
  FProfile->setHttpUserAgent(
      QString::fromStdString(BuildUserAgent(FProfile->httpUserAgent().toStdString())));
  FProfile->setHttpAcceptLanguage(QStringLiteral("en-US"));
  FProfile->setSpellCheckEnabled(false);
  FProfile->installUrlSchemeHandler(scheme.name(), new TNwSchemeRefusal(FProfile));
  // Nothing a page links to starts a program of the desktop (mail, other schemes).
  FProfile->settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
  // The engine shows a PDF in the page only with its plugins on (the PDF viewer is the one
  // plugin it still has); otherwise every PDF would turn into a download.
  FProfile->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
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
