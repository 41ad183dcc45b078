#include "framework/widgets/splash.h"

#include <QDesktopServices>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/win_defs.h"

namespace {

std::function<void(const std::string&)>& WebHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

// The picture control of the splash window and the About box.
class PictureWindow : public QWidget {
 public:
  PictureWindow(QWidget* parent, const LSplashAboutBase* owner, bool splash)
      : QWidget(parent, splash ? Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint : Qt::Widget),
        owner_(owner),
        splash_(splash) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (owner_) owner_->Paint(painter, size());
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (splash_ && event->button() == Qt::LeftButton) close();
  }

 private:
  const LSplashAboutBase* owner_;
  bool splash_;
};

bool BuildAbout(QDialog* window) {
  window->setWindowTitle(QStringLiteral("About Orativo"));
  LSetControlId(new QPushButton(QStringLiteral("Go to &Web Page..."), window), LAboutBox::kWebButton);
  LSetControlId(new QPushButton(QStringLiteral("OK"), window), IDOK);
  return true;
}

}  // namespace

QSize LSplashAboutBase::PictureSize() {
  QIcon picture = LLoadBitmap(1);
  QSize size = picture.availableSizes().isEmpty() ? QSize(320, 140) : picture.availableSizes().first();
  return size;
}

void LSplashAboutBase::Paint(QPainter& painter, const QSize& client) const {
  QSize picture = PictureSize();
  int w = picture.width(), h = picture.height();
  painter.drawPixmap(0, 0, LLoadBitmap(1).pixmap(picture));
  QRect text(2, h + 1, w - 4 - 2, 82);
  QFont font(QStringLiteral("Sans Serif"));
  font.setPixelSize(16);
  font.setWeight(QFont::Bold);
  painter.setFont(font);
  painter.setPen(Qt::black);
  QRect used;
  painter.drawText(text, Qt::AlignLeft | Qt::TextWordWrap, QString::fromUtf8(kProgramTitle), &used);
  QRect below = text.adjusted(0, used.height(), 0, 0);
  font.setWeight(QFont::Normal);
  painter.setFont(font);
  painter.drawText(below, Qt::AlignLeft | Qt::TextWordWrap, QString::fromUtf8(kProgramVersionLine));
  QString maker = QStringLiteral("Distributed by:\n%1\n%2\n").arg(kMakerName, QString(kMakerWebSite).section("//", 1));
  painter.drawText(text, Qt::AlignRight | Qt::TextWordWrap, maker);
  if (about_) painter.drawLine(0, client.height() - 1, client.width(), client.height() - 1);
}

LSplashScreen::~LSplashScreen() { delete window_.data(); }

void LSplashScreen::Display(QWidget* owner) {
  delete window_.data();
  QSize picture = PictureSize();
  auto* window = new PictureWindow(owner, this, true);
  window->setObjectName(QStringLiteral("LSplashScreen"));
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setAttribute(Qt::WA_QuitOnClose, false);
  QSize size(picture.width() + 4, picture.height() + 88);
  window->resize(size);
  QScreen* screen = QGuiApplication::primaryScreen();
  QRect desktop = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  window->move(desktop.left() + (desktop.width() - size.width()) / 2,
               desktop.top() + (desktop.height() - size.height()) / 2);
  window_ = window;
  window->show();
  window->repaint();
  QTimer::singleShot(kSplashMs, window, [window] { window->close(); });
}

const LDialogTemplate& LAboutBox::Template() {
  static const LDialogTemplate kTemplate{"LAbout", BuildAbout};
  return kTemplate;
}

void LAboutBox::InitDialog() {
  QSize picture = PictureSize();
  int w = picture.width(), h = picture.height();
  int b = LDialogUnitsToPixelsY(Window(), 10) + 9;
  auto* control = new PictureWindow(Window(), this, false);
  LSetControlId(control, kPicture);
  control->setGeometry(0, 0, w, h + 88);
  LMoveControl(*this, kWebButton, 4, h + 96, 140, b);
  LMoveControl(*this, IDOK, w - 106, h + 96, 100, b);
  Window()->setFixedSize(w, h + 88 + b + 15);
}

void LAboutBox::EvCommand(int id, int /*notifyCode*/) {
  if (id == kWebButton) OpenWebPage("orativo/index");
}

void LSetWebPageHook(std::function<void(const std::string&)> hook) { WebHook() = std::move(hook); }

void OpenWebPage(const std::string& name) {
  std::string address = std::string(kMakerWebSite) + "/" + name + ".html";
  if (WebHook()) return WebHook()(address);
  QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}
