#include "exam/examlogic.h"

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

TCloseStep CloseQuery(TNwCloseType close_type, bool& can_close, ILogWriter& log) {
  log.Info("Clicked close query", "");
  if (close_type == TNwCloseType::ctNone) {
    log.Info("close type in none, do not close", "");
    return TCloseStep::Refuse;
  }
  log.Info("close type is %d, closing", {static_cast<int>(close_type)}, "");
  if (can_close) return TCloseStep::Close;
  can_close = true;
  return TCloseStep::TearDown;
}

}  // namespace quorvex
