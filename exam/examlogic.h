// What the exam window decides, in plain values: the page address, the load-error page and
// whether a close may go ahead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/launch.h"
#include "common/language.h"
#include "common/log.h"

namespace quorvex {

// Why the exam window may close; without a reason every close is refused.
enum class TNwCloseType : uint8_t { ctNone = 0, ctAPI = 1, ctShutcut = 2, ctSys = 3 };

// "proto://domain/doexam/eid.html?args", nothing escaped.
std::string BuildExamUrl(const LaunchParameters& params);

// A launch link opened inside the exam window fails harmlessly and shows no error page.
bool IsLaunchLink(std::string_view url);

// The localized page shown in place of a main frame that failed to load. The failed URL and
// the error text are escaped where they enter the page.
std::string BuildLoadErrorPage(std::string_view page_template, std::string_view style,
                               const INwI8n& strings, int error_code, std::string_view error_text,
                               std::string_view failed_url);

// "scheme://host:port" of a URL, lower-cased, the port of http(s) and ws(s) made explicit;
// empty for a URL without a host (data:, about:blank, an opaque origin, a malformed text).
std::string OriginOf(std::string_view url);
// The host of a URL or of "host[:port]", lower-cased, without brackets' contents changed.
std::string HostOf(std::string_view url_or_domain);

// The exam's own origin, the only one the client obeys: the launch's proto://domain.
std::string ExamOrigin(const LaunchParameters& params);

enum class TNwCloseStep {
  csRefuse,    // no close reason: the window stays
  csTearDown,  // first pass: leave exam mode, hide, close popups and the browser; stay open
  csClose,     // second pass: the window closes and the program ends shortly after
};

// One close request. `can_close` is the window's FCanClose: set on the first pass.
TNwCloseStep CloseQuery(TNwCloseType close_type, bool& can_close, ILogWriter& log);

}  // namespace quorvex
