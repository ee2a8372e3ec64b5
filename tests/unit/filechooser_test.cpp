// The chooser panel as a widget: where it sits, what its buttons answer and what it keeps.
#include "exam/filechooser.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/checks_fakes.h"
#include "tests/support/offscreen_app.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wait.h"

namespace quorvex {
namespace {

using namespace std::chrono_literals;

class FileChooser : public ::testing::Test {
 protected:
  testing::OffscreenApp app_;
  testing::ScratchDir home_;
  QWidget window_;
  std::unique_ptr<TNwFileChooser> chooser_;

  void SetUp() override {
    std::filesystem::create_directories(home_.path() + "Documents/sub");
    std::ofstream(home_.path() + "Documents/a.txt") << "a";
    std::ofstream(home_.path() + "Documents/b.png") << "bb";
    qputenv("HOME", home_.path().c_str());
    qputenv("XDG_CONFIG_HOME", (home_.path() + "none").c_str());
    std::filesystem::create_directories(home_.path() + "none");
    std::ofstream(home_.path() + "none/user-dirs.dirs")
        << "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n";
    window_.resize(1281, 1025);
    chooser_ = std::make_unique<TNwFileChooser>(testing::ShippedStrings("en-us"), &window_);
    window_.show();
  }

  // Asks as the page does; the panel comes up with the documents folder.
  std::shared_ptr<TNwFileDialogCallback> Ask() {
    auto callback = std::make_shared<TNwFileDialogCallback>();
    chooser_->FLastCEFFileDialog = callback;
    chooser_->ShowFileChooser();
    return callback;
  }
  // Highlights `name` once the folder has been read.
  void Highlight(const QString& name) {
    QListView* list = chooser_->FileListBox1;
    ASSERT_TRUE(testing::WaitFor(
        [&] {
          QCoreApplication::processEvents();
          return list->model()->rowCount(list->rootIndex()) == 2;
        },
        10s));
    for (int row = 0; row < 2; ++row) {
      const QModelIndex index = list->model()->index(row, 0, list->rootIndex());
      if (index.data().toString() == name) list->setCurrentIndex(index);
    }
  }
  // The answer the page gets, once the panel's buttons have had their say.
  static QStringList Answer(const std::shared_ptr<TNwFileDialogCallback>& callback,
                            const std::function<void()>& press) {
    QTimer::singleShot(0, press);
    return callback->Wait();
  }
};

TEST_F(FileChooser, ItCoversTheWindowWithTheContainerCentredOnceAndTheDocumentsListed) {
  Ask();
  EXPECT_TRUE(chooser_->isVisible());
  EXPECT_EQ(chooser_->geometry(), window_.rect());
  EXPECT_EQ(chooser_->pnlContainer->geometry(), QRect(340, 288, 600, 450));
  EXPECT_EQ(chooser_->btnSelect->text(), "Select File");
  EXPECT_EQ(chooser_->btnCancel->text(), "Cancel");
  EXPECT_FALSE(chooser_->lblSelectFileTip->text().isEmpty());
  EXPECT_EQ(chooser_->Directory().toStdString(), home_.path() + "Documents/");
  EXPECT_EQ(chooser_->DriveComboBox1->itemText(0), "/");
  // A resize leaves the container where it was placed.
  window_.resize(800, 600);
  EXPECT_EQ(chooser_->pnlContainer->geometry(), QRect(340, 288, 600, 450));
}

TEST_F(FileChooser, SelectAnswersOnePathAndCancelACancellation) {
  auto first = Ask();
  Highlight("b.png");  // every file is listed, whatever the page accepts
  EXPECT_EQ(chooser_->lblSelectedFile->text().toStdString(), home_.path() + "Documents/b.png");
  EXPECT_EQ(Answer(first, [&] { chooser_->btnSelect->click(); }),
            QStringList{QString::fromStdString(home_.path() + "Documents/b.png")});
  EXPECT_FALSE(chooser_->isVisible());

  // Opened again on the same folder: the highlight and its label are kept.
  auto second = Ask();
  EXPECT_EQ(chooser_->lblSelectedFile->text().toStdString(), home_.path() + "Documents/b.png");
  EXPECT_TRUE(Answer(second, [&] { chooser_->btnCancel->click(); }).isEmpty());
  EXPECT_FALSE(chooser_->isVisible());

  // Another folder, nothing highlighted: one empty path.
  chooser_->SetDirectory(QString::fromStdString(home_.path() + "Documents/sub"));
  auto third = Ask();
  EXPECT_EQ(chooser_->lblSelectedFile->text(), "");
  EXPECT_EQ(Answer(third, [&] { chooser_->btnSelect->click(); }), QStringList{""});
}

TEST_F(FileChooser, ARequestIsAnsweredOnceAndAButtonWithoutOneDoesNothing) {
  chooser_->btnSelectClick();  // no request yet
  EXPECT_FALSE(chooser_->isVisible());
  auto callback = Ask();
  callback->Cancel();
  callback->Continue(0, {"/late"});
  EXPECT_TRUE(callback->Wait().isEmpty()) << "the first answer stands";
}

}  // namespace
}  // namespace quorvex
