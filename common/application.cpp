#include "common/application.h"

#include "common/language.h"
#include "platform/platform.h"

namespace quorvex {
namespace {

std::string& Title() {
  static std::string title;
  return title;
}

}  // namespace

void SetApplicationTitle(std::string title) {
  Title() = std::move(title);
}
const std::string& ApplicationTitle() {
  return Title();
}

void ShowMessage(std::string_view key) {
  platform::ShowMessageBox(ApplicationTitle(), I18n().i18n(key));
}

}  // namespace quorvex
