#include "basic/widgets/InstanceChannel.h"

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include "basic/widgets/QtGlue.h"

namespace {

QString SocketFolder() {
  for (const char* variable : {"TESSARO_INSTANCE_DIR", "XDG_RUNTIME_DIR"}) {
    const QString folder = qEnvironmentVariable(variable);
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
  }
  return QDir::tempPath();
}

// The display in a form fit for a file name: ":0" stays, "/" and other odd characters
// become "_" (WAYLAND_DISPLAY may be a path).
QString DisplayPart() {
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
  QString part;
  for (const QChar c : display.left(64))
    part += c.isLetterOrNumber() || c == u':' || c == u'.' || c == u'-' ? c : QChar(u'_');
  return part;
}

QString SocketPath(const std::string& channelName) {
  QString path = SocketFolder() + "/" + ToQString(channelName) + "-" + QString::number(getuid());
  const QString display = DisplayPart();
  if (!display.isEmpty()) path += "-" + display;
  return path;
}

QByteArray EncodeCode(int code) {
  QByteArray bytes(4, '\0');
  const auto value = static_cast<quint32>(code);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

int DecodeCode(const QByteArray& bytes) {
  quint32 value = 0;
  for (int i = 0; i < 4; ++i)
    value |= static_cast<quint32>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  return static_cast<int>(value);
}

}  // namespace

std::string ChannelSocketPath(const std::string& channelName) {
  return FromQString(SocketPath(channelName));
}

std::string SessionDisplay() { return FromQString(DisplayPart()); }

bool ChannelListenerExistsOnAnyDisplay(const std::string& channelName) {
  const QString prefix = ToQString(channelName) + "-" + QString::number(getuid());
  const QDir folder(SocketFolder());
  const QStringList names = folder.entryList({prefix, prefix + "-*"}, QDir::System);
  for (const QString& name : names) {
    QLocalSocket socket;
    socket.connectToServer(folder.filePath(name));
    if (socket.waitForConnected(kChannelTimeoutMs)) {
      socket.disconnectFromServer();
      return true;
    }
  }
  return false;
}

bool ChannelListenerExists(const std::string& channelName) {
  QLocalSocket socket;
  socket.connectToServer(SocketPath(channelName));
  if (!socket.waitForConnected(kChannelTimeoutMs)) return false;
  socket.disconnectFromServer();
  return true;
}

int SendChannelCode(const std::string& channelName, int code, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(SocketPath(channelName));
  if (!socket.waitForConnected(timeoutMs)) return 0;
  if (socket.write(EncodeCode(code)) != 4) return 0;
  // The bytes may have gone out at once; waiting is only for what is still buffered (a wait
  // with nothing left to write reports failure).
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(timeoutMs)) return 0;
  QByteArray answer;
  while (answer.size() < 4) {
    if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(timeoutMs)) return 0;
    answer += socket.read(4 - answer.size());
  }
  socket.disconnectFromServer();
  return DecodeCode(answer);
}

TChannelListener::TChannelListener(std::string channelName, QObject* parent)
    : QObject(parent), channelName_(std::move(channelName)) {}

TChannelListener::~TChannelListener() { Remove(); }

bool TChannelListener::Listen() {
  if (Listening()) return true;
  const QString path = SocketPath(channelName_);
  auto server = std::make_unique<QLocalServer>();
  if (!server->listen(path)) {
    if (server->serverError() != QAbstractSocket::AddressInUseError) return false;
    // The socket exists. Somebody answering on it runs; a socket nobody listens on was left
    // behind by a process that died, and is ours to take over.
    if (ChannelListenerExists(channelName_)) return false;
    QLocalServer::removeServer(path);
    if (!server->listen(path)) return false;
  }
  // Only the user may connect. (Qt's own access options are not used: they bind in a
  // temporary folder and rename the socket over the path, which would take the channel
  // away from a process that listens there.)
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
  connect(server.get(), &QLocalServer::newConnection, this, &TChannelListener::OnNewConnection);
  server_ = std::move(server);
  return true;
}

bool TChannelListener::Listening() const { return server_ && server_->isListening(); }

void TChannelListener::Remove() {
  if (!server_) return;
  // Closing removes the socket file that this server made.
  server_->close();
  server_.reset();
}

void TChannelListener::OnNewConnection() {
  while (server_ && server_->hasPendingConnections()) {
    QLocalSocket* socket = server_->nextPendingConnection();
    if (!socket) break;
    socket->setParent(this);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
    if (socket->bytesAvailable() >= 4) OnReadyRead(socket);
  }
}

void TChannelListener::OnReadyRead(QLocalSocket* socket) {
  if (socket->property("answered").toBool() || socket->bytesAvailable() < 4) return;
  socket->setProperty("answered", true);
  const int code = DecodeCode(socket->read(4));
  if (!receiver_) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  // The receiver may run a nested event loop (raising a window does not, a message box
  // would); the socket must survive it or be known gone.
  QPointer<QLocalSocket> guard(socket);
  const int answer = receiver_(code);
  if (!guard) return;
  guard->write(EncodeCode(answer));
  guard->flush();
  guard->disconnectFromServer();
}
