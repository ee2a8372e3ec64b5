#include "demo/launch_link.h"

#include <algorithm>
#include <cstdint>

#include "app/launch.h"

namespace quorvex::demo {

std::string Base64Encode(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k) {
      group <<= 8;
      if (k < n) group |= static_cast<unsigned char>(bytes[i + k]);
    }
    for (size_t k = 0; k < 4; ++k) {
      out.push_back(k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=');
    }
  }
  return out;
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
        b == '.' || b == '_' || b == '~') {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0xF]);
    }
  }
  return out;
}

std::string SignedLaunchUrl(std::string_view eid, std::string_view domain, std::string_view args,
                            std::string_view proto) {
  std::string signed_text;
  signed_text.append(eid).append(domain).append(kTokenSalt);
  std::string url(kSchemePrefix);
  url.append("?token=").append(Sha1Hex(signed_text));
  url.append("&eid=").append(eid);
  url.append("&domain=").append(domain);
  url.append("&args=").append(PercentEncode(Base64Encode(args)));
  url.append("&proto=").append(proto);
  return url;
}

}  // namespace quorvex::demo
