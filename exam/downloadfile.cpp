#include "exam/downloadfile.h"

#include "common/mainthread.h"

namespace quorvex {

std::optional<TNwFileType> FileTypeOf(int file_type) {
  if ((file_type & 0xFF) == kFileTypePdf) return TNwFileType{".pdf", "PDF|*.pdf"};
  return std::nullopt;
}

void DownloadFile(const TNwDownloadFileSetup& setup, int file_type, const std::string& url) {
  const std::optional<TNwFileType> type = FileTypeOf(file_type);
  if (!type || !setup.AskSavePath) return;
  const std::string proposed = setup.Strings->i18n("RsPleaseEnterFileNameHere") + type->Extension;
  const std::optional<std::string> path =
      setup.AskSavePath(proposed, setup.WithFilter ? type->Filter : "");
  if (!path || path->empty()) return;
  const INwI8n* strings = setup.Strings;
  auto show = setup.ShowResult;
  new TFileDownLoadThread(
      url, *path, nullptr,
      [strings, show, saved = *path](TFileDownLoadThread&) {
        if (show) show(strings->i18nf("RsDownloadSuccessFully", {saved}));
      },
      [strings, show](TFileDownLoadThread&, int32_t) {
        if (show) show(strings->i18n("RsDownloadFail"));
      },
      false, setup.Headers ? setup.Headers(url) : TNwDownloadRequest{},
      [](const std::function<void()>& notify) { RunOnMainThreadSync(notify); });
}

}  // namespace quorvex
