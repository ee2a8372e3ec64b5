// The engine's own floor: a bare Qt WebEngine window that loads one page and says when. With
// a folder as second argument its profile keeps cache and storage there, as the client's does.
#include <QApplication>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bare_webengine URL [STORAGE_FOLDER]\n");
    return 2;
  }
  QApplication app(argc, argv);
  QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
  if (argc > 2) {
    profile = new QWebEngineProfile(QStringLiteral("bare"), &app);
    profile->setCachePath(QString::fromLocal8Bit(argv[2]) + "/cache");
    profile->setPersistentStoragePath(QString::fromLocal8Bit(argv[2]) + "/data");
  }
  QWebEngineView view;
  auto* page = new QWebEnginePage(profile, &view);
  view.setPage(page);
  QObject::connect(page, &QWebEnginePage::loadingChanged, [](const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
      std::printf("loaded url:%s\n", qPrintable(info.url().toString()));
      std::fflush(stdout);
    }
  });
  view.resize(1294, 671);
  view.show();
  // Maximized as the client's window is: a request made before the window manager has the
  // window on the screen is lost.
  QTimer::singleShot(0, &view, [&view] { view.setWindowState(Qt::WindowMaximized); });
  view.load(QUrl(QString::fromLocal8Bit(argv[1])));
  return app.exec();
}
