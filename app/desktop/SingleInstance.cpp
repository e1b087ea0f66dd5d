#include "desktop/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QUrl>

namespace {

// A later start waits this long for the running one: it is busy at most with a redraw.
constexpr int kAnswerMilliseconds = 5000;

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      answer(socket);
    }
  });
}

QString SingleInstance::socketPath() {
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (folder.isEmpty() || QDir::isRelativePath(folder)) {
    folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  }
  return QDir(folder).filePath(QStringLiteral("veltrin.socket"));
}

bool SingleInstance::handOver(const QString& image) {
  QLocalSocket socket;
  socket.connectToServer(socketPath());
  if (!socket.waitForConnected(kAnswerMilliseconds)) {
    return false;
  }
  // A path is made whole here: the running Veltrin has a working folder of its own.
  const bool url = QUrl(image).isLocalFile();
  const QString whole = image.isEmpty() || url ? image : QFileInfo(image).absoluteFilePath();
  socket.write(whole.toUtf8() + '\n');
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(kAnswerMilliseconds)) {
      return false;
    }
  }
  return socket.readLine() == "ok\n";
}

bool SingleInstance::listen() {
  const QString path = socketPath();
  if (server_.listen(path)) {
    return true;
  }
  // No Veltrin answered there, so the socket is one a crash left behind.
  QLocalServer::removeServer(path);
  return server_.listen(path);
}

void SingleInstance::answer(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    return;
  }
  const QString image = QString::fromUtf8(socket->readLine()).chopped(1);
  socket->write("ok\n");
  socket->disconnectFromServer();
  emit startedAgain(image);
}
