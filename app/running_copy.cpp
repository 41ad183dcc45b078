#include "app/running_copy.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include "platform/app_paths.h"
#include "platform/debug_log.h"

namespace {
constexpr char kRequest[] = "show\n";
constexpr char kOpenRequest[] = "open ";  // followed by the lesson path and a newline
constexpr qint64 kMaxRequest = 1024;
constexpr int kMaxTitle = 259;
}  // namespace

LRunningCopy::~LRunningCopy() {
  if (server_) server_->close();
  delete server_.data();
}

std::string LRunningCopy::SocketPath() { return PlatformPrivateTempFolder() + "/orativo-window"; }

QWidget* LRunningCopy::FindCopyWindow() {
  const auto windows = QApplication::topLevelWidgets();
  for (QWidget* window : windows) {
    if (!window->isWindow() || (!window->isVisible() && !window->isMinimized())) continue;
    QString title = window->windowTitle().left(kMaxTitle);
    int cut = title.indexOf(QStringLiteral(" ["));
    if (cut >= 0) title.truncate(cut);
    if (title == QStringLiteral("Orativo")) return window;
  }
  return nullptr;
}

std::string LRunningCopy::ShowCopyWindow(QWidget* window) {
  if (!window) return "none";
  bool maximized = window->windowState() & Qt::WindowMaximized;
  if (maximized)
    window->setWindowState(Qt::WindowMaximized | Qt::WindowActive);
  else
    window->setWindowState((window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | Qt::WindowActive);
  window->show();
  window->raise();
  window->activateWindow();
  LDebugLog("LRunningCopy::ShowCopyWindow %s", maximized ? "maximized" : "restored");
  return maximized ? "maximized" : "restored";
}

bool LRunningCopy::Listen() {
  if (server_) return true;
  QString path = QString::fromStdString(SocketPath());
  auto* server = new QLocalServer;
  // No socket options: with them the server renames its socket over an
  // existing one and would take the place of a live first copy. The folder
  // is private to the user already.
  if (!server->listen(path)) {
    // A socket left behind by a copy that died: nobody answers on it.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(500)) {
      delete server;
      return false;
    }
    QLocalServer::removeServer(path);
    if (!server->listen(path)) {
      LDebugLog("LRunningCopy::Listen unable to listen on %s", path.toLocal8Bit().constData());
      delete server;
      return false;
    }
  }
  QObject::connect(server, &QLocalServer::newConnection, server, [this, server] {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        if (!socket->canReadLine()) return;
        QByteArray request = socket->readLine(kMaxRequest);
        std::string reply = "none";
        if (request.startsWith(kOpenRequest) && request.endsWith('\n')) {
          std::string lesson = request.mid(int(sizeof(kOpenRequest)) - 1).chopped(1).toStdString();
          if (lessonHandler_ && !lesson.empty()) lessonHandler_(lesson);
          reply = ShowCopyWindow(FindCopyWindow());
        } else if (request == kRequest) {
          reply = ShowCopyWindow(FindCopyWindow());
        }
        socket->write((reply + "\n").c_str());
        socket->flush();
        socket->disconnectFromServer();
      });
    }
  });
  server_ = server;
  LDebugLog("LRunningCopy::Listen listening");
  return true;
}

std::string LRunningCopy::AskToShow(int timeoutMs, const std::string& lessonPath) {
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(SocketPath()));
  if (!socket.waitForConnected(timeoutMs)) return "";
  if (lessonPath.empty() || lessonPath.find('\n') != std::string::npos)
    socket.write(kRequest);
  else
    socket.write((kOpenRequest + lessonPath + "\n").c_str());
  if (!socket.waitForBytesWritten(timeoutMs)) return "";
  QByteArray reply;
  while (!reply.contains('\n')) {
    if (!socket.waitForReadyRead(timeoutMs)) break;
    reply += socket.readAll();
  }
  return reply.trimmed().toStdString();
}
