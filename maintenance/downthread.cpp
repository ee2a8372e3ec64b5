#include "maintenance/downthread.h"

#include "common/UrlDownLoad.h"

namespace quorvex {

std::optional<int> UpgradePercent(int64_t done, int64_t size) {
  if (size <= 0) return std::nullopt;
  return static_cast<int>((done * 100 + size - 1) / size);
}

std::shared_ptr<TDownThread> TDownThread::Create(std::string url, std::string save_path,
                                                 std::function<void(int)> post_progress) {
  return std::shared_ptr<TDownThread>(
      new TDownThread(std::move(url), std::move(save_path), std::move(post_progress)));
}

TDownThread::TDownThread(std::string url, std::string save_path,
                         std::function<void(int)> post_progress)
    : FURL(std::move(url)),
      FSavePath(std::move(save_path)),
      FPostProgress(std::move(post_progress)),
      FResult(FEnded.get_future().share()) {}

void TDownThread::Start() {
  // The transfer holds this object until it has reported its end.
  auto self = shared_from_this();
  auto* transfer = new TFileDownLoadThread(
      FURL, FSavePath,
      [self](TFileDownLoadThread&, uint32_t done, uint32_t total) {
        self->HttpWorkBegin(total);
        self->HttpWork(done);
      },
      [self](TFileDownLoadThread&) { self->FEnded.set_value(true); },
      [self](TFileDownLoadThread&, int32_t) { self->FEnded.set_value(false); }, true,
      {.UserAgent = kUpgradeUserAgent, .FollowRedirects = false});
  transfer->Start();
}

bool TDownThread::WaitFor() {
  return FResult.get();
}

void TDownThread::HttpWorkBegin(int64_t size) {
  FWorkSize = size;
}

void TDownThread::HttpWork(int64_t done) {
  if (FWorkSize == 0 || !FPostProgress) return;
  if (const auto percent = UpgradePercent(done, FWorkSize)) FPostProgress(*percent);
}

}  // namespace quorvex
