// The upgrade window: fetches the newest package of the client, shows how far it got, then has
// the desktop install it with the administrator's rights. The running client stays as it is.
#pragma once

#include <QDialog>

#include <memory>
#include <string>

#include "common/language.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace quorvex {

class TDownThread;

class TFrmUpgrade final : public QDialog {
  Q_OBJECT

 public:
  // `url`: where the newest package is ("RsUpgradeURL" of the string table in the program);
  // `temp_dir`: where it is saved, ending with '/'.
  TFrmUpgrade(const INwI8n& strings, std::string url, std::string temp_dir, QWidget* owner);

  // Message 0x7E9: the download's percentage.
  void downloadProgress(int percent);

  // The file the package goes to (empty when no temporary file could be made).
  const std::string& Target() const { return FDest; }

  QLabel* lblTip = nullptr;
  QProgressBar* pb1 = nullptr;
  QPushButton* btnCancel = nullptr;

 private:
  void FormCreate();
  void btnCancelClick();

  const INwI8n& FStrings;
  std::string FURL;
  std::string FTempDir;
  std::string FDest;
  std::shared_ptr<TDownThread> FDownThread;
};

}  // namespace quorvex
