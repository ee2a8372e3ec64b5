// Downloads from the demo exam site on loopback, each on a thread of its own, into scratch
// folders.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "common/UrlDownLoad.h"
#include "tests/e2e/e2e_support.h"

namespace quorvex::testing {
namespace {

using namespace std::chrono_literals;

using TProgress = std::pair<uint32_t, uint32_t>;

// The demo site's /files/large/<n>.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
  return bytes;
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A gate a download thread waits at, with a deadline so that a fault fails the test rather
// than hanging it.
class TGate {
 public:
  void Open() {
    std::lock_guard lock(FLock);
    FOpen = true;
    FChanged.notify_all();
  }
  bool Pass(std::chrono::milliseconds deadline = 10s) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, deadline, [this] { return FOpen; });
  }

 private:
  std::mutex FLock;
  std::condition_variable FChanged;
  bool FOpen = false;
};

// What one download told its callbacks. Shared with them, so that a download outliving a
// failed test still writes somewhere valid.
struct TReports {
  std::mutex Lock;
  std::vector<TProgress> Progress;
  std::vector<std::thread::id> ProgressThreads;
  // Whether any progress came after the completion.
  bool ProgressAfterEnd = false;
  bool Completed = false;
  std::optional<int32_t> FailCode;
  long HttpStatus = 0;
  // The target's size as the completion callback found it.
  std::optional<uintmax_t> SizeAtCompletion;
};

struct TOptions {
  TNwDownloadRequest Headers;
  TNwSynchronize Synchronize;
  bool Suspended = false;
  bool WithProgress = true;
  // Runs in the progress callback after it has been recorded.
  TDownLoadProcessEvent AlsoOnProgress;
};

struct TDownload {
  std::shared_ptr<TReports> Reports = std::make_shared<TReports>();
  // Expires when the thread object has deleted itself with its callbacks.
  std::weak_ptr<void> Alive;
  // Valid only while the download is known to live (created suspended, or in a callback).
  TFileDownLoadThread* Thread = nullptr;

  bool Ended() const {
    std::lock_guard lock(Reports->Lock);
    return (Reports->Completed || Reports->FailCode) && Alive.expired();
  }
  // Until it reported its end and freed itself.
  bool WaitEnd(std::chrono::milliseconds deadline = 30s) const {
    return WaitFor([this] { return Ended(); }, deadline);
  }
};

TDownload StartDownload(const std::string& url, const std::string& file, TOptions options = {}) {
  TDownload d;
  auto alive = std::make_shared<int>(0);
  d.Alive = alive;
  auto reports = d.Reports;
  TDownLoadProcessEvent on_process;
  if (options.WithProgress) {
    on_process = [reports, alive, also = std::move(options.AlsoOnProgress)](
                     TFileDownLoadThread& thread, uint32_t done, uint32_t total) {
      {
        std::lock_guard lock(reports->Lock);
        reports->Progress.emplace_back(done, total);
        reports->ProgressThreads.push_back(std::this_thread::get_id());
        if (reports->Completed || reports->FailCode) reports->ProgressAfterEnd = true;
      }
      if (also) also(thread, done, total);
    };
  }
  auto on_complete = [reports, alive](TFileDownLoadThread& thread) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(thread.SaveFileName(), ec);
    std::lock_guard lock(reports->Lock);
    if (!ec) reports->SizeAtCompletion = size;
    reports->HttpStatus = thread.HttpStatus();
    reports->Completed = true;
  };
  auto on_fail = [reports, alive](TFileDownLoadThread& thread, int32_t code) {
    std::lock_guard lock(reports->Lock);
    reports->HttpStatus = thread.HttpStatus();
    reports->FailCode = code;
  };
  d.Thread = new TFileDownLoadThread(url, file, std::move(on_process), std::move(on_complete),
                                     std::move(on_fail), options.Suspended, options.Headers,
                                     options.Synchronize);
  return d;
}

