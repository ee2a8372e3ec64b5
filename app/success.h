// The window that `quorvex install` shows once the URL scheme is registered: an animation of
// how an exam starts, and a button that ends the program.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QWidget>

#include <string>

#include "common/language.h"

class QLabel;
class QMovie;
class QPushButton;

namespace quorvex {

class TFrmSuccess final : public QWidget {
  Q_OBJECT

 public:
  // `intro`: the animated picture (GIF data) in the language of the system.
  TFrmSuccess(const INwI8n& strings, std::string intro, QWidget* parent = nullptr);

  QLabel* img1 = nullptr;
  QPushButton* btnIknow = nullptr;

 private:
  void FormCreate();
  void btnIknowClick();

  const INwI8n& FStrings;
  QByteArray FIntro;
  QBuffer FIntroDevice;
  QMovie* FMovie = nullptr;
};

}  // namespace quorvex
