#include "common/language.h"

#include <atomic>
#include <mutex>

#include "common/resources.h"
#include "common/text.h"
#include "platform/paths.h"

namespace quorvex {

namespace {
std::atomic<uint16_t> g_ui_language{platform::kLangEnglishUS};
}  // namespace

void SetUiLanguage(uint16_t lang_id) {
  g_ui_language = lang_id;
}
uint16_t UiLanguage() {
  return g_ui_language;
}

TIniData ParseIni(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  TIniData data;
  std::map<std::string, std::optional<std::string>>* section = nullptr;
  size_t pos = 0;
  while (pos <= bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = Trim(bytes.substr(pos, end - pos));
    pos = end + 1;
    if (end < bytes.size() && bytes[end] == '\r' && pos < bytes.size() && bytes[pos] == '\n') ++pos;

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      section = &data[UpperText(Trim(line.substr(1, line.size() - 2)))];
      continue;
    }
    if (!section) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      (*section)[UpperText(line)] = std::nullopt;
    } else {
      (*section)[UpperText(TrimRight(line.substr(0, eq)))] =
          std::string(TrimLeft(line.substr(eq + 1)));
    }
  }
  return data;
}

std::string SectionForLocale(std::string_view user_locale) {
  return user_locale == "zh-CN" ? "zh-cn" : "en-us";
}

std::string UnescapeValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += "\n\r";
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

TNwI18n::TNwI18n(const std::optional<std::string>& resource, std::string locale) {
  if (!resource) throw EResNotFound("Resource LANGUAGEINI not found");
  if (resource->empty()) return;
  FLocale = std::move(locale);
  FInidata = ParseIni(*resource);
  auto it = FInidata->find(UpperText(FLocale));
  if (it != FInidata->end()) FSection = &it->second;
}

std::unique_ptr<TNwI18n> TNwI18n::create(std::string locale) {
  return std::make_unique<TNwI18n>(LoadResource("LANGUAGEINI"), std::move(locale));
}

INwI8n& TNwI18n::_(std::string_view locale) {
  // Created on the main thread during start-up, before any other thread looks it up.
  static std::unique_ptr<TNwI18n> instance;
  static std::once_flag once;
  std::call_once(once, [&] {
    instance =
        create(locale.empty() ? SectionForLocale(platform::UserLocaleName()) : std::string(locale));
  });
  return *instance;
}

const std::string* TNwI18n::Find(std::string_view key) const {
  if (!FSection) return nullptr;
  auto it = FSection->find(UpperText(key));
  if (it == FSection->end() || !it->second) return nullptr;
  return &*it->second;
}

std::string TNwI18n::i18n(std::string_view key) const {
  return i18nDef(key, key);
}

std::string TNwI18n::i18nDef(std::string_view key, std::string_view def) const {
  if (!FInidata) return std::string(key);
  const std::string* value = Find(key);
  return UnescapeValue(value ? std::string_view(*value) : def);
}

std::string TNwI18n::i18nf(std::string_view key, TNwFmtArgs args) const {
  return Format(i18n(key), args);
}

std::string TNwI18n::i18nDefF(std::string_view key, std::string_view def, TNwFmtArgs args) const {
  return Format(i18nDef(key, def), args);
}

}  // namespace quorvex