// A main loop of the test's own: the download thread hands calls to it and waits until the
// test thread has run them.
class THandOver {
 public:
  void Run(const std::function<void()>& fn) {
    std::unique_lock lock(FLock);
    const uint64_t ticket = ++FQueued;
    FCalls.push_back(fn);
    FChanged.notify_all();
    FChanged.wait(lock, [&] { return FDone >= ticket; });
  }
  // Serves calls on the calling thread until `done` holds or `deadline` passes.
  bool ServeUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline = 30s) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
      std::unique_lock lock(FLock);
      if (std::chrono::steady_clock::now() > end) return false;
      if (FCalls.empty()) {
        FChanged.wait_for(lock, 10ms);
        continue;
      }
      std::function<void()> fn = std::move(FCalls.front());
      FCalls.pop_front();
      lock.unlock();
      fn();
      lock.lock();
      ++FDone;
      ++Served;
      FChanged.notify_all();
    }
    return true;
  }

  int Served = 0;  // on the serving thread only

 private:
  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<std::function<void()>> FCalls;
  uint64_t FQueued = 0, FDone = 0;
};

// A loopback port that refuses connections: bound, never listening.
class TDeadPort {
 public:
  TDeadPort() {
    FSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (FSocket < 0 || bind(FSocket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("no loopback socket");
    }
    Port = ntohs(address.sin_port);
  }
  ~TDeadPort() { close(FSocket); }
  int Port = 0;

 private:
  int FSocket = -1;
};

class FileDownLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = e2e::StartDemoServer(DEMO_SERVER_EXE, {}, server_dir_.path(), port_);
    ASSERT_NE(port_, 0) << "no port line; stderr: " << server_->Stderr();
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // A fresh empty folder for one case's files.
  std::string Folder(const std::string& name) {
    const std::string folder = files_.path() + name + "/";
    std::filesystem::create_directory(folder);
    return folder;
  }

  e2e::ScratchDir server_dir_;
  e2e::ScratchDir files_;
  std::unique_ptr<e2e::Process> server_;
  int port_ = 0;
};

TEST_F(FileDownLoad, WritesTheExactBytesThenCompletes) {
  const struct {
    const char* path;
    size_t size;
    std::string name;
    const char* old;  // the target's content before, if any
  } cases[] = {
      {"/files/large/100000", 100000, "plain.bin", nullptr},
      // Completion with nothing received still leaves the (empty) file.
      {"/files/large/0", 0, "empty.bin", nullptr},
      {"/redirect/10/files/large/5000", 5000, "redirected.bin", nullptr},
      {"/files/large/3000", 3000, "replaced.bin", "old content"},
      // No room in the name for a temporary suffix.
      {"/files/large/700", 700, std::string(255, 'n'), nullptr},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string folder = Folder(std::to_string(index++));
    const std::string target = folder + c.name;
    if (c.old) WriteFile(target, c.old);

    TDownload d = StartDownload(Url(c.path), target);
    ASSERT_TRUE(d.WaitEnd());
    std::lock_guard lock(d.Reports->Lock);
    EXPECT_TRUE(d.Reports->Completed);
    EXPECT_EQ(d.Reports->FailCode, std::nullopt);
    EXPECT_EQ(d.Reports->HttpStatus, 200);
    EXPECT_EQ(d.Reports->SizeAtCompletion, c.size) << "the file is in place at completion";
    EXPECT_TRUE(ReadFile(target) == Pattern(c.size)) << "wrong bytes";
    EXPECT_EQ(Names(folder), std::set<std::string>{c.name}) << "a temporary file stayed";
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
  }
}

