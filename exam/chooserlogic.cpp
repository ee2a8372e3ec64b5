#include "exam/chooserlogic.h"

#include <cmath>

namespace quorvex {

namespace {

int RoundHalfEven(double v) {
  return static_cast<int>(std::nearbyint(v));
}

}  // namespace

TNwPlace ContainerPlace(int client_width, int client_height) {
  return {RoundHalfEven(client_width * 0.5 - kChooserWidth * 0.5),
          RoundHalfEven(client_height * 0.5 - kChooserHeight * 0.5)};
}

std::string CurrentPath(std::string_view folder, std::string_view name) {
  if (name.empty()) return {};
  std::string path(folder);
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path + std::string(name);
}

std::string DownloadTarget(std::string_view documents, std::string_view suggested) {
  std::string_view name = suggested;
  if (const size_t slash = name.find_last_of('/'); slash != std::string_view::npos) {
    name = name.substr(slash + 1);
  }
  if (name.empty() || name == "." || name == "..") name = "unamed file";
  return CurrentPath(documents, name);
}

std::string UniqueName(std::string_view name,
                       const std::function<bool(const std::string&)>& taken) {
  if (!taken(std::string(name))) return std::string(name);
  // The extension stays last; a leading dot (".profile") is no extension.
  const size_t dot = name.find_last_of('.');
  const bool has_ext = dot != std::string_view::npos && dot > 0;
  const std::string_view stem = has_ext ? name.substr(0, dot) : name;
  const std::string_view ext = has_ext ? name.substr(dot) : std::string_view();
  for (int n = 1;; ++n) {
    std::string candidate = std::string(stem) + " (" + std::to_string(n) + ")" + std::string(ext);
    if (!taken(candidate)) return candidate;
  }
}

}  // namespace quorvex
