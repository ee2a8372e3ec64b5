#include "common/resources.h"

#include <QFile>

namespace quorvex {

std::optional<std::string> LoadResource(const std::string& name) {
  QFile file(QStringLiteral(":/") + QString::fromStdString(name));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.readAll().toStdString();
}

}  // namespace quorvex
