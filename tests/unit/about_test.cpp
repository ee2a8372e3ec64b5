// The about window: its texts in both languages, the centring of its lower labels and where
// its links go.
#include "maintenance/about.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include "tests/support/checks_fakes.h"
#include "tests/support/offscreen_app.h"

namespace quorvex {
namespace {

class About : public ::testing::Test {
 protected:
  testing::OffscreenApp app_;
  std::vector<std::string> opened_;

  std::unique_ptr<TFrmAbout> Make(const std::string& language) {
    return std::make_unique<TFrmAbout>(
        testing::ShippedStrings(language),
        [this](const std::string& target) { opened_.push_back(target); }, nullptr);
  }
  static void Click(QLabel* label) {
    const QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, label->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, label->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(label, &press);
    QApplication::sendEvent(label, &release);
  }
};

TEST_F(About, ItNamesTheProductInEachLanguage) {
  const struct {
    const char *language, *caption, *title, *product, *company;
  } cases[] = {
      {"en-us", "About", "Corvane", "Quorvex module V8.0",
       "Belmar Information Technology Co., Ltd."},
      {"zh-cn", "关于", "Corvane - 轻松考试", "Quorvex V8.0", "Belmar信息技术有限公司"},
  };
  for (const auto& c : cases) {
    auto about = Make(c.language);
    EXPECT_EQ(about->windowTitle().toStdString(), c.caption);
    EXPECT_EQ(about->lblTitle->text().toStdString(), c.title);
    EXPECT_EQ(about->lblProduct->text().toStdString(), c.product);
    EXPECT_EQ(about->lblCompany->text().toStdString(), c.company);
    EXPECT_EQ(about->size(), QSize(457, 241));
    EXPECT_TRUE(about->isModal());
  }
}

TEST_F(About, TheLowerLabelsAreCentredByTheOuterWidthAndTheTitleStays) {
  auto about = Make("en-us");
  about->show();
  const int outer = about->frameGeometry().width();
  for (QLabel* label : {about->lblProduct, about->lblCompany, about->lblHaveProblem}) {
    EXPECT_EQ(label->x(), CentredLeft(outer, label->width())) << label->text().toStdString();
    EXPECT_GT(label->width(), 50) << "sized to its text";
  }
  EXPECT_EQ(about->lblTitle->pos(), QPoint(104, 25));
  EXPECT_EQ(about->lblProduct->y(), 120);
  EXPECT_EQ(about->lblCompany->y(), 176);
  EXPECT_EQ(about->lblHaveProblem->y(), 195);
}

TEST(AboutCentring, RoundsHalfToEven) {
  EXPECT_EQ(CentredLeft(457, 100), 178);  // 178.5
  EXPECT_EQ(CentredLeft(457, 98), 180);   // 179.5
  EXPECT_EQ(CentredLeft(465, 101), 182);
  EXPECT_EQ(CentredLeft(457, 500), -22);  // 21.5 to the left
}

TEST_F(About, TheProductAndCompanyOpenTheSiteAndTheProblemLineTheContact) {
  const struct {
    const char *language, *site, *contact;
  } cases[] = {
      {"en-us", "https://www.quorvex.com",
       "mailto:support@quorvex.com?subject=I want to ask questions about the Quorvex"},
      {"zh-cn", "https://www.quorvex.cn",
       "http://wpa.qq.com/msgrd?v=3&uin=3007218590&site=qq&menu=yes"},
  };
  for (const auto& c : cases) {
    opened_.clear();
    auto about = Make(c.language);
    Click(about->lblProduct);
    Click(about->lblCompany);
    Click(about->lblHaveProblem);
    Click(about->lblTitle);  // no link
    EXPECT_EQ(opened_, (std::vector<std::string>{c.site, c.site, c.contact})) << c.language;
  }
}

}  // namespace
}  // namespace quorvex
