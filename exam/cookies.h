// The browser's cookies as a download outside the browser needs them: kept as the engine adds
// and removes them, and the Cookie header a request for a URL carries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

struct TNwCookie {
  std::string Name, Value;
  // A leading dot: the domain and its subdomains; none: that host only.
  std::string Domain;
  std::string Path = "/";
  bool Secure = false;
};

class TNwCookieJar {
 public:
  // Replaces a cookie of the same name, domain and path.
  void Add(TNwCookie cookie);
  void Remove(const TNwCookie& cookie);
  // "name=value; name2=value2" of the cookies that go with a request for `url`, longer paths
  // first; empty when none does.
  std::string HeaderFor(std::string_view url) const;

 private:
  std::vector<TNwCookie> FCookies;
};

}  // namespace quorvex
