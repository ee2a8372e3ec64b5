// Forbidden applications and chat clients among the running processes.
#include <map>

#include "checks/utils.h"
#include "checks/utils_internal.h"
#include "common/format.h"
#include "common/text.h"

namespace quorvex {
namespace {

constexpr std::string_view kExe = ".exe";

struct TListItem {
  std::string Raw;      // as listed, lower-cased
  std::string Trimmed;  // compared
  std::string Stem;     // without ".exe": what a build for this system is called; else empty
};

int Compare(std::string_view a, std::string_view b) {
  int c = a.compare(b);
  return (c > 0) - (c < 0);
}

}  // namespace

bool FindRunningProcess(std::string_view list, std::string& matched_item, const TNwCheckEnv& env) {
  try {
    const std::string lower = LowerText(list);
    std::vector<TListItem> items;
    for (std::string_view piece : SplitString(lower, ',')) {
      TListItem item{std::string(piece), std::string(Trim(piece)), {}};
      if (item.Trimmed.size() > kExe.size() && item.Trimmed.ends_with(kExe)) {
        item.Stem = item.Trimmed.substr(0, item.Trimmed.size() - kExe.size());
      }
      items.push_back(std::move(item));
    }

    bool found = false;
    std::string exe;
    env.Processes.ForEachProcess([&](std::string_view name) {
      exe.assign(Trim(LowerText(name)));
      if (exe.empty()) return true;
      // Builds for this system have no extension: "kk" is what "kk.exe" is called here.
      const bool bare = exe.find('.') == std::string::npos;
      for (const TListItem& item : items) {
        if (env.Debug) {
          env.Debug(Format("%s-%s-%d", {exe, item.Trimmed, Compare(item.Raw, exe)}));
        }
        if (item.Trimmed == exe || (bare && item.Stem == exe)) {
          matched_item = item.Raw;
          found = true;
          return false;
        }
      }
      return true;
    });
    return found;
  } catch (...) {
    return false;
  }
}

bool FindBannedApp(std::string& display_name, const TNwCheckEnv& env) {
  try {
    if (MarkerPresent(env, "banapp.qdx")) return false;
    std::map<std::string, std::string, std::less<>> display_of;
    std::string keys;
    const std::string table = env.Strings.i18n("banAPP");
    for (std::string_view entry : SplitString(table, ';')) {
      auto parts = SplitString(entry, '=');
      // An entry must name both the program and what to call it.
      if (parts.size() < 2) continue;
      std::string key(Trim(LowerText(parts[0])));
      if (key.empty()) continue;
      key += kExe;
      // The first entry for a program decides its display name.
      if (!display_of.emplace(key, std::string(parts[1])).second) continue;
      if (!keys.empty()) keys += ',';
      keys += key;
    }
    std::string matched;
    if (!FindRunningProcess(keys, matched, env)) return false;
    auto it = display_of.find(matched);
    if (it == display_of.end()) return false;
    display_name = it->second;
    return true;
  } catch (...) {
    return false;
  }
}

bool IsChatAppRunning(const TNwCheckEnv& env) {
  try {
    if (MarkerPresent(env, "feim.qdx")) return false;
    env.Log.Info("start check qq, wechat", "");
    std::string matched;
    return FindRunningProcess("QQ.exe,wechat.exe,tim.exe", matched, env);
  } catch (...) {
    return false;
  }
}

}  // namespace quorvex