TEST_F(FileDownLoad, FailsLeavingNoNewFileAndTheOldTargetIntact) {
  TDeadPort dead;
  const std::string refused = "http://127.0.0.1:" + std::to_string(dead.Port) + "/files/large/10";
  const struct {
    std::string url;
    const char* name;
    const char* old;
    int32_t code;
    long status;
  } cases[] = {
      {Url("/no/such/file"), "missing.bin", nullptr, CURLE_HTTP_RETURNED_ERROR, 404},
      {Url("/no/such/file"), "kept.bin", "old content", CURLE_HTTP_RETURNED_ERROR, 404},
      {refused, "refused.bin", nullptr, CURLE_COULDNT_CONNECT, 0},
      {refused, "kept.bin", "old content", CURLE_COULDNT_CONNECT, 0},
      {Url("/files/large/10"), "no-folder/x.bin", nullptr, CURLE_WRITE_ERROR, 0},
      // A target that is a folder cannot be replaced.
      {Url("/files/large/10"), "", nullptr, CURLE_WRITE_ERROR, 200},
      {Url("/redirect/11/files/large/10"), "loop.bin", nullptr, CURLE_TOO_MANY_REDIRECTS, 302},
      {"file:///etc/hostname", "local.bin", nullptr, CURLE_UNSUPPORTED_PROTOCOL, 0},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url + " -> " + c.name);
    const std::string folder = Folder(std::to_string(index++));
    const std::string target = folder + c.name;
    if (c.old) WriteFile(target, c.old);
    const std::set<std::string> before = Names(folder);

    TDownload d = StartDownload(c.url, target);
    ASSERT_TRUE(d.WaitEnd());
    std::lock_guard lock(d.Reports->Lock);
    EXPECT_FALSE(d.Reports->Completed);
    EXPECT_EQ(d.Reports->FailCode, c.code);
    EXPECT_EQ(d.Reports->HttpStatus, c.status);
    EXPECT_EQ(Names(folder), before);
    if (c.old) {
      EXPECT_EQ(ReadFile(target), c.old);
    }
  }
}

TEST_F(FileDownLoad, ReportsRisingProgressUpToTheTotalOnItsOwnThread) {
  constexpr uint32_t kSize = 8 * 1024 * 1024;
  const std::string target = Folder("large") + "large.bin";
  TDownload d = StartDownload(Url("/files/large/" + std::to_string(kSize)), target);
  ASSERT_TRUE(d.WaitEnd());

  std::lock_guard lock(d.Reports->Lock);
  ASSERT_TRUE(d.Reports->Completed);
  const std::vector<TProgress>& progress = d.Reports->Progress;
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), TProgress(kSize, kSize));
  int partial = 0;
  for (size_t i = 0; i < progress.size(); ++i) {
    const auto [done, total] = progress[i];
    if (total != 0) {
      EXPECT_EQ(total, kSize) << "report " << i;
    }
    if (done > 0 && done < kSize) ++partial;
    if (i == 0) continue;
    EXPECT_GE(done, progress[i - 1].first) << "report " << i;
    EXPECT_NE(progress[i], progress[i - 1]) << "the same numbers handed over twice";
  }
  EXPECT_GE(partial, 2) << "progress seen only at the ends";
  EXPECT_FALSE(d.Reports->ProgressAfterEnd);
  for (const std::thread::id id : d.Reports->ProgressThreads) {
    EXPECT_EQ(id, d.Reports->ProgressThreads.front());
    EXPECT_NE(id, std::this_thread::get_id());
  }
  EXPECT_TRUE(ReadFile(target) == Pattern(kSize)) << "wrong bytes";
}

