#include "framework/widgets/help.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "framework/widgets/dialog_items.h"
#include "platform/app_paths.h"
#include "platform/debug_log.h"

namespace {

std::string& FolderOverride() {
  static std::string folder;
  return folder;
}

class HelpWindow : public QWidget {
 public:
  HelpWindow() {
    setWindowTitle(QStringLiteral("Orativo Help"));
    setObjectName(QStringLiteral("OrativoHelp"));
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
    back_ = new QPushButton(QStringLiteral("&Back"), this);
    buttons->addWidget(contents);
    buttons->addWidget(back_);
    buttons->addStretch();
    layout->addLayout(buttons);
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_);
    connect(contents, &QPushButton::clicked, this, [] { DisplayHelpContents(); });
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    back_->setEnabled(false);
    resize(640, 520);
  }
  void Show(const std::string& file) {
    if (QFileInfo::exists(QString::fromStdString(file))) {
      browser_->setSource(QUrl::fromLocalFile(QString::fromStdString(file)));
      shown_ = file;
    } else {
      LDebugLog("DisplayHelp missing help page %s", file.c_str());
      browser_->setHtml(
          QStringLiteral("<h2>Help is not available</h2><p>The help page could not be found. "
                         "Reinstall Orativo to restore the help files.</p>"));
      shown_.clear();
    }
    show();
    raise();
    activateWindow();
  }
  std::string shown_;

 private:
  QTextBrowser* browser_;
  QPushButton* back_;
};

HelpWindow* Window(bool create) {
  static QPointer<HelpWindow> window;
  if (!window && create) {
    window = new HelpWindow;
    window->setAttribute(Qt::WA_QuitOnClose, false);
  }
  return window;
}

}  // namespace

std::string LHelpFolder() {
  if (!FolderOverride().empty()) return FolderOverride();
  return PlatformProgramFolder() + "/help";
}

void LSetHelpFolder(const std::string& folder) { FolderOverride() = folder; }

void DisplayHelpContents() { Window(true)->Show(LHelpFolder() + "/index.html"); }

void DisplayHelp(int topic) { Window(true)->Show(LHelpFolder() + "/" + std::to_string(topic) + ".html"); }

QWidget* LHelpWindow() { return Window(false); }

std::string LHelpShownFile() {
  HelpWindow* window = Window(false);
  return window ? window->shown_ : std::string();
}
