// Shared by the check sources only.
#pragma once

#include <string_view>

#include "checks/utils.h"

namespace quorvex {

// Whether the marker `name` is present; a marker that cannot be looked for is absent.
bool MarkerPresent(const TNwCheckEnv& env, std::string_view name);

}  // namespace quorvex
