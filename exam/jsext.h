// The page bridge: the script object `quorvex` in every page and frame, its native functions
// answered by the client, and the messages they send to the exam window.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorvex {

inline constexpr std::string_view kExtensionName = "v8/qdx";
inline constexpr int kClientVersion = 8;
inline constexpr int kClientIdent = 729184;

// A prompt() whose text begins with this comes from the bridge, not from the page.
inline constexpr std::string_view kNativeCallMarker = "\x01quorvex-native:";

// The extension source as the page sees it run: each `native function X();` becomes a
// synchronous call into the client through the page's original prompt().
std::string BridgeScript(std::string_view extension_source);

// Answers the native functions. Values go back to the script; everything else becomes a
// named message for the exam window.
class TNwExternalJsExtension {
 public:
  using TSendBrowserMessage = std::function<void(const std::string& name)>;
  explicit TNwExternalJsExtension(TSendBrowserMessage send) : FSend(std::move(send)) {}

  // True when `name` is one of the bridge's functions; `retval` gets the value it returns.
  bool Execute(std::string_view name, std::optional<int>& retval) const;

 private:
  TSendBrowserMessage FSend;
};

enum class TBridgeAction { None, Close, Upgrade, EnterExamMode, ExitExamMode, NeedCamera };

struct TBridgeDispatch {
  TBridgeAction action = TBridgeAction::None;
  bool handled = false;
};

// What the exam window does with a message from the page, by its exact name.
TBridgeDispatch DispatchProcessMessage(std::string_view name);

}  // namespace quorvex
