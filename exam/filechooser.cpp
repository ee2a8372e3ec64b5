#include "exam/filechooser.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "exam/chooserlogic.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace quorvex {

void TNwFileDialogCallback::Continue(int, const QStringList& file_paths) {
  Answer(file_paths);
}

void TNwFileDialogCallback::Cancel() {
  Answer({});
}

void TNwFileDialogCallback::Answer(QStringList files) {
  if (FAnswer) return;
  FAnswer = std::move(files);
  if (FLoop) FLoop->quit();
}

QStringList TNwFileDialogCallback::Wait() {
  if (!FAnswer) {
    QEventLoop loop;
    FLoop = &loop;
    loop.exec();
    FLoop = nullptr;
  }
  return FAnswer.value_or(QStringList());
}

TNwFileChooser::TNwFileChooser(const INwI8n& strings, QWidget* exam_window)
    : QWidget(exam_window), FStrings(strings) {
  setObjectName("pnlSelectFile");
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  hide();

  pnlContainer = new QWidget(this);
  pnlContainer->setObjectName("pnlContainer");
  pnlContainer->setStyleSheet("#pnlContainer { border: 1px inset gray; }");
  auto* column = new QVBoxLayout(pnlContainer);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(0);

  pnlTip = new QWidget(pnlContainer);
  pnlTip->setFixedHeight(35);
  lblSelectFileTip = new QLabel(pnlTip);
  QFont tip("Tahoma");
  tip.setPixelSize(13);
  tip.setBold(true);
  lblSelectFileTip->setFont(tip);
  auto* tip_row = new QHBoxLayout(pnlTip);
  tip_row->addWidget(lblSelectFileTip);
  column->addWidget(pnlTip);

  DriveComboBox1 = new QComboBox(pnlContainer);
  for (const std::string& folder : platform::MountedFolders()) {
    DriveComboBox1->addItem(QString::fromStdString(folder));
  }
  column->addWidget(DriveComboBox1);

  FDirectories = new QFileSystemModel(this);
  FDirectories->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  FFiles = new QFileSystemModel(this);
  // Every file, whatever the page said it accepts.
  FFiles->setFilter(QDir::Files);
  FFiles->setNameFilterDisables(false);

  auto* lists = new QHBoxLayout();
  lists->setSpacing(0);
  DirectoryListBox1 = new QTreeView(pnlContainer);
  DirectoryListBox1->setModel(FDirectories);
  DirectoryListBox1->setFixedWidth(219);
  DirectoryListBox1->setHeaderHidden(true);
  for (int column_index = 1; column_index < FDirectories->columnCount(); ++column_index) {
    DirectoryListBox1->hideColumn(column_index);
  }
  FileListBox1 = new QListView(pnlContainer);
  FileListBox1->setModel(FFiles);
  FileListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  FileListBox1->setUniformItemSizes(true);
  FileListBox1->setStyleSheet("QListView::item { height: 18px; }");
  lists->addWidget(DirectoryListBox1);
  lists->addWidget(FileListBox1);
  column->addLayout(lists, 1);

  pnlAction = new QWidget(pnlContainer);
  pnlAction->setFixedHeight(41);
  lblSelectedFile = new QLabel(pnlAction);
  lblSelectedFile->setFixedWidth(342);
  btnSelect = new QPushButton(pnlAction);
  btnSelect->setFixedSize(99, 25);
  btnSelect->setDefault(true);
  btnCancel = new QPushButton(pnlAction);
  btnCancel->setFixedSize(89, 25);
  auto* actions = new QHBoxLayout(pnlAction);
  actions->addWidget(lblSelectedFile);
  actions->addStretch(1);
  actions->addWidget(btnSelect);
  actions->addWidget(btnCancel);
  column->addWidget(pnlAction);

  // The lists fill in the background.
  connect(FFiles, &QFileSystemModel::directoryLoaded, this, [](const QString& path) {
    platform::DebugOutput("file list read: " + path.toStdString());
  });
  connect(DriveComboBox1, &QComboBox::activated, this, &TNwFileChooser::ChooseDrive);
  connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) SetDirectory(FDirectories->filePath(current));
          });
  connect(FileListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TNwFileChooser::FileListBox1Change);
  // Double click or Enter on a file picks it.
  connect(FileListBox1, &QListView::activated, this, &TNwFileChooser::btnSelectClick);
  connect(btnSelect, &QPushButton::clicked, this, &TNwFileChooser::btnSelectClick);
  connect(btnCancel, &QPushButton::clicked, this, &TNwFileChooser::btnCancelClick);
  for (QWidget* control :
       {static_cast<QWidget*>(DriveComboBox1), static_cast<QWidget*>(DirectoryListBox1),
        static_cast<QWidget*>(FileListBox1), static_cast<QWidget*>(btnSelect),
        static_cast<QWidget*>(btnCancel)}) {
    control->installEventFilter(this);
  }
}

