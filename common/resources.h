// The resources compiled into the executable: string table, pictures, page templates, scripts.
#pragma once

#include <optional>
#include <string>

namespace quorvex {

// The resource `name`; nullopt when there is none of that name.
std::optional<std::string> LoadResource(const std::string& name);

}  // namespace quorvex
