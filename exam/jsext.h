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

// A fresh secret of one process: the bridge's calls carry it, so a page cannot make one up.
std::string NewBridgeSecret();

// A prompt() whose text begins with this comes from the bridge, not from the page.
std::string NativeCallMarker(std::string_view secret);

// A bridge call that reports a navigation of the top document to one of our scheme's
// addresses, as the page wrote it: the engine hands the client such addresses with their
// host lower-cased, and the close address is told apart by letter case.
inline constexpr std::string_view kAddressReport = "@address:";

// The extension source as the page sees it run: each `native function X();` becomes a
// synchronous call into the client through the page's original prompt(), marked with the
// secret, which stays in a closure no page script can read.
std::string BridgeScript(std::string_view extension_source, std::string_view secret);

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

enum class TNwBridgeAction {
  baNone,
  baClose,
  baUpgrade,
  baEnterExamMode,
  baExitExamMode,
  baNeedCamera
};

struct TNwBridgeDispatch {
  TNwBridgeAction Action = TNwBridgeAction::baNone;
  bool Handled = false;
};

// What the exam window does with a message from the page, by its exact name.
TNwBridgeDispatch DispatchProcessMessage(std::string_view name);

}  // namespace quorvex
