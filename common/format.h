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
enum class TNwFmtKind : uint8_t { fkText, fkInteger };

class TNwFmtArg {
 public:
  TNwFmtArg(const char* text) : FKind(TNwFmtKind::fkText), FText(text) {}
  TNwFmtArg(const std::string& text) : FKind(TNwFmtKind::fkText), FText(text) {}
  TNwFmtArg(std::string_view text) : FKind(TNwFmtKind::fkText), FText(text) {}
  template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                             !std::is_same_v<T, char>,
                                         int> = 0>
  TNwFmtArg(T value)
      : FKind(TNwFmtKind::fkInteger),
        FInteger(static_cast<int64_t>(value)),
        FUnsigned32(sizeof(T) <= 4) {}

  TNwFmtKind Kind() const { return FKind; }
  std::string_view Text() const { return FText; }
  int64_t Integer() const { return FInteger; }
  // "%u" of a 32-bit value reads it as unsigned 32-bit, as the original integer type did.
  bool Narrow() const { return FUnsigned32; }

 private:
  TNwFmtKind FKind;
  std::string_view FText;
  int64_t FInteger = 0;
  bool FUnsigned32 = false;
};

using TNwFmtArgs = std::span<const TNwFmtArg>;

// Throws EFormatError for an unknown conversion, a missing argument or one of the wrong kind.
std::string Format(std::string_view format, TNwFmtArgs args);
inline std::string Format(std::string_view format, std::initializer_list<TNwFmtArg> args) {
  return Format(format, TNwFmtArgs(args.begin(), args.size()));
}
// Appends to `out`, for callers that reuse a buffer.
void FormatTo(std::string& out, std::string_view format, TNwFmtArgs args);

}  // namespace quorvex
