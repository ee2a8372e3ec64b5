// The upgrade's download: the newest package fetched to a file on a thread of its own, its
// progress handed on as percentages.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

namespace quorvex {

// The upgrade server speaks to the program it always knew by this name.
inline constexpr char kUpgradeUserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";

// ceiling(done / size * 100); nullopt while the size is unknown (0).
std::optional<int> UpgradePercent(int64_t done, int64_t size);

class TDownThread : public std::enable_shared_from_this<TDownThread> {
 public:
  // `post_progress` runs on the download thread with each new percentage and hands it to the
  // window (message 0x7E9); it must not touch the window itself.
  static std::shared_ptr<TDownThread> Create(std::string url, std::string save_path,
                                             std::function<void(int)> post_progress);

  // GET with redirects refused; the body reaches `save_path` only whole.
  void Start();
  // Blocks until the download has ended, well or not; true when the file was written.
  bool WaitFor();

  const std::string& SavePath() const { return FSavePath; }

 private:
  TDownThread(std::string url, std::string save_path, std::function<void(int)> post_progress);
  void HttpWorkBegin(int64_t size);
  void HttpWork(int64_t done);

  std::string FURL;
  std::string FSavePath;
  std::function<void(int)> FPostProgress;
  // Written and read on the download thread only.
  int64_t FWorkSize = 0;
  std::promise<bool> FEnded;
  std::shared_future<bool> FResult;
};

}  // namespace quorvex
