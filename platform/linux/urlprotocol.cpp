// The URL scheme's handler on a Linux desktop: a desktop entry of the user's naming this
// executable for x-scheme-handler/<scheme>, made the default in the user's mimeapps.list.
#include "platform/linux/urlprotocol.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/linux/paths.h"
#include "platform/process.h"
#include "platform/urlprotocol.h"

namespace quorvex::platform {
namespace {

namespace fs = std::filesystem;

// An XDG base folder: the variable when it holds an absolute path, else `fallback` in home.
std::string BaseDir(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return value;
  return HomeDir() + "/" + fallback;
}

// Written beside `path` and renamed over it, so that a reader never sees half a file.
bool WriteWhole(const fs::path& path, const std::string& text) {
  const fs::path part = path.string() + ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::error_code ignored;
      fs::remove(part, ignored);
      return false;
    }
  }
  std::error_code error, ignored;
  fs::rename(part, path, error);
  if (error) fs::remove(part, ignored);
  return !error;
}

// A link at `link` to `target`, replacing what an earlier install left there.
bool PointLink(const fs::path& link, const std::string& target) {
  const fs::path part = link.string() + ".part";
  std::error_code error;
  fs::remove(part, error);
  fs::create_symlink(target, part, error);
  if (!error) fs::rename(part, link, error);
  return !error;
}

// Quoted as the desktop entry format asks for an argument with reserved characters.
std::string QuotedArgument(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

// As a value of the entry file: backslashes doubled, a percent sign written twice.
std::string EntryValue(std::string_view text) {
  std::string value;
  for (char c : text) {
    if (c == '\\') value.push_back('\\');
    if (c == '%') value.push_back('%');
    value.push_back(c);
  }
  return value;
}

}  // namespace

std::string SchemeEntryName(const std::string& scheme) {
  return scheme + "Protocol.desktop";
}

bool PlainCommandPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  for (unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '.' || c == '_' || c == '-' || c == '+' || c == ',' ||
                       c == '@' || c >= 0x80;
    if (!plain) return false;
  }
  return true;
}

std::string SchemeEntryText(const std::string& scheme, const std::string& command,
                            bool with_argument) {
  std::string exec = PlainCommandPath(command) ? command : EntryValue(QuotedArgument(command));
  if (with_argument) exec += " %u";
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" +
         scheme +
         "Protocol\n"
         "Exec=" +
         exec +
         "\n"
         "MimeType=x-scheme-handler/" +
         scheme +
         ";\n"
         "NoDisplay=true\n"
         "Terminal=false\n";
}

std::string WithDefaultHandler(std::string_view mimeapps, const std::string& scheme,
                               const std::string& entry) {
  const std::string key = "x-scheme-handler/" + scheme + "=";
  const std::string line = key + entry;
  std::string out;
  bool in_defaults = false, section_seen = false, written = false;
  auto end_of_defaults = [&] {
    if (in_defaults && !written) {
      out += line + "\n";
      written = true;
    }
  };
  size_t start = 0;
  while (start < mimeapps.size()) {
    const size_t end = std::min(mimeapps.find('\n', start), mimeapps.size());
    const std::string_view current = mimeapps.substr(start, end - start);
    start = end + 1;
    if (current.starts_with("[")) {
      end_of_defaults();
      in_defaults = current == "[Default Applications]";
      section_seen = section_seen || in_defaults;
    } else if (in_defaults && current.starts_with(key)) {
      if (!written) out += line + "\n";
      written = true;
      continue;
    }
    out.append(current);
    out.push_back('\n');
  }
  end_of_defaults();
  if (!section_seen) {
    if (!out.empty() && out.substr(out.size() - 2) != "\n\n") out.push_back('\n');
    out += "[Default Applications]\n" + line + "\n";
  }
  return out;
}

bool RegisterUrlProtocol(const std::string& scheme, const std::string& executable,
                         bool with_argument) {
  const fs::path data = BaseDir("XDG_DATA_HOME", ".local/share");
  const fs::path config = BaseDir("XDG_CONFIG_HOME", ".config");
  const fs::path applications = data / "applications";
  std::error_code error;
  fs::create_directories(applications, error);
  if (error) return false;
  fs::create_directories(config, error);
  if (error) return false;

  // The shell-script opener cannot start a path with blanks or quotes: it is started through a
  // plain link of ours when there is a place for one.
  std::string command = executable;
  if (!PlainCommandPath(executable)) {
    const fs::path link = data / "quorvex" / (scheme + "-handler");
    if (PlainCommandPath(link.string())) {
      fs::create_directories(link.parent_path(), error);
      if (error || !PointLink(link, executable)) return false;
      command = link.string();
    } else {
      DebugOutput("no plain path for the " + scheme + " handler; the entry quotes " + executable);
    }
  }

  const std::string entry = SchemeEntryName(scheme);
  if (!WriteWhole(applications / entry, SchemeEntryText(scheme, command, with_argument))) {
    return false;
  }
  // A list kept elsewhere and linked here (as dotfile managers do) is written where it lives.
  fs::path mimeapps = config / "mimeapps.list";
  if (fs::is_symlink(mimeapps)) mimeapps = fs::canonical(mimeapps, error);
  if (error) return false;
  if (!WriteWhole(mimeapps, WithDefaultHandler(ReadAll(mimeapps.string()), scheme, entry)))
    return false;

  // Desktops that read the cache of handlers rather than the entries themselves.
  const QString refresh = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
  if (!refresh.isEmpty()) {
    QProcess tool;
    tool.start(refresh, {QStringLiteral("-q"), QString::fromStdString(applications.string())});
    tool.waitForFinished(10000);
  }
  return true;
}

}  // namespace quorvex::platform
