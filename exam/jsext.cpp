#include "exam/jsext.h"

#include <regex>

#include "common/text.h"

namespace quorvex {

std::string BridgeScript(std::string_view extension_source) {
  // Taken before any page script runs, so that a page replacing prompt() cannot cut the
  // bridge off.
  std::string script = "const __quorvexNativeCall = window.prompt.bind(window);";
  static const std::regex native(R"(native function (\w+)\(\);)");
  script += std::regex_replace(
      std::string(extension_source), native,
      "function $1() { var r = __quorvexNativeCall(\"\\u0001quorvex-native:$1\"); "
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

TBridgeDispatch DispatchProcessMessage(std::string_view name) {
  if (name == "closeBrowser") return {TBridgeAction::Close, true};
  if (name == "upgrade") return {TBridgeAction::Upgrade, false};
  if (name == "EnterFullscreen") return {TBridgeAction::EnterExamMode, true};
  if (name == "ExitFullscreen") return {TBridgeAction::ExitExamMode, true};
  if (name == "NeedCamera") return {TBridgeAction::NeedCamera, true};
  return {};
}

}  // namespace quorvex
