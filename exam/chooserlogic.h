// Where the in-window file chooser sits, what it answers, and where a browser download goes, in
// plain values.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quorvex {

// The chooser's container: 600 × 450, centred once in the client area, halves to even.
inline constexpr int kChooserWidth = 600;
inline constexpr int kChooserHeight = 450;
struct TNwPlace {
  int Left = 0, Top = 0;
  bool operator==(const TNwPlace&) const = default;
};
TNwPlace ContainerPlace(int client_width, int client_height);

// The file list's current path: its folder and the highlighted name joined by one '/'; empty
// when no name is highlighted.
std::string CurrentPath(std::string_view folder, std::string_view name);

// A browser download's target: the documents folder joined with the last path component of the
// suggested name ("unamed file" when there is none), so that a name cannot lead elsewhere.
std::string DownloadTarget(std::string_view documents, std::string_view suggested);

// `name`, or the first of "stem (1).ext", "stem (2).ext", ... that `taken` does not claim.
std::string UniqueName(std::string_view name, const std::function<bool(const std::string&)>& taken);

}  // namespace quorvex
