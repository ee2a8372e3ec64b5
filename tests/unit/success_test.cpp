// The install window: its texts, its picture in the system's language, and its button.
#include "app/success.h"

#include <QLabel>
#include <QMovie>
#include <QPushButton>

#include <gtest/gtest.h>

#include "common/resources.h"
#include "tests/support/checks_fakes.h"
#include "tests/support/offscreen_app.h"

namespace quorvex {
namespace {

TEST(Success, EachLanguageHasItsOwnAnimationOfAboutFiftyFrames) {
  testing::OffscreenApp app;
  const auto english = LoadResource("INTROGIF", 1033);
  const auto chinese = LoadResource("INTROGIF", 2052);
  ASSERT_TRUE(english && chinese);
  EXPECT_NE(*english, *chinese);
  // A language without a picture of its own gets the English one.
  EXPECT_EQ(LoadResource("INTROGIF", 1041), english);
  for (const std::string* gif : {&*english, &*chinese}) {
    TFrmSuccess form(testing::ShippedStrings("en-us"), *gif);
    const QMovie* movie = form.img1->movie();
    ASSERT_NE(movie, nullptr);
    EXPECT_TRUE(movie->isValid());
    EXPECT_EQ(movie->state(), QMovie::Running);
    EXPECT_GE(movie->frameCount(), 40);
    EXPECT_LE(movie->frameCount(), 60);
    EXPECT_EQ(movie->currentImage().size(), QSize(650, 450));
  }
}

TEST(Success, TextsAndLayoutAndTheButtonCloses) {
  testing::OffscreenApp app;
  const struct {
    const char *language, *caption, *button;
  } cases[] = {{"en-us", "Installed Successfully", "OK"}, {"zh-cn", "安装成功", "好的"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    TFrmSuccess form(testing::ShippedStrings(c.language), *LoadResource("INTROGIF", 1033));
    EXPECT_EQ(form.windowTitle().toStdString(), c.caption);
    EXPECT_EQ(form.btnIknow->text().toStdString(), c.button);
    EXPECT_EQ(form.size(), QSize(654, 453));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.img1->geometry(), QRect(0, 0, 650, 450));
    EXPECT_EQ(form.btnIknow->geometry(), QRect(240, 379, 145, 41));
    form.show();
    ASSERT_TRUE(form.isVisible());
    form.btnIknow->click();
    EXPECT_FALSE(form.isVisible());
  }
}

}  // namespace
}  // namespace quorvex
