// Message 0x436 of a window (DownloadFile): a PDF link that would open a new window is saved
// where the candidate says, fetched outside the browser, and a box tells how it ended.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "common/UrlDownLoad.h"
#include "common/language.h"

namespace quorvex {

// The file types of the message's wParam (its low byte); every sender sends 3.
inline constexpr int kFileTypePdf = 3;
struct TNwFileType {
  std::string Extension;
  // "Name|*.ext"
  std::string Filter;
};
std::optional<TNwFileType> FileTypeOf(int file_type);

struct TNwDownloadFileSetup {
  const INwI8n* Strings = nullptr;
  // Asks where to save: the proposed file name and the filter ("" for none); nullopt when the
  // candidate cancels. The path confirmed is used as it is (no overwrite prompt).
  std::function<std::optional<std::string>(const std::string& proposed, const std::string& filter)>
      AskSavePath;
  // Shows the box that ends a download and returns once it is closed; called on the download's
  // own thread.
  std::function<void(const std::string& text)> ShowResult;
  // What a request for a URL carries: the browser's User-Agent and its cookies for it.
  std::function<TNwDownloadRequest(const std::string& url)> Headers;
  // The popup window's dialog has no filter.
  bool WithFilter = true;
};

// Returns once the save path is known (or the dialog was cancelled); the transfer runs on.
void DownloadFile(const TNwDownloadFileSetup& setup, int file_type, const std::string& url);

}  // namespace quorvex
