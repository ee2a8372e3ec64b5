// Text helpers shared by the logic: all texts are UTF-8 std::string.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

// Removes characters with codes 32 or less at both ends.
std::string_view Trim(std::string_view text);
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);

// Unicode lower and upper case (linguistic, not locale-tailored).
std::string LowerText(std::string_view text);
std::string UpperText(std::string_view text);
// Whole-text comparison without regard to case.
bool SameText(std::string_view a, std::string_view b);

bool IsValidUtf8(std::string_view bytes);

// Escapes text for HTML content and attribute values.
std::string HtmlEscape(std::string_view text);

// Splits at every `sep`, keeping empty pieces.
std::vector<std::string_view> SplitString(std::string_view text, char sep);

}  // namespace quorvex
