// A widget application on Qt's offscreen platform, for tests of widgets without a display.
#pragma once

#include <QApplication>

namespace quorvex::testing {

class OffscreenApp {
 private:
  struct TPlatform {
    TPlatform() { qputenv("QT_QPA_PLATFORM", "offscreen"); }
  } FPlatform;
  int FArgc = 1;
  char FArg0[11] = "unit_tests";
  char* FArgv[2] = {FArg0, nullptr};
  QApplication FApp{FArgc, FArgv};
};

}  // namespace quorvex::testing
