// The application's title and the user-facing message box.
#pragma once

#include <string>
#include <string_view>

namespace quorvex {

void SetApplicationTitle(std::string title);
const std::string& ApplicationTitle();

// Modal box with a single OK: caption = the application title, text = the string table's
// value of `key`.
void ShowMessage(std::string_view key);

}  // namespace quorvex
