#include "common/text.h"

#include <QString>

namespace quorvex {
namespace {

bool IsAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

QString ToQ(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::string_view TrimLeft(std::string_view text) {
  size_t b = 0;
  while (b < text.size() && static_cast<unsigned char>(text[b]) <= 32) ++b;
  return text.substr(b);
}

std::string_view TrimRight(std::string_view text) {
  size_t e = text.size();
  while (e > 0 && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return text.substr(0, e);
}

std::string_view Trim(std::string_view text) {
  return TrimRight(TrimLeft(text));
}

std::string LowerText(std::string_view text) {
  if (IsAscii(text)) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
  }
  return ToQ(text).toLower().toStdString();
}

std::string UpperText(std::string_view text) {
  if (IsAscii(text)) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return out;
  }
  return ToQ(text).toUpper().toStdString();
}

bool SameText(std::string_view a, std::string_view b) {
  return LowerText(a) == LowerText(b);
}

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(bytes[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

std::vector<std::string_view> SplitString(std::string_view text, char sep) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (true) {
    size_t pos = text.find(sep, start);
    if (pos == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, pos - start));
    start = pos + 1;
  }
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

}  // namespace quorvex
