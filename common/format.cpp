#include "common/format.h"

#include <charconv>

namespace quorvex {
namespace {

[[noreturn]] void Invalid(std::string_view format) {
  throw EFormatError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

[[noreturn]] void Missing(std::string_view format) {
  throw EFormatError("No argument for format '" + std::string(format) + "'");
}

// Width and precision count characters, not bytes.
size_t CharCount(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

std::string_view FirstChars(std::string_view text, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == count) {
      return text.substr(0, i);
    }
  }
  return text;
}

void AppendDigits(std::string& out, uint64_t value, int base, size_t min_digits) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, base);
  size_t len = static_cast<size_t>(end - buf);
  if (base == 16) {
    for (char* p = buf; p != end; ++p) {
      if (*p >= 'a') *p = static_cast<char>(*p - 'a' + 'A');
    }
  }
  if (min_digits > len) out.append(min_digits - len, '0');
  out.append(buf, len);
}

}  // namespace

void FormatTo(std::string& out, std::string_view format, TNwFmtArgs args) {
  size_t next_arg = 0;
  const size_t n = format.size();
  size_t i = 0;
  while (i < n) {
    size_t pct = format.find('%', i);
    if (pct == std::string_view::npos) {
      out.append(format.substr(i));
      return;
    }
    out.append(format.substr(i, pct - i));
    i = pct + 1;
    if (i >= n) Invalid(format);
    if (format[i] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }

    auto take_arg = [&]() -> const TNwFmtArg& {
      if (next_arg >= args.size()) Missing(format);
      return args[next_arg++];
    };
    // A number, "*" (from the arguments) or nothing (-1).
    auto read_number = [&]() -> int64_t {
      if (i < n && format[i] == '*') {
        ++i;
        const TNwFmtArg& a = take_arg();
        if (a.Kind() != TNwFmtKind::fkInteger) Invalid(format);
        return a.Integer();
      }
      int64_t v = -1;
      while (i < n && format[i] >= '0' && format[i] <= '9') {
        v = (v < 0 ? 0 : v) * 10 + (format[i] - '0');
        if (v > 1'000'000) Invalid(format);
        ++i;
      }
      return v;
    };

    int64_t number = read_number();
    if (i < n && format[i] == ':') {
      if (number < 0) Invalid(format);
      next_arg = static_cast<size_t>(number);
      ++i;
      number = -1;
    }
    bool left = false;
    if (number < 0 && i < n && format[i] == '-') {
      left = true;
      ++i;
    }
    int64_t width = number >= 0 ? number : read_number();
    int64_t precision = -1;
    if (i < n && format[i] == '.') {
      ++i;
      precision = read_number();
      if (precision < 0) precision = 0;
    }
    if (i >= n) Invalid(format);
    char conv = static_cast<char>(format[i] | 0x20);
    ++i;

    const TNwFmtArg& arg = take_arg();
    size_t start = out.size();
    switch (conv) {
      case 's': {
        if (arg.Kind() != TNwFmtKind::fkText) Invalid(format);
        std::string_view text = arg.Text();
        if (precision >= 0) text = FirstChars(text, static_cast<size_t>(precision));
        out.append(text);
        break;
      }
      case 'd':
      case 'u':
      case 'x': {
        if (arg.Kind() != TNwFmtKind::fkInteger) Invalid(format);
        int64_t v = arg.Integer();
        uint64_t magnitude;
        if (conv == 'd') {
          if (v < 0) out.push_back('-');
          magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        } else {
          magnitude = arg.Narrow() ? static_cast<uint32_t>(v) : static_cast<uint64_t>(v);
        }
        AppendDigits(out, magnitude, conv == 'x' ? 16 : 10,
                     precision > 0 ? static_cast<size_t>(precision) : 0);
        break;
      }
      default:
        Invalid(format);
    }
    if (width > 0) {
      size_t chars = CharCount(std::string_view(out).substr(start));
      if (chars < static_cast<size_t>(width)) {
        size_t pad = static_cast<size_t>(width) - chars;
        if (left) {
          out.append(pad, ' ');
        } else {
          out.insert(start, pad, ' ');
        }
      }
    }
  }
}

std::string Format(std::string_view format, TNwFmtArgs args) {
  std::string out;
  out.reserve(format.size() + 16);
  FormatTo(out, format, args);
  return out;
}

}  // namespace quorvex
