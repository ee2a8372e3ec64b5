// The in-window file chooser: the exam window's own panel, laid over the page, that answers the
// page's file requests (an upload field) so that the engine never opens a window of its own.
#pragma once

#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>

#include "common/language.h"

class QComboBox;
class QEventLoop;
class QFileSystemModel;
class QLabel;
class QListView;
class QPushButton;
class QTreeView;

namespace quorvex {

// One file request of the page, answered once: with paths, or cancelled.
class TNwFileDialogCallback {
 public:
  void Continue(int selected_accept_filter, const QStringList& file_paths);
  void Cancel();
  // Runs the window's events until the request is answered; the paths, empty when cancelled.
  QStringList Wait();

 private:
  void Answer(QStringList files);

  std::optional<QStringList> FAnswer;
  QEventLoop* FLoop = nullptr;
};

class TNwFileChooser final : public QWidget {
  Q_OBJECT

 public:
  TNwFileChooser(const INwI8n& strings, QWidget* exam_window);

  // The request being answered; each new one replaces it.
  std::shared_ptr<TNwFileDialogCallback> FLastCEFFileDialog;

  // Message 0x438: over the whole window, the container centred once, the documents folder.
  void ShowFileChooser();
  void btnSelectClick();
  void btnCancelClick();
  void FileListBox1Change();

  // The folder the lists show, ending with '/'.
  QString Directory() const;
  void SetDirectory(const QString& folder);
  // The highlighted file's full path; empty when none is.
  QString CurrentPath() const;

  QWidget* pnlContainer = nullptr;
  QWidget* pnlTip = nullptr;
  QLabel* lblSelectFileTip = nullptr;
  QComboBox* DriveComboBox1 = nullptr;
  QTreeView* DirectoryListBox1 = nullptr;
  QListView* FileListBox1 = nullptr;
  QWidget* pnlAction = nullptr;
  QLabel* lblSelectedFile = nullptr;
  QPushButton* btnSelect = nullptr;
  QPushButton* btnCancel = nullptr;

 signals:
  // Shown or hidden: the keyboard goes to the panel and back to the page.
  void VisibilityChanged(bool shown);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ChooseDrive(int index);

  const INwI8n& FStrings;
  QFileSystemModel* FDirectories = nullptr;
  QFileSystemModel* FFiles = nullptr;
  QString FDirectory;
};

}  // namespace quorvex
