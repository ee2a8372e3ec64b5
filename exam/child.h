// The popup window: a top-level window of the client's own in which a popup of the exam page
// (a new-window link, window.open) opens. The exam window keeps one spare, prepared; it never
// opens further windows, and a PDF link that would open one is saved instead.
#pragma once

#include <QWidget>

#include <functional>
#include <string>

#include "exam/exampage.h"

class QWebEngineNewWindowRequest;
class QWebEngineProfile;
class QWebEngineView;

namespace quorvex {

// Position and size a page asked for its popup, each only when set.
struct TNwPopupFeatures {
  int X = 0, Y = 0, Width = 0, Height = 0;
  bool XSet = false, YSet = false, WidthSet = false, HeightSet = false;
};
struct TNwBox {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TNwBox&) const = default;
};
// The form's outer box once the features are applied: position clamped to the desktop, client
// width and height at least 100 (`frame_width`/`frame_height`: what the frame adds).
TNwBox PopupBounds(TNwBox form, int frame_width, int frame_height, const TNwPopupFeatures& features,
                   const TNwBox& desktop);

struct TNwChildFormSetup {
  QWebEngineProfile* Profile = nullptr;
  // Whom the popup's page obeys: as the exam page (its bridge's commands go nowhere).
  TNwExamPageTrust Trust;
  // Message 0x436 of `form`: saves a PDF link's target (no filter in the dialog).
  std::function<void(const std::string& url, QWidget* form)> DownloadFile;
};

class TChildForm final : public QWidget {
  Q_OBJECT

 public:
  TChildForm(TNwChildFormSetup setup, QWidget* owner);
  ~TChildForm() override;

  // Takes the popup of `request` into this form; answers whether it did.
  bool CreateClientHandler(QWebEngineNewWindowRequest& request);
  // Message 0x8A52: the features applied, then shown maximized.
  void ShowPopupForm();
  void ApplyPopupFeatures();

  bool ClientInitialized() const { return FClientInitialized; }
  bool Closing() const { return FClosing; }

  QWebEngineView* Panel1 = nullptr;

 signals:
  // Message 0x8A51: a form that took a popup is gone.
  void PopupFormDestroyed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Chromium1TitleChange(const QString& title);
  void Chromium1BeforePopup(QWebEngineNewWindowRequest& request);
  void Chromium1BeforeClose();

  TNwChildFormSetup FSetup;
  TNwExamPage* Chromium1 = nullptr;
  TNwPopupFeatures FPopupFeatures;
  bool FCanClose = false;
  bool FClosing = false;
  bool FClientInitialized = false;
};

}  // namespace quorvex
