#include "app/launch.h"

#include <openssl/evp.h>

#include "common/text.h"

namespace quorvex {
namespace {

LaunchParameters& Stored() {
  static LaunchParameters params;
  return params;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

const LaunchParameters& LaunchParameters::Get() {
  return Stored();
}
void LaunchParameters::Store(LaunchParameters params) {
  Stored() = std::move(params);
}

std::optional<std::vector<std::string>> SplitLaunchUrl(std::string_view url) {
  size_t first = url.find('?');
  if (first == std::string_view::npos) return std::nullopt;
  std::string_view query = url.substr(first + 1);
  query = query.substr(0, query.find('?'));
  std::vector<std::string> lines;
  for (std::string_view piece : SplitString(query, '&')) lines.emplace_back(piece);
  return lines;
}

std::optional<std::string> LaunchValue(const std::vector<std::string>& lines,
                                       std::string_view name) {
  const std::string wanted = LowerText(name);
  for (const std::string& line : lines) {
    size_t eq = line.find('=');
    // A line without "=" has no name.
    if (eq == std::string::npos) continue;
    if (LowerText(std::string_view(line).substr(0, eq)) == wanted) return line.substr(eq + 1);
  }
  return std::nullopt;
}

std::string EarlyValue(std::string_view argument, std::string_view name) {
  size_t at = argument.find(name);
  if (at == std::string_view::npos) return {};
  size_t start = at + name.size() + 1;
  size_t end = argument.find('&', at);
  if (end == std::string_view::npos) end = argument.size();
  if (start >= end) return {};
  return std::string(argument.substr(start, end - start));
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c != '%') {
      out.push_back(c);
    } else if (i + 1 < text.size() && text[i + 1] == '%') {
      out.push_back('%');
      ++i;
    } else {
      int hi = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
      int lo = hi >= 0 ? HexDigit(text[i + 2]) : -1;
      if (lo < 0) throw EDecodeError("malformed percent escape at " + std::to_string(i));
      out.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    }
  }
  return out;
}

std::string LenientBase64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3 / 4);
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    int v = Base64Value(c);
    if (v < 0) continue;
    bits = (bits << 6) | static_cast<uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>((bits >> count) & 0xFF));
    }
  }
  return out;
}

std::string DecodeLaunchArgs(std::string_view text) {
  std::string percent = PercentDecode(text);
  if (!IsValidUtf8(percent)) throw EDecodeError("args are not UTF-8 after percent-decoding");
  std::string decoded = LenientBase64Decode(percent);
  if (!IsValidUtf8(decoded) || decoded.find('\0') != std::string::npos) {
    throw EDecodeError("args do not decode to text");
  }
  return decoded;
}

std::string Sha1Hex(std::string_view text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &len, EVP_sha1(), nullptr) != 1) {
    throw std::runtime_error("SHA-1 digest failed");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(len * 2);
  for (unsigned int i = 0; i < len; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 0x0F]);
  }
  return hex;
}

TNwStartKind ClassifyCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.size() == 1 && SameText(arguments[0], "install")) return TNwStartKind::skInstall;
  if (arguments.empty()) return TNwStartKind::skNoArgument;
  for (const std::string& arg : arguments) {
    if (arg.starts_with("--type=")) return TNwStartKind::skSubProcess;
  }
  return TNwStartKind::skLaunch;
}

TNwLaunchCheck CheckLaunchUrl(std::string_view argument) {
  TNwLaunchCheck check;
  // Browsers hand the URL over percent-encoded; anything else is not a launch of ours.
  if (!IsValidUtf8(argument) || argument.find('\0') != std::string_view::npos) return check;
  if (!LowerText(argument).starts_with(kSchemePrefix)) return check;
  auto lines = SplitLaunchUrl(argument);
  if (!lines) return check;
  std::optional<std::string> token = LaunchValue(*lines, "token");
  if (!token) return check;

  LaunchParameters params;
  params.eid = LaunchValue(*lines, "eid").value_or("");
  params.domain = LaunchValue(*lines, "domain").value_or("");
  params.proto = LaunchValue(*lines, "proto").value_or("");
  try {
    params.args = DecodeLaunchArgs(LaunchValue(*lines, "args").value_or(""));
  } catch (const EDecodeError&) {
    return check;
  }
  if (params.proto.empty()) params.proto = kDefaultProto;
  if (LowerText(params.domain) == PlatformExamHost) params.proto = "https";

  std::string salted = params.eid + params.domain + std::string(kTokenSalt);
  if (Sha1Hex(salted) != *token) {
    check.Outcome = TNwLaunchOutcome::loInvalidToken;
    return check;
  }
  check.Outcome = TNwLaunchOutcome::loAccepted;
  check.Params = std::move(params);
  return check;
}

}  // namespace quorvex
