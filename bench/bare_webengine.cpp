// The engine's own floor: a bare Qt WebEngine window that loads one page and says when.
#include <QApplication>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bare_webengine URL\n");
    return 2;
  }
  QApplication app(argc, argv);
  QWebEngineView view;
  QObject::connect(view.page(), &QWebEnginePage::loadingChanged,
                   [](const QWebEngineLoadingInfo& info) {
                     if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
                       std::printf("loaded url:%s\n", qPrintable(info.url().toString()));
                       std::fflush(stdout);
                     }
                   });
  view.resize(1294, 671);
  view.showMaximized();
  view.load(QUrl(QString::fromLocal8Bit(argv[1])));
  return app.exec();
}
