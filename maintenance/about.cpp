#include "maintenance/about.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

#include <cmath>
#include <stdexcept>

#include "common/format.h"

namespace quorvex {

namespace {

constexpr int kVersion = 8;
constexpr int kBandHeight = 97;

QFont PixelFont(const QString& family, int pixel_size, bool bold) {
  QFont font(family);
  font.setPixelSize(pixel_size);
  font.setBold(bold);
  return font;
}

QLabel* MakeLabel(QWidget* parent, const QFont& font, const QColor& colour, int top) {
  auto* label = new QLabel(parent);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  label->move(0, top);
  return label;
}

}  // namespace

std::string AboutProductLine(const INwI8n& strings) {
  return Format("%s V%d.0", {strings.i18n("RsQuorvexModule"), kVersion});
}

int CentredLeft(int outer_width, int label_width) {
  return static_cast<int>(std::nearbyint(outer_width * 0.5 - label_width * 0.5));
}

TFrmAbout::TFrmAbout(const INwI8n& strings, TShellOpen shell_open, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FStrings(strings),
      FShellOpen(std::move(shell_open)) {
  if (!FShellOpen) throw std::invalid_argument("TFrmAbout needs an opener for its links");
  setModal(true);
  setFixedSize(457, 241);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);
  QFont tahoma("Tahoma");
  tahoma.setPointSize(8);
  setFont(tahoma);

  Panel1 = new QWidget(this);
  Panel1->setGeometry(0, 0, width(), kBandHeight);
  Panel1->setAutoFillBackground(true);
  QPalette band = Panel1->palette();
  band.setColor(QPalette::Window, QColor(0, 120, 215));
  Panel1->setPalette(band);
  Image1 = new QLabel(Panel1);
  Image1->setGeometry(16, 10, 70, 78);
  Image1->setPixmap(
      QPixmap(":/logo.png").scaled(70, 78, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  Image1->setAlignment(Qt::AlignCenter);
  lblTitle = MakeLabel(Panel1, PixelFont("Microsoft YaHei UI", 32, true), Qt::white, 25);
  lblTitle->move(104, 25);

  const QColor text = palette.color(QPalette::WindowText);
  lblProduct = MakeLabel(this, PixelFont("Microsoft YaHei UI Light", 19, false), text, 120);
  lblCompany = MakeLabel(this, font(), text, 176);
  lblHaveProblem = MakeLabel(this, font(), text, 195);
  for (QLabel* link : {lblProduct, lblCompany, lblHaveProblem}) {
    link->setCursor(Qt::PointingHandCursor);
    link->installEventFilter(this);
  }
  FormCreate();
}

void TFrmAbout::FormCreate() {
  lblTitle->setText(QString::fromStdString(FStrings.i18n("RsProductTip")));
  lblProduct->setText(QString::fromStdString(AboutProductLine(FStrings)));
  lblCompany->setText(QString::fromStdString(FStrings.i18n("RsCompanyName")));
  lblHaveProblem->setText(QString::fromStdString(FStrings.i18n("RsHaveProblem")));
  setWindowTitle(QString::fromStdString(FStrings.i18n("RsAbout")));
  lblTitle->adjustSize();
  CentreLabels();
}

void TFrmAbout::CentreLabels() {
  const int outer = frameGeometry().width();
  for (QLabel* label : {lblProduct, lblCompany, lblHaveProblem}) {
    label->adjustSize();
    label->move(CentredLeft(outer, label->width()), label->y());
  }
}

void TFrmAbout::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreLabels();
}

void TFrmAbout::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  CentreLabels();
}

bool TFrmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == lblProduct || watched == lblCompany) {
      lblCompanyClick();
    } else if (watched == lblHaveProblem) {
      lblHaveProblemClick();
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TFrmAbout::lblCompanyClick() {
  FShellOpen(FStrings.i18n("RsProductURL"));
}

void TFrmAbout::lblHaveProblemClick() {
  FShellOpen(FStrings.i18n("RsContactMethod"));
}

}  // namespace quorvex
