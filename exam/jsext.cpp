#include "exam/jsext.h"

#include <cstdio>
#include <random>
#include <regex>

#include "common/format.h"
#include "common/text.h"

namespace quorvex {

std::string NewBridgeSecret() {
  std::random_device random;
  char secret[33];
  std::snprintf(secret, sizeof secret, "%08x%08x%08x%08x", random(), random(), random(), random());
  return secret;
}

std::string NativeCallMarker(std::string_view secret) {
  return "\x01quorvex-native:" + std::string(secret) + ":";
}

std::string BridgeScript(std::string_view extension_source, std::string_view secret) {
  // Taken before any page script runs, so that a page replacing prompt() cannot cut the
  // bridge off.
  std::string script =
      "const __quorvexNativeCall = ((ask, marker) => (name) => ask(marker + name))("
      "window.prompt.bind(window), \"\\u0001quorvex-native:" +
      std::string(secret) + ":\");";
  script +=
      "if (window === window.top && window.navigation) navigation.addEventListener('navigate', "
      "(e) => { const u = e.destination.url; if (/^tvqdx:/i.test(u)) __quorvexNativeCall(\"" +
      std::string(kAddressReport) + "\" + u); });";
  static const std::regex native(R"(native function (\w+)\(\);)");
  script += std::regex_replace(std::string(extension_source), native,
                               "function $1() { var r = __quorvexNativeCall(\"$1\"); "
                               "return r ? Number(r) : undefined; }");
  return script;
}

bool TNwExternalJsExtension::Execute(std::string_view name, std::optional<int>& retval) const {
  if (SameText(name, "Close")) {
    FSend("closeBrowser");
    return true;
  }
  if (SameText(name, "GetVersion")) {
    retval = kClientVersion;
    return true;
  }
  if (SameText(name, "Ornt")) {
    retval = kClientIdent;
    return true;
  }
  if (SameText(name, "upgrade")) {
    FSend("upgrade");
    return true;
  }
  if (!name.empty() && std::string_view("EnterFullscreen,ExitFullscreen,NeedCamera").find(name) !=
                           std::string_view::npos) {
    FSend(std::string(name));
    return true;
  }
  return false;
}

TNwBridgeDispatch DispatchProcessMessage(std::string_view name) {
  if (name == "closeBrowser") return {TNwBridgeAction::baClose, true};
  if (name == "upgrade") return {TNwBridgeAction::baUpgrade, false};
  if (name == "EnterFullscreen") return {TNwBridgeAction::baEnterExamMode, true};
  if (name == "ExitFullscreen") return {TNwBridgeAction::baExitExamMode, true};
  if (name == "NeedCamera") return {TNwBridgeAction::baNeedCamera, true};
  return {};
}

}  // namespace quorvex
