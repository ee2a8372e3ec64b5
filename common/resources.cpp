#include "common/resources.h"

#include <QFile>

namespace quorvex {

std::optional<std::string> LoadResource(const std::string& name) {
  QFile file(QStringLiteral(":/") + QString::fromStdString(name));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.readAll().toStdString();
}

std::optional<std::string> LoadResource(const std::string& name, uint16_t lang_id) {
  if (auto found = LoadResource(name + "." + std::to_string(lang_id))) return found;
  return LoadResource(name + ".1033");
}

}  // namespace quorvex
