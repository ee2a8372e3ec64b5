#include "common/UrlDownLoad.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>
#include <utility>

#include "common/log.h"

namespace quorvex {
namespace {

// Leaves room for the temporary suffix within the 255 bytes of a file name.
constexpr size_t kMaxPendingStem = 200;

uint32_t Capped(int64_t bytes) {
  if (bytes <= 0) return 0;
  constexpr int64_t kMax = std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(bytes > kMax ? kMax : bytes);
}

// A value that would end the header line early or start another header.
bool BreaksHeader(const std::string& value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

// Inside a catch block: a callback's exception must not end the process from a thread.
void LogCallbackFailure(std::string_view which) {
  const std::string what = "download " + std::string(which) + " callback failed";
  try {
    throw;
  } catch (const std::exception& e) {
    GlobalLogWriter().Error(what + ": " + e.what(), "");
  } catch (...) {
    GlobalLogWriter().Error(what, "");
  }
}

// The body's temporary file beside the target, so that the rename stays on one file system.
// Removed unless it became the target.
class TPendingFile {
 public:
  explicit TPendingFile(const std::string& target) {
    const std::filesystem::path path(target);
    const std::string stem = path.filename().string().substr(0, kMaxPendingStem);
    FPath = (path.parent_path() / (stem + ".part-XXXXXX")).string();
    // Private until complete; no program the client starts inherits it.
    FFd = mkostemp(FPath.data(), O_CLOEXEC);
    FCreated = FFd >= 0;
  }
  ~TPendingFile() {
    if (FFd >= 0) close(FFd);
    if (FCreated && !FCommitted) unlink(FPath.c_str());
  }
  TPendingFile(const TPendingFile&) = delete;
  TPendingFile& operator=(const TPendingFile&) = delete;

  bool Created() const { return FCreated; }

  bool Write(const char* data, size_t size) {
    while (size > 0) {
      const ssize_t n = write(FFd, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  // Readable by all as any saved file, and on disk before the rename, so that a crash never
  // puts an empty file in place of the old target.
  bool Commit(const std::string& target) {
    if (fchmod(FFd, 0644) != 0 || fsync(FFd) != 0) return false;
    if (close(std::exchange(FFd, -1)) != 0) return false;
    if (rename(FPath.c_str(), target.c_str()) != 0) return false;
    FCommitted = true;
    return true;
  }

 private:
  std::string FPath;
  int FFd = -1;
  bool FCreated = false;
  bool FCommitted = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* file) {
  const size_t bytes = size * count;
  return static_cast<TPendingFile*>(file)->Write(data, bytes) ? bytes : 0;
}

int TransferInfo(void* monitor, curl_off_t download_total, curl_off_t download_now, curl_off_t,
                 curl_off_t) {
  // Nothing may unwind through libcurl.
  try {
    return static_cast<TDownLoadMonitor*>(monitor)->OnProgress(download_now, download_total) ? 1
                                                                                             : 0;
  } catch (...) {
    LogCallbackFailure("progress hand-over");
    return 1;
  }
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

bool TDownLoadMonitor::OnProgress(int64_t done, int64_t total) {
  FThread->ReportProgress(Capped(done), Capped(total));
  return FShouldAbort;
}

TFileDownLoadThread::TFileDownLoadThread(std::string source_url, std::string save_file_name,
                                         TDownLoadProcessEvent on_process,
                                         TDownLoadCompleteEvent on_complete,
                                         TDownLoadFailEvent on_fail, bool create_suspended,
                                         TNwDownloadRequest request, TNwSynchronize synchronize)
    : FSourceURL(std::move(source_url)),
      FSaveFileName(std::move(save_file_name)),
      FOnProcess(std::move(on_process)),
      FOnComplete(std::move(on_complete)),
      FOnFail(std::move(on_fail)),
      FRequest(std::move(request)),
      FSynchronize(std::move(synchronize)) {
  if (!create_suspended) Start();
}

void TFileDownLoadThread::Start() {
  if (FStarted.exchange(true)) return;
  std::thread([this] {
    Execute();
    delete this;
  }).detach();
}

void TFileDownLoadThread::Terminate() {
  FTerminated = true;
}

void TFileDownLoadThread::Execute() {
  TDownLoadMonitor monitor(*this);
  FMonitor = &monitor;
  int32_t code;
  try {
    code = Transfer();
  } catch (const std::bad_alloc&) {
    code = CURLE_OUT_OF_MEMORY;
  }
  try {
    if (code == CURLE_OK) {
      if (FOnComplete) FOnComplete(*this);
    } else if (FOnFail) {
      FOnFail(*this, code);
    }
  } catch (...) {
    LogCallbackFailure(code == CURLE_OK ? "completion" : "failure");
  }
  FMonitor = nullptr;
}

int32_t TFileDownLoadThread::Transfer() {
  if (BreaksHeader(FRequest.UserAgent) || BreaksHeader(FRequest.Cookie)) {
    return CURLE_BAD_FUNCTION_ARGUMENT;
  }
  if (FTerminated) return CURLE_ABORTED_BY_CALLBACK;
  InitCurlOnce();
  TPendingFile file(FSaveFileName);
  if (!file.Created()) return CURLE_WRITE_ERROR;

  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) return CURLE_FAILED_INIT;
  // A custom Cookie header, unlike CURLOPT_COOKIE, is not sent on to another host after a
  // redirect: the cookies belong to the first URL's site.
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> header_list(nullptr,
                                                                          curl_slist_free_all);
  if (!FRequest.Cookie.empty()) {
    header_list.reset(curl_slist_append(nullptr, ("Cookie: " + FRequest.Cookie).c_str()));
    if (!header_list) return CURLE_OUT_OF_MEMORY;
  }

  CURL* h = curl.get();
  CURLcode code = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (code == CURLE_OK) code = curl_easy_setopt(h, option, value);
  };
  set(CURLOPT_URL, FSourceURL.c_str());
  // Nothing but the web: a page must not have the client copy local files or speak other
  // protocols, neither directly nor by a redirect.
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  set(CURLOPT_HTTPGET, 1L);
  set(CURLOPT_FOLLOWLOCATION, FRequest.FollowRedirects ? 1L : 0L);
  set(CURLOPT_MAXREDIRS, 10L);
  set(CURLOPT_CONNECTTIMEOUT, 30L);
  set(CURLOPT_LOW_SPEED_LIMIT, 1L);
  set(CURLOPT_LOW_SPEED_TIME, 60L);
  set(CURLOPT_FAILONERROR, 1L);
  // Timeouts by alarm signals would hit the whole program.
  set(CURLOPT_NOSIGNAL, 1L);
  if (!FRequest.UserAgent.empty()) set(CURLOPT_USERAGENT, FRequest.UserAgent.c_str());
  if (header_list) set(CURLOPT_HTTPHEADER, header_list.get());
  set(CURLOPT_WRITEFUNCTION, &WriteBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(&file));
  set(CURLOPT_XFERINFOFUNCTION, &TransferInfo);
  set(CURLOPT_XFERINFODATA, static_cast<void*>(FMonitor));
  set(CURLOPT_NOPROGRESS, 0L);
  if (code != CURLE_OK) return code;

  code = curl_easy_perform(h);
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &FHttpStatus);
  // A redirect that was not followed has no file to give.
  if (code == CURLE_OK && FHttpStatus >= 300) code = CURLE_HTTP_RETURNED_ERROR;
  if (code == CURLE_OK && !file.Commit(FSaveFileName)) code = CURLE_WRITE_ERROR;
  return code;
}

void TFileDownLoadThread::ReportProgress(uint32_t done, uint32_t total) {
  // libcurl repeats the same numbers while it waits for data; those are handed over once.
  if (!FReported || done != FProgress || total != FProgressMax) {
    FReported = true;
    FProgress = done;
    FProgressMax = total;
    if (FSynchronize) {
      FSynchronize([this] { NotifyProgress(); });
    } else {
      NotifyProgress();
    }
  }
  if (FTerminated || FProcessFailed) FMonitor->FShouldAbort = true;
}

void TFileDownLoadThread::NotifyProgress() {
  if (!FOnProcess) return;
  // Runs on whatever thread the hand-over chose; an exception there ends the transfer only.
  try {
    FOnProcess(*this, FProgress, FProgressMax);
  } catch (...) {
    FProcessFailed = true;
    LogCallbackFailure("progress");
  }
}

}  // namespace quorvex
