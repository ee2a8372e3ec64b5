// The signed tvqdx:// link with which an exam site starts the client.
#pragma once

#include <string>
#include <string_view>

namespace quorvex::demo {

// Standard alphabet with "=" fill.
std::string Base64Encode(std::string_view bytes);
// Every byte except A-Z a-z 0-9 "-" "." "_" "~" as "%XX".
std::string PercentEncode(std::string_view text);

// eid, domain and proto go in as they stand (the client reads them so); args travels as
// percent-encoded Base64 of its UTF-8 text.
std::string SignedLaunchUrl(std::string_view eid, std::string_view domain, std::string_view args,
                            std::string_view proto = "http");

}  // namespace quorvex::demo
