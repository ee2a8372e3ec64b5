// The application's title and its message boxes.
#pragma once

#include <string>
#include <string_view>

namespace quorvex {

void SetApplicationTitle(std::string title);
const std::string& ApplicationTitle();

enum class TNwMessageBoxIcon { miNone, miInformation };

// Modal box with a single OK button. From any thread: off the main thread it is shown there
// and waited for; without a widget application it only reaches the diagnostic output.
void ShowMessageBox(const std::string& caption, const std::string& text,
                    TNwMessageBoxIcon icon = TNwMessageBoxIcon::miNone);

// Modal box with a single OK: caption = the application title, text = the string table's
// value of `key`.
void ShowMessage(std::string_view key);

}  // namespace quorvex