TEST_F(FileDownLoad, TerminateOrAFailingProgressCallbackAbortsAndKeepsTheOldTarget) {
  enum class TStop { BeforeStart, DuringTransfer, ProgressThrows };
  const struct {
    TStop stop;
    const char* old;
  } cases[] = {
      {TStop::BeforeStart, nullptr},    {TStop::BeforeStart, "old content"},
      {TStop::DuringTransfer, nullptr}, {TStop::DuringTransfer, "old content"},
      {TStop::ProgressThrows, nullptr}, {TStop::ProgressThrows, "old content"},
  };
  const std::string url = Url("/files/large/" + std::to_string(8 * 1024 * 1024));
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(index);
    const std::string folder = Folder(std::to_string(index++));
    const std::string target = folder + "target.bin";
    if (c.old) WriteFile(target, c.old);
    const std::set<std::string> before = Names(folder);

    // The download waits in its first report of data until the test has asked it to stop, so
    // that it still lives when asked.
    auto reached = std::make_shared<TGate>();
    auto asked = std::make_shared<TGate>();
    auto stopped_at = std::make_shared<std::optional<size_t>>();
    TOptions options;
    options.Suspended = c.stop == TStop::BeforeStart;
    if (c.stop != TStop::BeforeStart) {
      options.AlsoOnProgress = [stop = c.stop, reached, asked, stopped_at](
                                   TFileDownLoadThread&, uint32_t done, uint32_t) {
        if (done == 0 || stopped_at->has_value()) return;
        *stopped_at = 0;
        if (stop == TStop::ProgressThrows) throw std::runtime_error("progress callback fails");
        reached->Open();
        asked->Pass();
      };
    }
    TDownload d = StartDownload(url, target, options);
    size_t reports_when_stopped = 0;
    if (c.stop == TStop::BeforeStart) {
      d.Thread->Terminate();
      d.Thread->Start();
    } else if (c.stop == TStop::DuringTransfer) {
      ASSERT_TRUE(reached->Pass());
      d.Thread->Terminate();
      {
        std::lock_guard lock(d.Reports->Lock);
        reports_when_stopped = d.Reports->Progress.size();
      }
      asked->Open();
    }
    ASSERT_TRUE(d.WaitEnd());

    std::lock_guard lock(d.Reports->Lock);
    EXPECT_FALSE(d.Reports->Completed);
    EXPECT_EQ(d.Reports->FailCode, CURLE_ABORTED_BY_CALLBACK);
    if (c.stop == TStop::BeforeStart) {
      EXPECT_THAT(d.Reports->Progress, ::testing::IsEmpty());
    }
    if (c.stop == TStop::DuringTransfer) {
      EXPECT_EQ(d.Reports->Progress.size(), reports_when_stopped) << "it went on after the stop";
    }
    EXPECT_EQ(Names(folder), before);
    if (c.old) {
      EXPECT_EQ(ReadFile(target), c.old);
    }
  }
}

TEST_F(FileDownLoad, SendsTheBrowsersUserAgentAndCookie) {
  httplib::Client client("127.0.0.1", port_);
  const auto sample = client.Get("/files/sample.pdf");
  ASSERT_TRUE(sample);
  ASSERT_EQ(sample->status, 200);

  const std::string browser = "Mozilla/5.0 (X11; Linux x86_64) Chrome/81.0 TvQdxBrowser/8";
  const struct {
    std::string user_agent;
    std::string cookie;
    int32_t code;  // CURLE_OK: completes
    long status;
  } cases[] = {
      {browser, "lang=en; exam-session=granted", CURLE_OK, 200},
      {browser, "exam-session=granted", CURLE_OK, 200},
      {"", "exam-session=granted", CURLE_HTTP_RETURNED_ERROR, 403},
      {browser, "", CURLE_HTTP_RETURNED_ERROR, 403},
      {browser, "exam-session=denied", CURLE_HTTP_RETURNED_ERROR, 403},
      // A value that would add a header of its own is refused before anything is sent.
      {browser, "a=1\r\nCookie: exam-session=granted", CURLE_BAD_FUNCTION_ARGUMENT, 0},
      {browser + "\nX-Extra: 1", "exam-session=granted", CURLE_BAD_FUNCTION_ARGUMENT, 0},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user_agent + " / " + c.cookie);
    const std::string folder = Folder(std::to_string(index++));
    const std::string target = folder + "private.pdf";
    TOptions options;
    options.Headers = {c.user_agent, c.cookie};
    TDownload d = StartDownload(Url("/files/private.pdf"), target, options);
    ASSERT_TRUE(d.WaitEnd());
    std::lock_guard lock(d.Reports->Lock);
    EXPECT_EQ(d.Reports->HttpStatus, c.status);
    if (c.code == CURLE_OK) {
      EXPECT_TRUE(d.Reports->Completed);
      EXPECT_TRUE(ReadFile(target) == sample->body) << "wrong bytes";
    } else {
      EXPECT_EQ(d.Reports->FailCode, c.code);
      EXPECT_THAT(Names(folder), ::testing::IsEmpty());
    }
  }
}

