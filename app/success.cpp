#include "app/success.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QScreen>

namespace quorvex {

TFrmSuccess::TFrmSuccess(const INwI8n& strings, std::string intro, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      FStrings(strings),
      FIntro(QByteArray::fromStdString(intro)),
      FIntroDevice(&FIntro) {
  setObjectName(QStringLiteral("FrmSuccess"));
  setFixedSize(654, 453);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  QFont tahoma("Tahoma");
  tahoma.setPointSize(8);
  setFont(tahoma);

  img1 = new QLabel(this);
  img1->setGeometry(0, 0, 650, 450);
  btnIknow = new QPushButton(this);
  btnIknow->setGeometry(240, 379, 145, 41);
  btnIknow->setDefault(true);
  connect(btnIknow, &QPushButton::clicked, this, &TFrmSuccess::btnIknowClick);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }
  FormCreate();
}

void TFrmSuccess::FormCreate() {
  setWindowTitle(QString::fromStdString(FStrings.i18n("RsInstalledSuccessfully")));
  btnIknow->setText(QString::fromStdString(FStrings.i18n("RsIKnow")));
  FMovie = new QMovie(&FIntroDevice, QByteArray("gif"), this);
  img1->setMovie(FMovie);
  FMovie->start();
}

void TFrmSuccess::btnIknowClick() {
  close();
}

}  // namespace quorvex
