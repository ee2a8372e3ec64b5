// The demo exam site on 127.0.0.1: a start page with a signed launch link, exam pages that
// report what they see, a popup, downloads, and failure modes for the tests.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>

#include "demo/launch_link.h"
#include "demo/site.h"

namespace {

using quorvex::demo::SignedLaunchUrl;

constexpr const char* kHost = "127.0.0.1";
constexpr int kMaxDelayMs = 30000;

struct Options {
  int port = 0;
  std::string eid = "demo-1";
  std::string args = "candidate=Demo Candidate&lang=en&paper=1";
  std::optional<std::string> report;
  bool print_url = false;
};

void Usage(std::ostream& out) {
  out << "usage: demo_server [--port N] [--eid ID] [--args TEXT] [--report FILE] [--print-url]\n"
         "  --port N       port on 127.0.0.1 (0, the default, picks a free one)\n"
         "  --eid ID       exam id of the start page's launch link (default demo-1)\n"
         "  --args TEXT    query text the exam page receives\n"
         "  --report FILE  append the pages' reports to FILE (default: stdout)\n"
         "  --print-url    print the signed launch link for --port and exit\n";
}

// The eid stands unencoded in the launch link and in a path, so it must be plain.
bool PlainEid(const std::string& eid) {
  static const std::regex plain("[A-Za-z0-9._~-]+");
  return std::regex_match(eid, plain);
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    if (arg == "--print-url") {
      o.print_url = true;
    } else if (arg == "--port" || arg == "--eid" || arg == "--args" || arg == "--report") {
      auto v = value();
      if (!v) {
        std::cerr << "demo_server: " << arg << " needs a value\n";
        return std::nullopt;
      }
      if (arg == "--port") {
        if (!std::regex_match(*v, std::regex("[0-9]{1,5}")) || std::stoi(*v) > 65535) {
          std::cerr << "demo_server: bad port " << *v << "\n";
          return std::nullopt;
        }
        o.port = std::stoi(*v);
      } else if (arg == "--eid") {
        o.eid = *v;
      } else if (arg == "--args") {
        o.args = *v;
      } else {
        o.report = *v;
      }
    } else {
      std::cerr << "demo_server: unknown argument " << arg << "\n";
      return std::nullopt;
    }
  }
  if (!PlainEid(o.eid)) {
    std::cerr << "demo_server: the eid may hold only A-Z a-z 0-9 . _ ~ -\n";
    return std::nullopt;
  }
  if (o.print_url && o.port == 0) {
    std::cerr << "demo_server: --print-url needs --port\n";
    return std::nullopt;
  }
  return o;
}

int DelayMs(const std::string& digits) {
  long long ms = 0;
  for (char c : digits) {
    ms = ms * 10 + (c - '0');
    if (ms >= kMaxDelayMs) return kMaxDelayMs;
  }
  return static_cast<int>(ms);
}

// Waits that long unless the server is stopping, so a slow request never holds up the exit.
class Stopper {
 public:
  void Wait(int ms) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
  }
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stopping_ = false;
};

class ReportSink {
 public:
  explicit ReportSink(std::optional<std::string> path) : path_(std::move(path)) {}
  void Append(std::string line) {
    for (char& c : line) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    std::lock_guard lock(mutex_);
    if (path_) {
      std::ofstream out(*path_, std::ios::app | std::ios::binary);
      out << line << '\n';
    } else {
      std::cout << line << std::endl;
    }
  }

 private:
  std::optional<std::string> path_;
  std::mutex mutex_;
};

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kOctets = "application/octet-stream";
constexpr size_t kMaxLargeFile = 64 * 1024 * 1024;

