#include "app/shell/single_instance.h"

#include <QDataStream>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace morvex::app {

namespace {
// The message: a version tag, then the argument list, as one QDataStream record.
constexpr quint32 kTag = 0x4D525831;  // "MRX1"
}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
}

QString SingleInstance::defaultName() {
  QString user = qEnvironmentVariable("USER");
  if (user.isEmpty()) user = qEnvironmentVariable("USERNAME");
  return "morvex-" + (user.isEmpty() ? QStringLiteral("user") : user);
}

bool SingleInstance::handOver(const QStringList& arguments, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(timeoutMs)) return false;
  // The running window has another working folder: paths travel absolute.
  QStringList absolute;
  for (const QString& a : arguments) absolute << (a.startsWith("--") ? a : QFileInfo(a).absoluteFilePath());
  QByteArray block;
  QDataStream out(&block, QIODevice::WriteOnly);
  out << kTag << absolute;
  socket.write(block);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  // The receiver answers one byte once it has the whole record.
  if (!socket.waitForReadyRead(timeoutMs)) return false;
  return socket.read(1) == "1";
}

bool SingleInstance::listen() {
  if (server_) return true;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) {
    // Nobody answered handOver: the socket file is stale.
    QLocalServer::removeServer(name_);
    if (!server_->listen(name_)) {
      delete server_;
      server_ = nullptr;
      return false;
    }
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
      connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
      connect(s, &QLocalSocket::readyRead, this, [this, s] {
        QDataStream in(s);
        in.startTransaction();
        quint32 tag = 0;
        QStringList arguments;
        in >> tag >> arguments;
        if (!in.commitTransaction()) return;  // wait for the rest
        if (tag != kTag) {
          s->abort();
          return;
        }
        s->write("1");
        s->flush();
        Q_EMIT argumentsReceived(arguments);
      });
    }
  });
  return true;
}

}  // namespace morvex::app
