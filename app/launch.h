// The launch command: which kind of start an argument list asks for, and whether a launch
// URL carries a valid token.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

inline constexpr std::string_view kScheme = "tvqdx";
inline constexpr std::string_view kSchemePrefix = "tvqdx://invokedexam";
inline constexpr std::string_view kDefaultProto = "http";
// The platform's own exam host; its exams always use https.
inline constexpr std::string_view PlatformExamHost = "exam.quorvex.com";
inline constexpr std::string_view kTokenSalt = "Rk2=pWx8!mTqz";
inline constexpr std::string_view kInstanceMutexName = "qdxquorvex";

// The accepted launch; written once before any window exists.
struct LaunchParameters {
  std::string eid;
  std::string domain;
  std::string args;
  std::string proto;

  static const LaunchParameters& Get();
  static void Store(LaunchParameters params);
};

class EDecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The pairs of the query between the first and the second "?", one line each; nullopt when
// the text holds no "?".
std::optional<std::vector<std::string>> SplitLaunchUrl(std::string_view url);
// The value of the first line named `name` (without regard to case); nullopt when none.
std::optional<std::string> LaunchValue(const std::vector<std::string>& lines,
                                       std::string_view name);

// The value of `name` ("domain", "proto") read from the raw argument before it is parsed,
// for the browser runtime's command line.
std::string EarlyValue(std::string_view argument, std::string_view name);

// "%%" → "%", "%XX" → byte, "+" → blank. Throws EDecodeError on a malformed escape.
std::string PercentDecode(std::string_view text);
// Standard Base64; characters outside the alphabet are skipped, partial bytes dropped.
std::string LenientBase64Decode(std::string_view text);
// Percent, then Base64; throws EDecodeError when a step does not give UTF-8 text.
std::string DecodeLaunchArgs(std::string_view text);

// Lower-case hexadecimal SHA-1 of the text's UTF-8 bytes.
std::string Sha1Hex(std::string_view text);

enum class TNwStartKind {
  skInstall,     // "install" alone: register the URL scheme
  skNoArgument,  // tell the user to start from the exam page
  skSubProcess,  // the browser runtime's own helper process
  skLaunch,      // a launch URL to check
};
TNwStartKind ClassifyCommandLine(const std::vector<std::string>& arguments);

enum class TNwLaunchOutcome {
  loQuietEnd,      // not a launch URL, no token, undecodable arguments
  loInvalidToken,  // tell the user
  loAccepted,
};
struct TNwLaunchCheck {
  TNwLaunchOutcome Outcome = TNwLaunchOutcome::loQuietEnd;
  LaunchParameters Params;  // set when accepted
};
TNwLaunchCheck CheckLaunchUrl(std::string_view argument);

}  // namespace quorvex