bool TNwFileChooser::eventFilter(QObject* watched, QEvent* event) {
  // Enter presses Select wherever the focus is, as a default button does (Cancel when it has
  // the focus); Escape cancels.
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape ||
        ((key == Qt::Key_Return || key == Qt::Key_Enter) && watched == btnCancel)) {
      btnCancelClick();
      return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      btnSelectClick();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TNwFileChooser::ShowFileChooser() {
  if (!FLastCEFFileDialog) return;
  QWidget* window = parentWidget();
  setGeometry(window->rect());
  const TNwPlace place = ContainerPlace(window->width(), window->height());
  pnlContainer->setGeometry(place.Left, place.Top, kChooserWidth, kChooserHeight);
  btnSelect->setText(QString::fromStdString(FStrings.i18n("Select File")));
  btnCancel->setText(QString::fromStdString(FStrings.i18n("Cancel")));
  lblSelectFileTip->setText(QString::fromStdString(FStrings.i18n("RsPleaseChooseFile")));
  const QString documents = QString::fromStdString(platform::DocumentsDir());
  if (Directory() != documents) SetDirectory(documents);
  raise();
  show();
  FileListBox1->setFocus();
  emit VisibilityChanged(true);
}

void TNwFileChooser::ChooseDrive(int index) {
  if (index >= 0) SetDirectory(DriveComboBox1->itemText(index));
}

QString TNwFileChooser::Directory() const {
  return FDirectory;
}

void TNwFileChooser::SetDirectory(const QString& folder) {
  QString directory = folder.endsWith('/') ? folder : folder + '/';
  if (directory == FDirectory) return;
  FDirectory = directory;
  // The drive the folder is on: the longest mount point it starts with.
  int drive = 0;
  for (int i = 0; i < DriveComboBox1->count(); ++i) {
    const QString point = DriveComboBox1->itemText(i);
    if (directory.startsWith(point) && point.size() > DriveComboBox1->itemText(drive).size()) {
      drive = i;
    }
  }
  DriveComboBox1->setCurrentIndex(drive);
  const QString root = DriveComboBox1->itemText(drive);
  DirectoryListBox1->setRootIndex(FDirectories->setRootPath(root));
  const QModelIndex at = FDirectories->index(directory);
  {
    const QSignalBlocker quiet(DirectoryListBox1->selectionModel());
    DirectoryListBox1->setCurrentIndex(at);
  }
  DirectoryListBox1->scrollTo(at);
  DirectoryListBox1->expand(at);
  FileListBox1->setRootIndex(FFiles->setRootPath(directory));
  FileListBox1->selectionModel()->clear();
  FileListBox1->setCurrentIndex(QModelIndex());
  FileListBox1Change();
}

QString TNwFileChooser::CurrentPath() const {
  const QModelIndex current = FileListBox1->currentIndex();
  const QString name = current.isValid() ? FFiles->fileName(current) : QString();
  return QString::fromStdString(quorvex::CurrentPath(FDirectory.toStdString(), name.toStdString()));
}

void TNwFileChooser::FileListBox1Change() {
  lblSelectedFile->setText(CurrentPath());
}

void TNwFileChooser::btnSelectClick() {
  if (!FLastCEFFileDialog) return;
  FLastCEFFileDialog->Continue(0, {CurrentPath()});
  hide();
  emit VisibilityChanged(false);
}

void TNwFileChooser::btnCancelClick() {
  hide();
  emit VisibilityChanged(false);
  if (FLastCEFFileDialog) FLastCEFFileDialog->Cancel();
}

}  // namespace quorvex
