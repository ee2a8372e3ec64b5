// A download of one URL to one file on a thread of its own, fetched with libcurl. No widget
// here: callers hand whatever the callbacks show to the GUI thread themselves.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace quorvex {

class TFileDownLoadThread;

// Bytes received and expected (0 while unknown), both capped at 4 GiB - 1.
using TDownLoadProcessEvent =
    std::function<void(TFileDownLoadThread& thread, uint32_t progress, uint32_t progress_max)>;
using TDownLoadCompleteEvent = std::function<void(TFileDownLoadThread& thread)>;
// `code` is always a CURLcode: an HTTP status of 400 or more gives CURLE_HTTP_RETURNED_ERROR
// (HttpStatus() tells which; a redirect that is not followed gives it too), a target that cannot be
// written CURLE_WRITE_ERROR, Terminate() CURLE_ABORTED_BY_CALLBACK, a header with a line break
// CURLE_BAD_FUNCTION_ARGUMENT.
using TDownLoadFailEvent = std::function<void(TFileDownLoadThread& thread, int32_t code)>;

// What the request carries besides the URL: the browser's User-Agent and the Cookie header of
// the browser's cookies for that URL (both may be empty, then not sent); and whether redirects
// are followed (at most 10) or end the download as a failure.
struct TNwDownloadRequest {
  std::string UserAgent;
  std::string Cookie;
  bool FollowRedirects = true;
};

// Runs the progress hand-over on the GUI thread and waits for it (RunOnMainThreadSync fits);
// when empty, the progress callback runs on the download thread itself.
using TNwSynchronize = std::function<void(const std::function<void()>&)>;

// The progress-callback object of a running transfer; lives on the download thread.
class TDownLoadMonitor {
 public:
  explicit TDownLoadMonitor(TFileDownLoadThread& thread) : FThread(&thread) {}

  // Called by libcurl's transfer-info callback; true aborts the transfer.
  bool OnProgress(int64_t done, int64_t total);

  bool FShouldAbort = false;
  TFileDownLoadThread* FThread;  // not owned
};

// Only http and https, redirects included when asked. The body goes to a temporary file
// beside the target that replaces the target only once complete: a failed download leaves
// no new file and an existing target as it was.
class TFileDownLoadThread {
 public:
  // Created with `new`; it deletes itself when its thread ends (after the completion or
  // failure callback has returned). Starts at once unless `create_suspended` (then Start()).
  // The completion and failure callbacks run on the download thread.
  TFileDownLoadThread(std::string source_url, std::string save_file_name,
                      TDownLoadProcessEvent on_process, TDownLoadCompleteEvent on_complete,
                      TDownLoadFailEvent on_fail, bool create_suspended,
                      TNwDownloadRequest request = {}, TNwSynchronize synchronize = {});
  TFileDownLoadThread(const TFileDownLoadThread&) = delete;
  TFileDownLoadThread& operator=(const TFileDownLoadThread&) = delete;

  // A second call does nothing.
  void Start();
  // Asks the transfer to stop: the next progress notification aborts it, and it ends through
  // the failure callback. Asked before the transfer begins, it never connects. Only while the
  // thread lives, e.g. from a callback or before the completion or failure callback returns.
  void Terminate();

  const std::string& SourceURL() const { return FSourceURL; }
  const std::string& SaveFileName() const { return FSaveFileName; }
  // The last response's HTTP status (0 when none came); for the completion and failure
  // callbacks.
  long HttpStatus() const { return FHttpStatus; }

 private:
  friend class TDownLoadMonitor;

  ~TFileDownLoadThread() = default;
  void Execute();
  int32_t Transfer();
  // On the download thread: stores the numbers, hands NotifyProgress over and waits, then
  // turns a pending Terminate() into the monitor's abort.
  void ReportProgress(uint32_t done, uint32_t total);
  void NotifyProgress();

  std::string FSourceURL;
  std::string FSaveFileName;
  uint32_t FProgress = 0;
  uint32_t FProgressMax = 0;
  TDownLoadProcessEvent FOnProcess;
  TDownLoadCompleteEvent FOnComplete;
  TDownLoadFailEvent FOnFail;
  TDownLoadMonitor* FMonitor = nullptr;  // set only while the transfer runs
  TNwDownloadRequest FRequest;
  TNwSynchronize FSynchronize;
  long FHttpStatus = 0;
  bool FReported = false;
  bool FProcessFailed = false;
  std::atomic<bool> FStarted{false};
  std::atomic<bool> FTerminated{false};
};

}  // namespace quorvex
