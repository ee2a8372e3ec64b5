// The about window: product and version, the exam platform and the company, and two links (the
// web site and the support contact) handed to the desktop's opener.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "common/language.h"

class QLabel;

namespace quorvex {

// The product line: the module's name and the version, "%s V%d.0".
std::string AboutProductLine(const INwI8n& strings);

// A label's left edge that centres it in a window of `outer_width` (borders included), rounded
// to the nearest pixel, half to even.
int CentredLeft(int outer_width, int label_width);

class TFrmAbout final : public QDialog {
  Q_OBJECT

 public:
  using TShellOpen = std::function<void(const std::string& target)>;
  // `shell_open` opens the links.
  TFrmAbout(const INwI8n& strings, TShellOpen shell_open, QWidget* owner);

  QWidget* Panel1 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* lblTitle = nullptr;
  QLabel* lblProduct = nullptr;
  QLabel* lblCompany = nullptr;
  QLabel* lblHaveProblem = nullptr;

  void lblCompanyClick();
  void lblHaveProblemClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void FormCreate();
  // The lower labels centred by the window's outer width, which the window manager's frame
  // makes known only once the window is on the screen.
  void CentreLabels();

  const INwI8n& FStrings;
  TShellOpen FShellOpen;
};

}  // namespace quorvex
