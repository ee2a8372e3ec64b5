#include "exam/examlogic.h"

#include <cctype>
#include <optional>

#include "common/format.h"
#include "common/text.h"

namespace quorvex {
namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t pos = text.find(from); pos != std::string::npos;
       pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
}

}  // namespace

std::string BuildExamUrl(const LaunchParameters& params) {
  return Format("%s://%s/doexam/%s.html?%s",
                {params.proto, params.domain, params.eid, params.args});
}

bool IsLaunchLink(std::string_view url) {
  return LowerText(url).starts_with(kSchemePrefix);
}

std::string BuildLoadErrorPage(std::string_view page_template, std::string_view style,
                               const INwI8n& strings, int error_code, std::string_view error_text,
                               std::string_view failed_url) {
  std::string page(page_template);
  ReplaceAll(page, "%style%", style);
  ReplaceAll(page, "%title%", strings.i18n("RsLoadErrorTitle"));
  ReplaceAll(page, "%tip%",
             Format("%s <br/>%d:%s",
                    {strings.i18n("RsLoadErrorTip"), error_code, HtmlEscape(error_text)}));
  ReplaceAll(page, "%action1href%", HtmlEscape(failed_url));
  ReplaceAll(page, "%action1%", strings.i18n("RsRetry"));
  ReplaceAll(page, "%action2href%", "javascript:window.quorvex.Close()");
  ReplaceAll(page, "%action2%", strings.i18n("RsClose"));
  return page;
}

namespace {

struct TNwUrlParts {
  std::string Scheme, Host, Port;
};

std::optional<TNwUrlParts> SplitAuthority(std::string_view url) {
  const size_t colon = url.find("://");
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  TNwUrlParts parts{LowerText(url.substr(0, colon)), "", ""};
  for (char ch : parts.Scheme) {
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '+' && ch != '-' && ch != '.') {
      return std::nullopt;
    }
  }
  std::string_view authority = url.substr(colon + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  size_t port_at = authority.starts_with('[') ? authority.find("]:") : authority.rfind(':');
  if (port_at != std::string_view::npos && authority.starts_with('[')) ++port_at;
  parts.Host = LowerText(authority.substr(0, port_at));
  if (port_at != std::string_view::npos) parts.Port = authority.substr(port_at + 1);
  if (parts.Host.empty()) return std::nullopt;
  if (parts.Port.empty()) {
    if (parts.Scheme == "http" || parts.Scheme == "ws") parts.Port = "80";
    if (parts.Scheme == "https" || parts.Scheme == "wss") parts.Port = "443";
  }
  return parts;
}

}  // namespace

std::string OriginOf(std::string_view url) {
  auto parts = SplitAuthority(url);
  if (!parts) return {};
  return parts->Scheme + "://" + parts->Host + (parts->Port.empty() ? "" : ":" + parts->Port);
}

std::string HostOf(std::string_view url_or_domain) {
  if (url_or_domain.find("://") == std::string_view::npos) {
    return HostOf("x://" + std::string(url_or_domain));
  }
  auto parts = SplitAuthority(url_or_domain);
  return parts ? parts->Host : std::string();
}

std::string ExamOrigin(const LaunchParameters& params) {
  return OriginOf(Format("%s://%s/", {params.proto, params.domain}));
}

TNwCloseStep CloseQuery(TNwCloseType close_type, bool& can_close, ILogWriter& log) {
  log.Info("Clicked close query", "");
  if (close_type == TNwCloseType::ctNone) {
    log.Info("close type in none, do not close", "");
    return TNwCloseStep::csRefuse;
  }
  log.Info("close type is %d, closing", {static_cast<int>(close_type)}, "");
  if (can_close) return TNwCloseStep::csClose;
  can_close = true;
  return TNwCloseStep::csTearDown;
}

}  // namespace quorvex