// Whether a Cookie header holds exactly that name=value pair.
bool HasCookie(const std::string& header, const std::string& pair) {
  size_t start = 0;
  while (start <= header.size()) {
    size_t end = header.find(';', start);
    if (end == std::string::npos) end = header.size();
    size_t first = header.find_first_not_of(' ', start);
    if (first < end && header.compare(first, end - first, pair) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    Usage(std::cerr);
    return 2;
  }
  if (options->print_url) {
    std::cout << SignedLaunchUrl(options->eid,
                                 std::string(kHost) + ":" + std::to_string(options->port),
                                 options->args)
              << std::endl;
    return 0;
  }

  // Blocked in every thread; one thread takes them with sigwait and stops the server.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  httplib::Server server;
  // Slow requests each hold a worker; leave room for several at once.
  server.new_task_queue = [] { return new httplib::ThreadPool(32); };
  server.set_keep_alive_timeout(1);
  // The library's default SO_REUSEPORT would let a second server share the port silently.
  // SO_REUSEADDR alone still lets a restarted server take its port back at once.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.set_payload_max_length(64 * 1024);

  int port = options->port;
  if (port == 0) {
    port = server.bind_to_any_port(kHost);
  } else if (!server.bind_to_port(kHost, port)) {
    port = -1;
  }
  if (port <= 0) {
    std::cerr << "demo_server: cannot listen on " << kHost << ":" << options->port << "\n";
    return 1;
  }
  const std::string launch_url =
      SignedLaunchUrl(options->eid, std::string(kHost) + ":" + std::to_string(port), options->args);

  Stopper stopper;
  ReportSink reports(options->report);

  // Logged before the wait, so a test knows the request is in flight.
  auto delay = [&](int ms, const httplib::Request& req) {
    std::cerr << "waiting " << ms << " ms for " << req.path << std::endl;
    stopper.Wait(ms);
  };
  server.Get("/", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(quorvex::demo::StartPage(launch_url), kHtml);
  });
  server.Get(R"(/doexam/([^/]+)\.html)", [&](const httplib::Request& req, httplib::Response& res) {
    const std::string eid = req.matches[1];
    if (eid == "missing") {
      res.status = 404;
      return;
    }
    std::smatch slow;
    if (std::regex_match(eid, slow, std::regex("slow-([0-9]+)"))) delay(DelayMs(slow[1]), req);
    const size_t mark = req.target.find('?');
    const std::string query = mark == std::string::npos ? "" : req.target.substr(mark + 1);
    res.set_content(quorvex::demo::ExamPage(eid, query), kHtml);
  });
  server.Get("/stranger.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(quorvex::demo::StrangerPage(), kHtml);
  });
  server.Get("/notes.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(quorvex::demo::NotesPage(), kHtml);
  });
  server.Get(R"(/files/(sample\.pdf|Sheet\.PDF))",
             [](const httplib::Request&, httplib::Response& res) {
               res.set_content(quorvex::demo::SamplePdf(), "application/pdf");
             });
  server.Get("/files/sample.txt", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Disposition", "attachment; filename=\"sample.txt\"");
    res.set_content(quorvex::demo::SampleText(), "text/plain; charset=utf-8");
  });
  // A file of n bytes (at most 64 MiB) whose byte i is (i * 31 + 7) & 0xFF, sent in pieces so
  // that a client sees it arrive: /files/large/<n> with its length, /files/chunked/<n> without
  // (chunked), /files/paced/<n> with its length and 100 ms between pieces of 16 KiB.
  server.Get(R"(/files/(large|chunked|paced)/([0-9]{1,9}))", [&](const httplib::Request& req,
                                                                 httplib::Response& res) {
    const std::string kind = req.matches[1];
    const size_t size = std::stoul(req.matches[2]);
    if (size > kMaxLargeFile) {
      res.status = 404;
      return;
    }
    if (size == 0) {
      res.set_content("", kOctets);
      return;
    }
    const size_t most = kind == "paced" ? 16 * 1024 : 64 * 1024;
    auto piece = [&stopper, kind, most](size_t offset, size_t length) {
      if (kind == "paced") stopper.Wait(100);
      std::string bytes(std::min(length, most), '\0');
      for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(((offset + i) * 31 + 7) & 0xFF);
      }
      return bytes;
    };
    if (kind == "chunked") {
      res.set_chunked_content_provider(
          kOctets, [piece, size, sent = size_t{0}](size_t, httplib::DataSink& sink) mutable {
            if (sent == size) {
              sink.done();
              return true;
            }
            const std::string bytes = piece(sent, size - sent);
            sent += bytes.size();
            return sink.write(bytes.data(), bytes.size());
          });
      return;
    }
    res.set_content_provider(size, kOctets,
                             [piece](size_t offset, size_t length, httplib::DataSink& sink) {
                               const std::string bytes = piece(offset, length);
                               return sink.write(bytes.data(), bytes.size());
                             });
  });
  // Only for the exam browser with the exam's session cookie.
  server.Get("/files/private.pdf", [](const httplib::Request& req, httplib::Response& res) {
    if (!HasCookie(req.get_header_value("Cookie"), "exam-session=granted") ||
        req.get_header_value("User-Agent").find("TvQdxBrowser") == std::string::npos) {
      res.status = 403;
      return;
    }
    res.set_content(quorvex::demo::SamplePdf(), "application/pdf");
  });
  // Redirects k times (at least once) before it reaches the rest of the path.
  server.Get(R"(/redirect/([0-9]{1,2})/(.*))", [](const httplib::Request& req,
                                                  httplib::Response& res) {
    const int left = std::stoi(req.matches[1]);
    const std::string rest = req.matches[2];
    res.set_redirect(left > 1 ? "/redirect/" + std::to_string(left - 1) + "/" + rest : "/" + rest);
  });
  server.Get(R"(/slow/([0-9]+))", [&](const httplib::Request& req, httplib::Response& res) {
    const int ms = DelayMs(req.matches[1]);
    delay(ms, req);
    res.set_content("waited " + std::to_string(ms) + " ms\n", "text/plain; charset=utf-8");
  });
  server.Post("/report", [&](const httplib::Request& req, httplib::Response& res) {
    reports.Append(req.body);
    res.status = 204;
  });
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.status == 404) res.set_content(quorvex::demo::NotFoundPage(), kHtml);
  });
  server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
    std::cerr << req.method << " " << req.target << " " << res.status << std::endl;
  });

  std::atomic<bool> finished = false;
  std::thread signal_thread([&] {
    int sig = 0;
    sigwait(&signals, &sig);
    stopper.Stop();
    // stop() does nothing until the server runs, and a signal may come just before.
    while (!finished) {
      server.stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });

  std::cout << "listening on " << kHost << ":" << port << std::endl;
  const bool served = server.listen_after_bind();
  finished = true;
  // Wakes the signal thread when the server failed by itself.
  if (!served) kill(getpid(), SIGTERM);
  signal_thread.join();
  return served ? 0 : 1;
}
