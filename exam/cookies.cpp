#include "exam/cookies.h"

#include <algorithm>

#include "common/text.h"

namespace quorvex {

namespace {

bool SameCookie(const TNwCookie& a, const TNwCookie& b) {
  return a.Name == b.Name && SameText(a.Domain, b.Domain) && a.Path == b.Path;
}

struct TNwUrlParts {
  bool Https = false;
  std::string Host, Path;
};

TNwUrlParts Split(std::string_view url) {
  TNwUrlParts parts;
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return parts;
  parts.Https = LowerText(std::string(url.substr(0, scheme_end))) == "https";
  std::string_view rest = url.substr(scheme_end + 3);
  const size_t path_start = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, path_start);
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority = authority.substr(at + 1);
  }
  if (authority.starts_with("[")) {
    authority = authority.substr(0, authority.find(']') + 1);
  } else if (const size_t colon = authority.find(':'); colon != std::string_view::npos) {
    authority = authority.substr(0, colon);
  }
  parts.Host = LowerText(std::string(authority));
  std::string_view path =
      path_start == std::string_view::npos ? std::string_view("/") : rest.substr(path_start);
  path = path.substr(0, path.find_first_of("?#"));
  parts.Path = path.empty() ? "/" : std::string(path);
  return parts;
}

bool DomainMatches(const std::string& cookie_domain, const std::string& host) {
  const std::string domain = LowerText(cookie_domain);
  if (!domain.starts_with(".")) return domain == host;
  const std::string bare = domain.substr(1);
  return host == bare || host.ends_with(domain);
}

bool PathMatches(const std::string& cookie_path, const std::string& path) {
  if (path == cookie_path) return true;
  return path.starts_with(cookie_path) &&
         (cookie_path.ends_with("/") || path[cookie_path.size()] == '/');
}

}  // namespace

void TNwCookieJar::Add(TNwCookie cookie) {
  Remove(cookie);
  FCookies.push_back(std::move(cookie));
}

void TNwCookieJar::Remove(const TNwCookie& cookie) {
  std::erase_if(FCookies, [&](const TNwCookie& kept) { return SameCookie(kept, cookie); });
}

std::string TNwCookieJar::HeaderFor(std::string_view url) const {
  const TNwUrlParts parts = Split(url);
  if (parts.Host.empty()) return {};
  std::vector<const TNwCookie*> sent;
  for (const TNwCookie& cookie : FCookies) {
    if (cookie.Secure && !parts.Https) continue;
    if (!DomainMatches(cookie.Domain, parts.Host) || !PathMatches(cookie.Path, parts.Path)) {
      continue;
    }
    sent.push_back(&cookie);
  }
  std::stable_sort(sent.begin(), sent.end(), [](const TNwCookie* a, const TNwCookie* b) {
    return a->Path.size() > b->Path.size();
  });
  std::string header;
  for (const TNwCookie* cookie : sent) {
    if (!header.empty()) header += "; ";
    header += cookie->Name + "=" + cookie->Value;
  }
  return header;
}

}  // namespace quorvex
