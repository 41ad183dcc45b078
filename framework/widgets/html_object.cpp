#include "framework/widgets/html_object.h"

#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

#include "platform/debug_log.h"

namespace {
constexpr qint64 kMaxPageBytes = 4 << 20;
}  // namespace

LHTMLObject::~LHTMLObject() { Destroy(); }

void LHTMLObject::Create(QWidget* window) {
  if (!window) return;
  if (!created_) {
    created_ = true;
    browser_ = new QTextBrowser(window);
    browser_->setObjectName(QStringLiteral("LHTMLObject"));
    browser_->setOpenLinks(false);
    browser_->setFrameShape(QFrame::NoFrame);
  } else if (!browser_) {
    LDebugLog("LGIFHost::Create called when pUnknown is NULL");
    return;
  }
  host_ = window;
  browser_->setParent(window);
  browser_->setGeometry(window->contentsRect());
  browser_->show();
}

void LHTMLObject::Nagivate(const std::string& address) {
  if (!created_) {
    LDebugLog("LHTMLObject::Nagivate called before Create or after Destroy!");
    return;
  }
  if (!browser_) {
    LDebugLog("LGIFHost::Navigate unable to find IID_IWebBrowser");
    return;
  }
  address_ = address.substr(0, kMaxAddress);
  QString text = QString::fromStdString(address_);
  QUrl url = text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(text);
  if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) {
    LDebugLog("LHTMLObject::Nagivate no such page %s", address_.c_str());
    browser_->clear();
    return;
  }
  if (!url.isLocalFile()) {
    // The view shows local pages only; web pages open in the user's browser.
    LDebugLog("LHTMLObject::Nagivate not a local page %s", address_.c_str());
    browser_->clear();
    return;
  }
  // The page and its pictures are rewritten under the same names, so the
  // view reads them afresh each time instead of from its cache.
  QFile file(url.toLocalFile());
  if (!file.open(QIODevice::ReadOnly)) {
    LDebugLog("LHTMLObject::Nagivate unable to read %s", address_.c_str());
    browser_->clear();
    return;
  }
  QByteArray page = file.read(kMaxPageBytes);
  browser_->clear();
  browser_->document()->setBaseUrl(url);
  browser_->setHtml(QString::fromUtf8(page));
}

void LHTMLObject::EvSize() {
  if (browser_ && host_) browser_->setGeometry(host_->contentsRect());
}

void LHTMLObject::Destroy() {
  delete browser_.data();
  browser_ = nullptr;
}
