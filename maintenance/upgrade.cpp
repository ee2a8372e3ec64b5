#include "maintenance/upgrade.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <thread>

#include "common/log.h"
#include "maintenance/downthread.h"
#include "platform/files.h"
#include "platform/process.h"

namespace quorvex {

namespace {

// SW_SHOWNORMAL.
constexpr int kShowNormal = 1;

}  // namespace

TFrmUpgrade::TFrmUpgrade(const INwI8n& strings, std::string url, std::string temp_dir,
                         QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FStrings(strings),
      FURL(std::move(url)),
      FTempDir(std::move(temp_dir)) {
  setModal(true);
  setFixedSize(642, 144);
  lblTip = new QLabel(this);
  lblTip->setGeometry(48, 18, 545, 20);
  pb1 = new QProgressBar(this);
  pb1->setGeometry(48, 46, 545, 25);
  pb1->setRange(0, 100);
  pb1->setValue(0);
  btnCancel = new QPushButton(this);
  btnCancel->setGeometry(480, 92, 113, 36);
  connect(btnCancel, &QPushButton::clicked, this, &TFrmUpgrade::btnCancelClick);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }
  FormCreate();
}

void TFrmUpgrade::FormCreate() {
  setWindowTitle(QString::fromStdString(FStrings.i18n("RsUpgadeTool")));
  lblTip->setText(QString::fromStdString(FStrings.i18n("RsUpgradeDownloadingTip")));
  btnCancel->setText(QString::fromStdString(FStrings.i18n("RsCancel")));

  const std::string tmp = platform::NewTempFileName(FTempDir, "tmp");
  if (tmp.empty()) {
    GlobalLogWriter().Error("upgrade: no temporary file in " + FTempDir + ", nothing downloaded",
                            "");
    return;
  }
  // The empty ".tmp" stays: it keeps the name taken.
  FDest = tmp + ".deb";

  // Progress reaches the window by a hand-over to its thread; after the window has gone it is
  // dropped.
  QPointer<TFrmUpgrade> window(this);
  FDownThread = TDownThread::Create(FURL, FDest, [window](int percent) {
    QMetaObject::invokeMethod(
        qApp,
        [window, percent] {
          if (window) window->downloadProgress(percent);
        },
        Qt::QueuedConnection);
  });
  FDownThread->Start();

  // Waits for the download, then has the desktop install what came; a download that failed
  // leaves nothing to install, and asking for the administrator's password would be for
  // nothing.
  std::thread([download = FDownThread, dest = FDest] {
    if (!download->WaitFor()) {
      platform::DebugOutput("upgrade download failed, nothing started");
      return;
    }
    if (platform::RunElevatedAndWait(dest, "", kShowNormal) == -1) {
      GlobalLogWriter().Warn("upgrade: the installation of " + dest + " could not be started", "");
    }
  }).detach();
}

void TFrmUpgrade::downloadProgress(int percent) {
  pb1->setValue(std::clamp(percent, 0, 100));
}

void TFrmUpgrade::btnCancelClick() {
  reject();
}

}  // namespace quorvex
