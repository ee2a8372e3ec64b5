// printf-like formatting with typed arguments: "%s", "%d", "%u", "%x", an optional argument
// index ("%0:s"), width with "-" for left alignment ("%2:-8s"), "*" for a width or precision
// taken from the arguments, and a precision (minimum digits for integers, maximum characters
// for texts). "%%" writes "%".
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace quorvex {

class EFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One typed argument; texts are borrowed and must outlive the call.
class FmtArg {
 public:
  enum class Kind { Text, Integer };

  FmtArg(const char* text) : kind_(Kind::Text), text_(text) {}
  FmtArg(const std::string& text) : kind_(Kind::Text), text_(text) {}
  FmtArg(std::string_view text) : kind_(Kind::Text), text_(text) {}
  template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                             !std::is_same_v<T, char>,
                                         int> = 0>
  FmtArg(T value)
      : kind_(Kind::Integer), integer_(static_cast<int64_t>(value)), unsigned32_(sizeof(T) <= 4) {}

  Kind kind() const { return kind_; }
  std::string_view text() const { return text_; }
  int64_t integer() const { return integer_; }
  // "%u" of a 32-bit value reads it as unsigned 32-bit, as the original integer type did.
  bool narrow() const { return unsigned32_; }

 private:
  Kind kind_;
  std::string_view text_;
  int64_t integer_ = 0;
  bool unsigned32_ = false;
};

using FmtArgs = std::span<const FmtArg>;

// Throws EFormatError for an unknown conversion, a missing argument or one of the wrong kind.
std::string Format(std::string_view format, FmtArgs args);
inline std::string Format(std::string_view format, std::initializer_list<FmtArg> args) {
  return Format(format, FmtArgs(args.begin(), args.size()));
}
// Appends to `out`, for callers that reuse a buffer.
void FormatTo(std::string& out, std::string_view format, FmtArgs args);

}  // namespace quorvex
