// The demo exam site as the client and the end-to-end tests meet it: the real demo_server
// on a free port, spoken to over HTTP.
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <regex>
#include <thread>

#include "app/launch.h"
#include "tests/e2e/e2e_support.h"

namespace quorvex::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kExe = DEMO_SERVER_EXE;

std::optional<int> ExitCode(std::optional<int> status) {
  if (!status || !WIFEXITED(*status)) return std::nullopt;
  return WEXITSTATUS(*status);
}

class DemoSite : public ::testing::Test {
 protected:
  // Starts a server with its reports in the scratch folder (on stdout with to_file false)
  // and returns its port once it has announced it.
  int Start(std::vector<std::string> extra = {}, bool to_file = true) {
    std::vector<std::string> argv = {kExe};
    if (to_file) extra.insert(extra.end(), {"--report", ReportPath()});
    argv.insert(argv.end(), extra.begin(), extra.end());
    server_ =
        std::make_unique<e2e::Process>(argv, std::map<std::string, std::string>{}, dir_.path());
    static const std::regex announced(R"(listening on 127\.0\.0\.1:([0-9]+)\n)");
    std::smatch m;
    std::string out;
    const bool up = e2e::WaitFor(
        [&] {
          out = server_->Stdout();
          return std::regex_match(out, m, announced);
        },
        10s);
    if (!up) ADD_FAILURE() << "no port line; stdout: " << out << "\nstderr: " << server_->Stderr();
    return up ? std::stoi(m[1]) : 0;
  }

  std::string ReportPath() const { return dir_.path() + "reports.jsonl"; }

  static httplib::Result Get(int port, const std::string& path) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(40, 0);
    return client.Get(path.c_str());
  }

  e2e::ScratchDir dir_;
  std::unique_ptr<e2e::Process> server_;
};

