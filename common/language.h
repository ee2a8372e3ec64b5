// The localized string table: one section per user-interface language, compiled into the
// executable as the resource "LANGUAGEINI".
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/format.h"

namespace quorvex {

class EResNotFound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class INwI8n {
 public:
  virtual ~INwI8n() = default;
  // The value of `key`, or the key itself when missing.
  virtual std::string i18n(std::string_view key) const = 0;
  virtual std::string i18nf(std::string_view key, TNwFmtArgs args) const = 0;
  // The value of `key`, or `def` when missing.
  virtual std::string i18nDef(std::string_view key, std::string_view def) const = 0;
  virtual std::string i18nDefF(std::string_view key, std::string_view def,
                               TNwFmtArgs args) const = 0;

  std::string i18nf(std::string_view key, std::initializer_list<TNwFmtArg> args) const {
    return i18nf(key, TNwFmtArgs(args.begin(), args.size()));
  }
  std::string i18nDefF(std::string_view key, std::string_view def,
                       std::initializer_list<TNwFmtArg> args) const {
    return i18nDefF(key, def, TNwFmtArgs(args.begin(), args.size()));
  }
};

// Section name → (upper-cased key → value; nullopt for a line without "=").
using TIniData = std::map<std::string, std::map<std::string, std::optional<std::string>>>;

// Parses INI text: UTF-8 with an optional byte-order mark, any line ending.
TIniData ParseIni(std::string_view bytes);

// "zh-cn" for the user locale "zh-CN" exactly, otherwise "en-us".
std::string SectionForLocale(std::string_view user_locale);

class TNwI18n final : public INwI8n {
 public:
  // Parses `resource` (nullopt: a missing resource, EResNotFound). An empty resource leaves
  // the table empty: every lookup gives its key.
  TNwI18n(const std::optional<std::string>& resource, std::string locale);
  // Reads the executable's "LANGUAGEINI" resource.
  static std::unique_ptr<TNwI18n> create(std::string locale);

  // The process-wide instance; the first call chooses the section (empty: from the user's
  // locale), later calls ignore `locale`.
  static INwI8n& _(std::string_view locale);

  std::string i18n(std::string_view key) const override;
  std::string i18nf(std::string_view key, TNwFmtArgs args) const override;
  std::string i18nDef(std::string_view key, std::string_view def) const override;
  std::string i18nDefF(std::string_view key, std::string_view def, TNwFmtArgs args) const override;
  using INwI8n::i18nDefF;
  using INwI8n::i18nf;

  const std::string& locale() const { return FLocale; }

 private:
  // The raw value, or nullptr when the key is missing or has no value.
  const std::string* Find(std::string_view key) const;

  std::optional<TIniData> FInidata;
  std::string FLocale;
  const std::map<std::string, std::optional<std::string>>* FSection = nullptr;
};

// "\n" becomes LF then CR; no other escape.
std::string UnescapeValue(std::string_view text);

// The language of resources that exist per language (platform::kLang...); set once at start.
void SetUiLanguage(uint16_t lang_id);
uint16_t UiLanguage();

// The accessor every caller uses.
inline INwI8n& I18n() {
  return TNwI18n::_("");
}

}  // namespace quorvex
