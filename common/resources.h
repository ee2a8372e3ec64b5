// The resources compiled into the executable: string table, pictures, page templates, scripts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvex {

// The resource `name`; nullopt when there is none of that name.
std::optional<std::string> LoadResource(const std::string& name);
// The version of resource `name` for language `lang_id` ("name.2052"), or the English one
// ("name.1033") when there is none in that language.
std::optional<std::string> LoadResource(const std::string& name, uint16_t lang_id);

}  // namespace quorvex
