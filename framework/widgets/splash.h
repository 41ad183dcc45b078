#pragma once
// The splash window shown when the tutor window opens, the About box, and
// opening a page of the maker's web site.
#include <QPointer>
#include <functional>
#include <string>

#include "framework/widgets/dialog.h"
#include "platform/program_version.h"

class QPainter;
class QWidget;

constexpr char kMakerName[] = "Kestrelon";
constexpr char kMakerWebSite[] = "https://www.kestrelon.com";
constexpr char kProgramTitle[] = "Orativo";

class LSplashAboutBase {
 public:
  static constexpr int kSplashMs = 7000;
  // Size of the picture (bitmap resource 1).
  static QSize PictureSize();
  // Draws picture, name, version and the distributor block; the About box
  // adds a line along the bottom edge.
  void Paint(QPainter& painter, const QSize& client) const;
  bool about_ = false;
};

class LSplashScreen : public LSplashAboutBase {
 public:
  ~LSplashScreen();
  void Display(QWidget* owner);
  QWidget* Window() const { return window_; }

 private:
  QPointer<QWidget> window_;
};

class LAboutBox : public LDialog, public LSplashAboutBase {
 public:
  static constexpr int kWebButton = 101;
  static constexpr int kPicture = 999;
  LAboutBox() { about_ = true; }
  int Run(QWidget* owner) { return DoModal(Template(), owner); }
  static const LDialogTemplate& Template();
  void InitDialog() override;
  void EvCommand(int id, int notifyCode) override;
};

// Opens kMakerWebSite + "/" + name + ".html" in the user's browser.
void OpenWebPage(const std::string& name);
// Tests see the address instead of a browser opening.
void LSetWebPageHook(std::function<void(const std::string& address)> hook);