TEST_F(DemoSite, StartPageLinksASignedLaunchTheClientAccepts) {
  const std::string args = "x=1 2&y=中 + / =";
  const int port = Start({"--eid", "e-7", "--args", args});
  ASSERT_NE(port, 0);

  auto page = Get(port, "/");
  ASSERT_TRUE(page);
  ASSERT_EQ(page->status, 200);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(page->body, m, std::regex(R"(id="start" href="([^"]*)\")")))
      << page->body;
  const std::string url = std::regex_replace(m[1].str(), std::regex("&amp;"), "&");

  const TNwLaunchCheck check = CheckLaunchUrl(url);
  ASSERT_EQ(check.Outcome, TNwLaunchOutcome::loAccepted) << url;
  EXPECT_EQ(check.Params.eid, "e-7");
  EXPECT_EQ(check.Params.domain, "127.0.0.1:" + std::to_string(port));
  EXPECT_EQ(check.Params.args, args);
  EXPECT_EQ(check.Params.proto, "http");

  EXPECT_EQ(e2e::Capture({kExe, "--print-url", "--port", std::to_string(port), "--eid", "e-7",
                          "--args", args}),
            url + "\n");
}

TEST_F(DemoSite, ExamPageShowsTheEidAndTheQueryAsRequested) {
  const int port = Start();
  ASSERT_NE(port, 0);
  const struct {
    const char* path;
    const char* title;
    const char* query;  // as the page holds it before its script runs
  } cases[] = {
      {"/doexam/x.html?a=1", "Demo exam x", "a=1"},
      {"/doexam/demo-1.html", "Demo exam demo-1", ""},
      {"/doexam/x.html?candidate=Demo%20Candidate&lang=en", "Demo exam x",
       "candidate=Demo%20Candidate&amp;lang=en"},
      // Markup in the address stays text.
      {"/doexam/%3Cb%3E.html?q=<i>", "Demo exam &lt;b&gt;", "q=&lt;i&gt;"},
  };
  for (const auto& c : cases) {
    auto page = Get(port, c.path);
    ASSERT_TRUE(page) << c.path;
    EXPECT_EQ(page->status, 200) << c.path;
    EXPECT_THAT(page->get_header_value("Content-Type"), StartsWith("text/html")) << c.path;
    EXPECT_THAT(page->body, HasSubstr(std::string("<title>") + c.title + "</title>")) << c.path;
    EXPECT_THAT(page->body, HasSubstr(std::string("<td id=\"query\">") + c.query + "</td>"))
        << c.path;
    EXPECT_THAT(page->body, Not(HasSubstr("<b>"))) << c.path;
    for (const char* id : {"args", "ua", "secure", "version", "ornt", "keys"}) {
      EXPECT_THAT(page->body, HasSubstr(std::string("id=\"") + id + "\"")) << c.path;
    }
  }
}

TEST_F(DemoSite, FailureModesAnswerAsTheTestsNeedThem) {
  const int port = Start();
  ASSERT_NE(port, 0);
  const struct {
    const char* path;
    int status;
    std::chrono::milliseconds at_least;
    const char* body;
  } cases[] = {
      {"/doexam/missing.html", 404, 0ms, "404"},
      {"/no/such/page", 404, 0ms, "404"},
      {"/doexam/a/b.html", 404, 0ms, "404"},
      {"/slow/400", 200, 400ms, "waited 400 ms"},
      {"/doexam/slow-400.html", 200, 400ms, "<title>Demo exam slow-400</title>"},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    auto res = Get(port, c.path);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path;
    EXPECT_THAT(res->body, HasSubstr(c.body)) << c.path;
    EXPECT_GE(took, c.at_least) << c.path;
  }
}

TEST_F(DemoSite, OffersAPopupPageAndDownloads) {
  const int port = Start();
  ASSERT_NE(port, 0);

  auto notes = Get(port, "/notes.html");
  ASSERT_TRUE(notes);
  EXPECT_EQ(notes->status, 200);
  EXPECT_THAT(notes->body, HasSubstr("<title>Demo notes</title>"));

  auto pdf = Get(port, "/files/sample.pdf");
  ASSERT_TRUE(pdf);
  EXPECT_EQ(pdf->status, 200);
  EXPECT_EQ(pdf->get_header_value("Content-Type"), "application/pdf");
  EXPECT_THAT(pdf->body, StartsWith("%PDF-"));
  EXPECT_THAT(pdf->body, EndsWith("%%EOF\n"));
  // The cross-reference table must point at the objects, or viewers reject the file.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(pdf->body, m, std::regex("startxref\n([0-9]+)\n")));
  EXPECT_EQ(pdf->body.compare(std::stoul(m[1]), 4, "xref"), 0);

  auto txt = Get(port, "/files/sample.txt");
  ASSERT_TRUE(txt);
  EXPECT_EQ(txt->status, 200);
  EXPECT_THAT(txt->get_header_value("Content-Disposition"), StartsWith("attachment"));
}

TEST_F(DemoSite, ReportsLandOneLineEach) {
  auto post = [](int port, const std::string& body) {
    httplib::Client client("127.0.0.1", port);
    auto res = client.Post("/report", body, "application/json");
    return res ? res->status : -1;
  };

  const int port = Start();
  ASSERT_NE(port, 0);
  EXPECT_EQ(post(port, R"({"eid":"x","keys":["a"]})"), 204);
  EXPECT_EQ(post(port, "{\"eid\":\"x\",\n\"keys\":[]}"), 204);
  const std::string expected = "{\"eid\":\"x\",\"keys\":[\"a\"]}\n{\"eid\":\"x\", \"keys\":[]}\n";
  EXPECT_TRUE(e2e::WaitFor([&] { return e2e::ReadFile(ReportPath()) == expected; }, 5s))
      << e2e::ReadFile(ReportPath());

  // Without a report file they follow the port line on stdout.
  const int second = Start({}, false);
  ASSERT_NE(second, 0);
  EXPECT_EQ(post(second, R"({"eid":"y"})"), 204);
  EXPECT_TRUE(e2e::WaitFor([&] { return server_->Stdout().ends_with("\n{\"eid\":\"y\"}\n"); }, 5s))
      << server_->Stdout();
}

TEST_F(DemoSite, EndsWithZeroOnSignalsEvenDuringASlowAnswer) {
  for (int sig : {SIGTERM, SIGINT}) {
    const int port = Start();
    ASSERT_NE(port, 0);
    // Asks for far more than the cap; the server waits 30 s at most.
    std::thread slow([port] { Get(port, "/slow/99999999999"); });
    EXPECT_TRUE(e2e::WaitFor(
        [&] { return server_->Stderr().find("waiting 30000 ms for /slow/") != std::string::npos; },
        10s))
        << server_->Stderr();
    kill(server_->pid(), sig);
    EXPECT_EQ(ExitCode(server_->WaitExit(5s)), 0) << "signal " << sig;
    slow.join();
  }
}

TEST_F(DemoSite, RefusesBadCommandLinesAndABusyPort) {
  const std::vector<std::vector<std::string>> bad = {
      {"--port", "70000"}, {"--port"},      {"--eid", "a&b"},
      {"--eid", ""},       {"--print-url"}, {"--bogus"},
  };
  for (const auto& args : bad) {
    std::vector<std::string> argv = {kExe};
    argv.insert(argv.end(), args.begin(), args.end());
    e2e::Process p(argv, {}, dir_.path());
    EXPECT_EQ(ExitCode(p.WaitExit(5s)), 2) << args[0];
    EXPECT_THAT(p.Stderr(), HasSubstr("usage:")) << args[0];
  }

  const int port = Start();
  ASSERT_NE(port, 0);
  e2e::Process second({kExe, "--port", std::to_string(port)}, {}, dir_.path());
  EXPECT_EQ(ExitCode(second.WaitExit(5s)), 1);
  EXPECT_THAT(second.Stderr(), HasSubstr("cannot listen"));
}

}  // namespace
}  // namespace quorvex::testing