TEST_F(FileDownLoad, SeveralRunAtOnce) {
  constexpr int kCount = 4;
  // Each waits in its first report of data until all have reported data: one after another,
  // they would not meet.
  struct TMeeting {
    std::mutex Lock;
    std::condition_variable Arrived;
    int Count = 0;
  };
  auto meeting = std::make_shared<TMeeting>();
  auto all_met = std::make_shared<std::atomic<int>>(0);
  std::vector<TDownload> downloads;
  std::vector<std::string> targets;
  for (int i = 0; i < kCount; ++i) {
    targets.push_back(Folder("at-once") + std::to_string(i) + ".bin");
    TOptions options;
    options.AlsoOnProgress = [meeting, all_met, arrived = false](TFileDownLoadThread&,
                                                                 uint32_t done, uint32_t) mutable {
      if (done == 0 || arrived) return;
      arrived = true;
      std::unique_lock lock(meeting->Lock);
      ++meeting->Count;
      meeting->Arrived.notify_all();
      if (meeting->Arrived.wait_for(lock, 10s, [&] { return meeting->Count == kCount; })) {
        ++*all_met;
      }
    };
    downloads.push_back(StartDownload(Url("/files/large/" + std::to_string(1048576 + i)),
                                      targets.back(), std::move(options)));
  }
  for (int i = 0; i < kCount; ++i) {
    ASSERT_TRUE(downloads[i].WaitEnd()) << i;
    EXPECT_TRUE(downloads[i].Reports->Completed) << i;
    EXPECT_TRUE(ReadFile(targets[i]) == Pattern(1048576 + i)) << "wrong bytes in " << i;
  }
  EXPECT_EQ(all_met->load(), kCount);
}

TEST_F(FileDownLoad, HandsEveryProgressReportOverThroughTheSynchronizeFunction) {
  constexpr uint32_t kSize = 2 * 1024 * 1024;
  for (const bool with_progress : {true, false}) {
    SCOPED_TRACE(with_progress ? "with a progress callback" : "without one");
    auto loop = std::make_shared<THandOver>();
    TOptions options;
    options.WithProgress = with_progress;
    options.Synchronize = [loop](const std::function<void()>& fn) { loop->Run(fn); };
    const std::string target = Folder(with_progress ? "with" : "without") + "file.bin";
    TDownload d = StartDownload(Url("/files/large/" + std::to_string(kSize)), target, options);
    ASSERT_TRUE(loop->ServeUntil([&] { return d.Ended(); }));

    std::lock_guard lock(d.Reports->Lock);
    EXPECT_TRUE(d.Reports->Completed);
    EXPECT_GT(loop->Served, 0);
    if (with_progress) {
      EXPECT_EQ(loop->Served, static_cast<int>(d.Reports->Progress.size()));
      EXPECT_EQ(d.Reports->Progress.back(), TProgress(kSize, kSize));
      EXPECT_FALSE(d.Reports->ProgressAfterEnd) << "the download went on without waiting";
      for (const std::thread::id id : d.Reports->ProgressThreads) {
        EXPECT_EQ(id, std::this_thread::get_id());
      }
    }
  }
}

}  // namespace
}  // namespace quorvex::testing
